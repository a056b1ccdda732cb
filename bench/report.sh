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

# Wall and CPU (user + system) milliseconds of one command, output discarded: "wall cpu". The
# machine may be shared, and CPU time is what other loads disturb least.
ms() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$data/time.txt" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)) $(awk '{printf "%d", ($1 + $2) * 1000}' "$data/time.txt")"
}
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
render30() {
    for f in "${files[@]}"; do
        for type in correct error both; do
            "$build/bin/crossplot-render" "$f" --type "$type" -o "$data/render.png"
        done
    done
}

wall_with=() wall_without=() wall_render=() cpu_with=() cpu_without=() cpu_render=()
for ((i = 0; i < runs; i++)); do # alternate, so drift hits all alike
    read -r w c < <(ms "$build/bin/crossplot-report" -o "$data/out" "${files[@]}")
    wall_with+=("$w") cpu_with+=("$c")
    read -r w c < <(ms "$build/bin/crossplot-report" --no-trend -o "$data/out-no-trend" "${files[@]}")
    wall_without+=("$w") cpu_without+=("$c")
    read -r w c < <(ms bash -c "$(declare -p files build data); $(declare -f render30); render30")
    wall_render+=("$w") cpu_render+=("$c")
done
m() { echo "$*" | median; }
echo "10 files of 2,000,000 records, medians of $runs runs (load average $(cut -d' ' -f1 /proc/loadavg)):"
printf '  %-46s %9s %9s\n' "" "wall ms" "CPU ms"
printf '  %-46s %9s %9s\n' "crossplot-report (with the trend)" "$(m "${wall_with[*]}")" "$(m "${cpu_with[*]}")" \
    "crossplot-report --no-trend" "$(m "${wall_without[*]}")" "$(m "${cpu_without[*]}")" \
    "30 x crossplot-render (10 files x 3 classes)" "$(m "${wall_render[*]}")" "$(m "${cpu_render[*]}")"

/usr/bin/time -f '%M' -o "$data/rss.txt" "$build/bin/crossplot-report" -o "$data/out" "${files[0]}" >/dev/null 2>&1
echo "  peak RSS of a report over one file: $(cat "$data/rss.txt") KiB"
