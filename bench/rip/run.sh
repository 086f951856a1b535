#!/usr/bin/env bash
# A whole 1-CD 2-pass rip of the natural-picture title (made once, 10 minutes) through the main window
# against HandBrakeCLI and ffmpeg doing the same job, in turn, median of three: times, bit rates, PSNR,
# SSIM and the A/V offset at the title's marks.
#   bench/rip/run.sh [build folder] [bench arguments...]     (default: build)
# Installs ffmpeg, HandBrakeCLI, dvdauthor and the photographs when they are missing (as root, through
# apt-get). Not part of CI.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
shift || true
"$here/../support/install_tools.sh"
cmake --build "$build" --target bench_rip program_folder
uptime
exec "$build/bench/rip/bench_rip" "$@"
