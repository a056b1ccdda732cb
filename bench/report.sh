#!/usr/bin/env bash
# crossplot-report over 10 files of 2,000,000 records, against the 30 crossplot-render runs
# (10 files x Correct, Error, Both) that it replaces, with and without the trend.
# Usage: bench/report.sh [BUILD_DIR]   (RUNS=3 and BENCH_DIR=/tmp/crossplot-bench may be set)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-3}
data=${BENCH_DIR:-/tmp/crossplot-bench}/report
mkdir -p "$data/files"

cmake --build "$build" --target fbgen crossplot-render crossplot-report >/dev/null

files=()
for k in $(seq 1 10); do
    f="$data/files/line$k.fb"
    [[ -f "$f" ]] || "$build/bin/fbgen" -q -n 2000000 -s "$k" "$f"
    files+=("$f")
done
cat "${files[@]}" >/dev/null # warm the page cache

ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
render30() {
    for f in "${files[@]}"; do
        for type in correct error both; do
            "$build/bin/crossplot-render" "$f" --type "$type" -o "$data/render.png"
        done
    done
}

with=() without=() render=()
for ((i = 0; i < runs; i++)); do # alternate, so drift hits all alike
    with+=("$(ms "$build/bin/crossplot-report" -o "$data/out" "${files[@]}")")
    without+=("$(ms "$build/bin/crossplot-report" --no-trend -o "$data/out-no-trend" "${files[@]}")")
    render+=("$(ms render30)")
done
mw=$(echo "${with[*]}" | median) mo=$(echo "${without[*]}" | median)
mr=$(echo "${render[*]}" | median)
echo "10 files of 2,000,000 records, medians of $runs runs:"
printf '  %-44s %8s ms\n' "crossplot-report (with the trend)" "$mw" \
    "crossplot-report --no-trend" "$mo" "30 x crossplot-render (10 files x 3 classes)" "$mr"
printf '  report/render %.2f, report without trend/render %.2f, trend share of the report %.0f%%\n' \
    "$(echo "$mw / $mr" | bc -l)" "$(echo "$mo / $mr" | bc -l)" "$(echo "100 * ($mw - $mo) / $mw" | bc -l)"

/usr/bin/time -f '%M' -o "$data/rss.txt" "$build/bin/crossplot-report" -o "$data/out" "${files[0]}" >/dev/null 2>&1
echo "  peak RSS of a report over one file: $(cat "$data/rss.txt") KiB"
