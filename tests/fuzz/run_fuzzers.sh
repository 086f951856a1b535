#!/usr/bin/env bash
# Runs every libFuzzer target of a build tree for a bounded time, several at once, and fails on any
# crash, leak, sanitizer report or input that takes longer than the per-input limit.
#   tests/fuzz/run_fuzzers.sh <tree> [--fuzz-time seconds] [--jobs n] [--only target]
# Each target starts from a copy of corpus/<target> and regressions/<target>, so the repository's
# folders are never changed. An input that fails is kept under <tree>/fuzz-runs/artifacts/<target>/;
# copy it to tests/fuzz/regressions/<target>/ once it is mended.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

tree=""
fuzz_time=20
jobs=4
only=""
while [ $# -gt 0 ]; do
    case "$1" in
    --fuzz-time) fuzz_time="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) tree="$1"; shift ;;
    esac
done
if [ -z "$tree" ] || [ ! -d "$tree/tests/fuzz/bin" ]; then
    echo "usage: $0 <build tree with -DKES_FUZZ=ON> [--fuzz-time s] [--jobs n] [--only target]" >&2
    exit 2
fi

# Per input: 10 s; per target: the fuzzing time plus a margin for loading the corpus and exiting.
input_limit=10
memory_limit_mb=2048
runs="$(cd "$tree" && pwd)/fuzz-runs"
rm -rf "$runs"
mkdir -p "$runs"

# Targets that read a path write each input to a scratch folder under TMPDIR: in memory where the
# machine has it (KES_FUZZ_TMPDIR names another), so that the disk does not set the pace. The whole
# run's folder goes at the end, with what a killed target left behind.
scratch="${KES_FUZZ_TMPDIR:-/dev/shm}"
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch="${TMPDIR:-/tmp}"
TMPDIR="$(mktemp -d "$scratch/kes-fuzz-runs-XXXXXX")"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

run_one() {
    local exe="$1" name work status
    name="$(basename "$exe")"
    name="${name#fuzz_}"
    work="$runs/corpus/$name"
    mkdir -p "$work" "$runs/artifacts/$name"
    for seeds in "$here/corpus/$name" "$here/regressions/$name"; do
        [ -d "$seeds" ] && find "$seeds" -type f ! -name .keep -exec cp {} "$work/" \;
    done
    timeout --kill-after=10 $((fuzz_time + 60)) "$exe" "$work" \
        -max_total_time="$fuzz_time" -timeout="$input_limit" -rss_limit_mb="$memory_limit_mb" \
        -print_final_stats=1 -artifact_prefix="$runs/artifacts/$name/" >"$runs/$name.log" 2>&1
    status=$?
    echo "$status" >"$runs/$name.status"
}
export -f run_one
export runs here fuzz_time input_limit memory_limit_mb

targets=()
for exe in "$tree"/tests/fuzz/bin/fuzz_*; do
    [ -x "$exe" ] || continue
    [ -n "$only" ] && [ "$(basename "$exe")" != "fuzz_$only" ] && continue
    targets+=("$exe")
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets in $tree/tests/fuzz/bin" >&2
    exit 2
fi
echo "fuzzing ${#targets[@]} targets for ${fuzz_time} s each, ${jobs} at a time"
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1"' _ {}

failed=0
printf '%-18s %10s %8s  %s\n' target "exec/s" "cov" result
for exe in "${targets[@]}"; do
    name="$(basename "$exe")"
    name="${name#fuzz_}"
    log="$runs/$name.log"
    status="$(cat "$runs/$name.status" 2>/dev/null || echo 99)"
    speed="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)"
    cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')"
    artifacts="$(find "$runs/artifacts/$name" -type f | head -5)"
    result=ok
    if [ "$status" != 0 ] || [ -n "$artifacts" ]; then
        result="FAILED (exit $status)"
        failed=1
    fi
    printf '%-18s %10s %8s  %s\n' "$name" "${speed:-?}" "${cov:-?}" "$result"
    if [ "$result" != ok ]; then
        grep -m1 -B2 -A30 'ERROR:\|runtime error\|==ERROR\|deadly signal\|timeout\|out-of-memory' "$log" | head -60
        [ -n "$artifacts" ] && echo "failing inputs: $artifacts"
    fi
done
exit "$failed"
