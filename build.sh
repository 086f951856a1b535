#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and builds Kestrova.
#   ./build.sh run   installs what is missing, builds, assembles build/program and starts Kestrova there
#   ./build.sh test  installs what is missing, builds and runs every test
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config
          qt6-base-dev libgl-dev
          libmp3lame-dev libjpeg62-turbo-dev
          libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libavfilter-dev libavformat-dev
          libasound2-dev libarchive-tools
          clang libclang-rt-14-dev
          libgtest-dev libbenchmark-dev
          xvfb xauth)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "missing packages (run as root to install them): ${missing[*]}" >&2
            exit 1
        fi
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake --preset default
    cmake --build --preset default
}

case "${1:-}" in
run)
    install_missing
    build
    cd build/program
    exec ./Kestrova
    ;;
test)
    install_missing
    build
    ctest --preset default
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
