#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and builds Kestrova.
#   ./build.sh run   installs what is missing, builds, assembles build/program and starts Kestrova there
#   ./build.sh test  installs what is missing, builds and runs every test
#   ./build.sh sanitize [--fuzz-time s]
#                    the same tests built with Clang under AddressSanitizer and UndefinedBehaviorSanitizer
#                    (build-asan), every fuzz target run for s seconds (20 by default), and the threaded
#                    tests under ThreadSanitizer (build-tsan)
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

# The threaded tests: the filter graph, the stock filters and Tonegrab.
TSAN_TESTS=(test_platform_dshow_graph test_platform_dshow_graph_quillon test_dshow_filters
            test_dshow_stock_filters test_dshow_graph_extraction test_tools_stream_graph test_trovel)

sanitize() {
    local fuzz_time=20
    while [ $# -gt 0 ]; do
        case "$1" in
        --fuzz-time) fuzz_time="$2"; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
        esac
    done
    cmake --preset asan
    cmake --build --preset asan
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --preset asan
    tests/fuzz/run_fuzzers.sh build-asan --fuzz-time "$fuzz_time" --jobs "$(nproc)"

    cmake --preset tsan
    cmake --build --preset tsan --target "${TSAN_TESTS[@]}"
    local pattern
    pattern="^($(IFS='|'; echo "${TSAN_TESTS[*]}"))\$"
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/platform/dshow/tsan.supp" \
        ctest --preset tsan -R "$pattern"
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
sanitize)
    install_missing
    shift
    sanitize "$@"
    ;;
*)
    echo "usage: $0 run|test|sanitize [--fuzz-time s]" >&2
    exit 2
    ;;
esac
