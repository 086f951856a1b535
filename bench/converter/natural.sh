#!/usr/bin/env bash
# The video alone on the natural-picture title (made once, 10 minutes): our converter's two passes
# against HandBrakeCLI and ffmpeg making the same video, in turn, median of three: times, bit rates,
# PSNR and SSIM at 640x352.
#   bench/converter/natural.sh [build folder] [bench arguments...]     (default: build)
# Installs what it compares against when missing (as root, through apt-get). Not part of CI.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
shift || true
"$here/../support/install_tools.sh"
cmake --build "$build" --target bench_converter_natural
uptime
exec "$build/bench/converter/bench_converter_natural" "$@"
