#!/usr/bin/env bash
# Benchmarks side by side in one run; prints a table of medians and ratios.
# Usage: bench/run.sh [BUILD_DIR]   (RUNS=5 and BENCH_DIR=/tmp/crossplot-bench may be set)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-5}
data=${BENCH_DIR:-/tmp/crossplot-bench}
mkdir -p "$data"

"$here/../scripts/install-deps.sh" bench
cmake --build "$build" --target fbgen crossplot-render bench_interactive >/dev/null

for n in 2000000 20000000; do
    [[ -f "$data/fb$n.fb" ]] || "$build/bin/fbgen" -q -n $n -s 7 "$data/fb$n.fb"
done

# Milliseconds of wall time of one command, output discarded.
ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Unset for numpy, as the workplace's OpenBLAS overrides slow current numpy down.
py() { env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 "$@"; }

printf '%-40s %10s %10s %10s %10s %10s\n' "file (records)" "cat ms" "render ms" "numpy ms" \
    "fasth ms" "ratios"
for n in 2000000 20000000; do
    f="$data/fb$n.fb"
    cat "$f" >/dev/null # warm the page cache
    c=() r=() np=() fh=()
    for ((i = 0; i < runs; i++)); do # alternate, so drift hits all alike
        c+=("$(ms cat "$f")")
        r+=("$(ms "$build/bin/crossplot-render" "$f" --stats)")
        np+=("$(ms py "$here/np_histogram2d.py" "$f")")
        fh+=("$(ms py "$here/fh_histogram2d.py" "$f")")
    done
    mc=$(echo "${c[*]}" | median) mr=$(echo "${r[*]}" | median)
    mn=$(echo "${np[*]}" | median) mf=$(echo "${fh[*]}" | median)
    printf '%-40s %10s %10s %10s %10s  render/cat %.1f, numpy/render %.1f, fasth/render %.1f\n' \
        "$(basename "$f") ($n)" "$mc" "$mr" "$mn" "$mf" \
        "$(echo "$mr / ($mc + 0.5)" | bc -l)" "$(echo "$mn / $mr" | bc -l)" "$(echo "$mf / $mr" | bc -l)"
done

echo
echo "Slider steps on the 20,000,000-record file, default window size (medians of 20 steps):"
"$build/bin/bench_interactive" "$data/fb20000000.fb" 2>/dev/null

echo
echo "Peak memory of the load (20,000,000 records):"
stats=$(/usr/bin/time -f '%M' -o "$data/rss.txt" "$build/bin/crossplot-render" "$data/fb20000000.fb" --stats)
peak_kb=$(cat "$data/rss.txt")
picks=$(echo "$stats" | sed 's/.*"pickCount": \([0-9]*\).*/\1/')
cells=$(echo "$stats" | sed 's/.*"cellCount": \([0-9]*\).*/\1/')
least_kb=$(((168000000 + 8 * picks + 12 * cells) / 1024))
echo "  peak RSS ${peak_kb} KiB; least possible ${least_kb} KiB (one chunk + 8 B/pick + 12 B/cell);" \
    "ratio $(echo "$peak_kb / $least_kb" | bc -l | cut -c1-4)"
