#!/usr/bin/env bash
# Times the extraction of the first AC3 stream of a 10-minute and a 20-second generated VOB set to WAV
# by Tonegrab.exe (as a whole process) and through the
# filter graph, against `ffmpeg -i set.vob -map 0:a:0 out.wav`, and prints the ratios.
#   bench/dshow/run.sh [build folder] [bench arguments...]     (default: build)
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

cmake --build "$build" --target bench_dshow_extract
exec "$build/bench/dshow/bench_dshow_extract" "$@"
