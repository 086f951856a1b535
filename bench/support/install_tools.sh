#!/usr/bin/env bash
# Installs what the benchmarks compare against and make their title from, when missing (as root).
set -euo pipefail
missing=()
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
command -v dvdauthor >/dev/null || missing+=(dvdauthor)
command -v HandBrakeCLI >/dev/null || missing+=(handbrake-cli)
[ -d /usr/share/backgrounds/mate/nature ] || missing+=(mate-backgrounds)
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "missing: ${missing[*]} (run as root to install them)" >&2
    exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
