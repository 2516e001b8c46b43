#!/usr/bin/env bash
# Runs the fuzz targets one after another: run.sh <fuzz build> <runs> <seconds> [target…]
# Each starts from the seed corpus in tests/fuzz/corpus/<target> and grows a working corpus
# in <fuzz build>/fuzz-work/<target>; a crash leaves its input there as crash-… and stops the
# target with the sanitizer's report in its log.txt; the others still run. Copy a crash into the seed corpus once it is fixed.
set -euo pipefail

build=${1:?fuzz build folder}
runs=${2:-10000000}
seconds=${3:-600}
shift 3 || true
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(feed route photo logbook widgetconfig homelocation geocoder)

failed=()
for target in "${targets[@]}"; do
    work="$build/fuzz-work/$target"
    mkdir -p "$work/corpus"
    echo "== $target: up to $runs runs or $seconds s"
    # One process, one job: the machine's other work keeps its cores.
    status=0
    TZ=UTC LC_ALL=C.UTF-8 "$build/tests/fuzz/fuzz_$target" \
        -runs="$runs" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus" "$here/corpus/$target" >"$work/log.txt" 2>&1 || status=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|invariant' \
        "$work/log.txt" || true
    if [ "$status" -ne 0 ]; then
        echo "$target: FAILED ($status), see $work/log.txt"
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "failed: ${failed[*]}"
    exit 1
fi
