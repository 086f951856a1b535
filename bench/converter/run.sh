#!/usr/bin/env bash
# Times the converter (1 pass, and 2 passes) on a 10-minute generated PAL VOB set against
# `ffmpeg -i set.vob -an -c:v mpeg4 -vtag DIVX -b:v R -g 250 out.avi`, and prints the time ratio, the
# PSNR of each against the decoded source and the 2-pass bit-rate error.
#   bench/converter/run.sh [build folder] [bench arguments...]     (default: build)
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

cmake --build "$build" --target bench_converter mpeg2avi divx_codec_divx4
exec "$build/bench/converter/bench_converter" "$@"
