#!/usr/bin/env bash
# A whole 1-CD 2-pass rip of a generated 10-minute PAL title against one ffmpeg command (MPEG-4 video
# at the rip's bit rate, MP3 audio, AVI): sizes, bit rates, times and PSNR.
#   bench/rip/run.sh [build folder] [bench arguments...]     (default: build)
# Installs ffmpeg when it is missing (as root, through apt-get). Not part of CI.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
shift || true

if ! command -v ffmpeg >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "ffmpeg is missing (run as root to install it)" >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ffmpeg
fi

cmake --build "$build" --target bench_rip program_folder
exec "$build/bench/rip/bench_rip" "$@"
