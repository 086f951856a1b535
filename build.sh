#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and builds Kestrova.
#   ./build.sh run   installs what is missing, builds, assembles build/program and starts Kestrova there
#   ./build.sh test  installs what is missing, builds and runs every test
#   ./build.sh sanitize [--fuzz-time s] [--jobs n]
#                    the same tests built with Clang under AddressSanitizer and UndefinedBehaviorSanitizer
#                    (build-asan), every fuzz target run for s seconds (20 by default), and the threaded
#                    tests under ThreadSanitizer (build-tsan); n builds, tests and fuzz targets at once
#                    (all processors by default)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config
          qt6-base-dev libgl-dev
          libmp3lame-dev libjpeg62-turbo-dev
          libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libavfilter-dev libavformat-dev
          libasound2-dev libarchive-tools dvdauthor
          clang libclang-rt-14-dev
          libgtest-dev libbenchmark-dev
          xvfb xauth poppler-utils)

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

# The threaded tests, run under ThreadSanitizer: the filter graph, the stock and playback filters, the
# MPEG-2 converter's decoding and coding threads and Tonegrab. Only these are built in build-tsan.
TSAN_TESTS=(test_platform_dshow_graph test_platform_dshow_graph_quillon test_dshow_filters
            test_dshow_stock_filters test_dshow_graph_extraction test_dshow_playback
            test_tools_stream_graph test_outside_mpeg2avi_engine test_trovel)

# stage <name> <command...>: runs one step and says how long it took, on the clock and in processor
# time (user and system time of everything it started, from `times`, which has to run in this shell).
stage() {
    local name="$1" start=$SECONDS before after
    shift
    times >"$cpu_file"
    before="$(cpu_seconds)"
    "$@"
    times >"$cpu_file"
    after="$(cpu_seconds)"
    echo "== $name: $((SECONDS - start)) s wall, $(awk -v a="$after" -v b="$before" 'BEGIN { printf "%d", a - b }') s cpu"
}

# The children's user plus system time of the last `times` output, in seconds.
cpu_seconds() {
    awk 'NR == 2 { s = 0; for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } printf "%.1f", s }' "$cpu_file"
}

sanitize() {
    local fuzz_time=20 jobs
    jobs="$(nproc)"
    while [ $# -gt 0 ]; do
        case "$1" in
        --fuzz-time) fuzz_time="$2"; shift 2 ;;
        --jobs) jobs="$2"; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
        esac
    done
    export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$jobs}"
    cpu_file="$(mktemp)"
    trap 'rm -f "$cpu_file"' EXIT

    # One Clang tree for the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer and for
    # the fuzz targets.
    stage "asan configure" cmake --preset asan
    stage "asan build" cmake --build --preset asan
    stage "asan tests" ctest --preset asan -j "$jobs"
    stage "fuzzing" tests/fuzz/run_fuzzers.sh build-asan --fuzz-time "$fuzz_time" --jobs "$jobs"

    local pattern
    pattern="^($(IFS='|'; echo "${TSAN_TESTS[*]}"))\$"
    stage "tsan configure" cmake --preset tsan
    stage "tsan build" cmake --build --preset tsan --target "${TSAN_TESTS[@]}"
    stage "tsan tests" ctest --preset tsan -j "$jobs" -R "$pattern"
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
    echo "usage: $0 run|test|sanitize [--fuzz-time s] [--jobs n]" >&2
    exit 2
    ;;
esac
