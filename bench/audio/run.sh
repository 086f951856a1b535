#!/usr/bin/env bash
# Times the audio converter (WAV -> MP3, 192 kbit/s) against the lame program and the amplifier against
# "sox ... vol", on the same 10-minute 48 kHz stereo file, and prints the ratios.
#   bench/audio/run.sh [build folder [--runs N] [--amplify-only]]     (default: build)
# Installs lame and sox when they are missing (as root, through apt-get).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"

missing=()
command -v lame >/dev/null || missing+=(lame)
command -v sox >/dev/null || missing+=(sox)
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing programs (run as root to install them): ${missing[*]}" >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake --build "$build" --target bench_audio
exec "$build/bench/audio/bench_audio" "${@:2}"
