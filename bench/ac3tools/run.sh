#!/usr/bin/env bash
# Times ac3dec.exe, and bbdmux.exe per VOB + the join + azid.exe, on a 10-minute generated VOB set
# against `ffmpeg -i set.vob -map 0:a:0 out.wav`, and prints the ratios.
#   bench/ac3tools/run.sh [build folder] [bench arguments...]     (default: build)
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

cmake --build "$build" --target bench_ac3tools
exec "$build/bench/ac3tools/bench_ac3tools" "$@"
