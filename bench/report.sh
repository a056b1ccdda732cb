#!/usr/bin/env bash
# crossplot-report against crossplot-render on the same files, in one run, page cache warm:
#   - one file of 20,000,000 records (and of 100,000,000 unless BIG=0): the whole report with its
#     defaults, and with --no-trend for the trend's own share, against one `crossplot-render -o`;
#   - 30 files of 300,000 records: the report against one `crossplot-render FILES -o DIR/`.
# Prints medians of wall and CPU time, their ratios and the peak memory of each.
# Usage: bench/report.sh [BUILD_DIR]   (RUNS=3, BIG=1 and BENCH_DIR=/tmp/crossplot-bench may be set)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-3}
data=${BENCH_DIR:-/tmp/crossplot-bench}/report
mkdir -p "$data/many"

cmake --build "$build" --target fbgen crossplot-render crossplot-report >/dev/null

big=(20000000)
[[ "${BIG:-1}" == 1 ]] && big+=(100000000)
for n in "${big[@]}"; do
    [[ -f "$data/f$n.fb" ]] || "$build/bin/fbgen" -q -n "$n" -s 7 "$data/f$n.fb"
done
many=()
for k in $(seq 1 30); do
    f="$data/many/line$k.fb"
    [[ -f "$f" ]] || "$build/bin/fbgen" -q -n 300000 -s "$k" "$f"
    many+=("$f")
done

# Wall ms, CPU ms (user + system) and peak KiB of one command, output discarded.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$data/time.txt" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)) $(awk '{printf "%d %d", ($1 + $2) * 1000, $3}' "$data/time.txt")"
}
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Runs the named commands alternately, RUNS times, and prints one line per command.
compare() {
    local title=$1
    shift
    local -a names=("$@") walls=() cpus=() peaks=()
    local i k w c p
    for ((i = 0; i < runs; i++)); do
        for ((k = 0; k < ${#names[@]}; k++)); do
            local -n command=${names[k]}
            read -r w c p < <(measure "${command[@]}")
            walls[k]+="$w " cpus[k]+="$c " peaks[k]+="$p "
            unset -n command
        done
    done
    echo "$title (medians of $runs runs, load average $(cut -d' ' -f1 /proc/loadavg)):"
    printf '  %-40s %9s %9s %10s\n' "" "wall ms" "CPU ms" "peak KiB"
    local base=
    for ((k = 0; k < ${#names[@]}; k++)); do
        local wall cpu peak
        wall=$(echo "${walls[k]}" | median) cpu=$(echo "${cpus[k]}" | median)
        peak=$(echo "${peaks[k]}" | median)
        [[ -z "$base" ]] && base=$wall
        printf '  %-40s %9s %9s %10s  %s\n' "${names[k]}" "$wall" "$cpu" "$peak" \
            "$(awk -v a="$wall" -v b="$base" 'BEGIN {printf "%.2f x the first", a / b}')"
    done
}

for n in "${big[@]}"; do
    cat "$data/f$n.fb" >/dev/null
    render=("$build/bin/crossplot-render" "$data/f$n.fb" -o "$data/render.png")
    report=("$build/bin/crossplot-report" -o "$data/out" "$data/f$n.fb")
    report_no_trend=("$build/bin/crossplot-report" --no-trend -o "$data/out" "$data/f$n.fb")
    compare "one file of $n records" render report report_no_trend
done
cat "${many[@]}" >/dev/null
render=("$build/bin/crossplot-render" "${many[@]}" -o "$data/pngs/")
report=("$build/bin/crossplot-report" -o "$data/out" "${many[@]}")
compare "30 files of 300,000 records" render report
