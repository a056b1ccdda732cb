#!/usr/bin/env bash
# Benchmarks side by side in one run; prints tables of medians and ratios.
# Usage: bench/run.sh [BUILD_DIR]   (RUNS=5, BENCH_DIR=/tmp/crossplot-bench and BIG=100000000
# may be set; BIG=0 leaves the 8.4 GB file out)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-5}
big=${BIG:-100000000}
data=${BENCH_DIR:-/tmp/crossplot-bench}
mkdir -p "$data"

"$here/../scripts/install-deps.sh" bench
cmake --build "$build" --target fbgen crossplot-render bench_interactive >/dev/null
render=$build/bin/crossplot-render

sizes=(2000000 20000000)
((big > 0)) && sizes+=("$big")
for n in "${sizes[@]}"; do
    [[ -f "$data/fb$n.fb" ]] || "$build/bin/fbgen" -q -n "$n" -s 7 "$data/fb$n.fb"
done
# The sizes that used to hit fixed caps: a 12 km spread, one wild pick at 60,000 ms in an 8 km
# survey, and a 16-byte file that announces 2,000,000,000 records.
[[ -f "$data/spread12km.fb" ]] || "$build/bin/fbgen" -q -n 2000000 --max-offset 12000 "$data/spread12km.fb"
if [[ ! -f "$data/wild60s.fb" ]]; then
    "$build/bin/fbgen" -q -n 2000000 -s 3 --max-offset 8000 "$data/wild60s.fb"
    /usr/bin/python3 - "$data/wild60s.fb" <<'EOF'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(16 + 84 * 1234 + 60)
    f.write(struct.pack("<f", 60000.0))
EOF
fi
[[ -f "$data/empty.fb" ]] || "$build/bin/fbgen" -q -n 0 "$data/empty.fb"
[[ -f "$data/announce2e9.fb" ]] || "$build/bin/fbgen" -q -n 0 --header-count 2000000000 \
    --header-offset-high 1000 "$data/announce2e9.fb"

# Milliseconds of wall time of one command, output discarded.
ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { echo "$1 / ($2 + 0.5)" | bc -l | cut -c1-5; }
# Unset for numpy, as the workplace's OpenBLAS overrides slow current numpy down.
py() { env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 "$@"; }
peak_kib() { /usr/bin/time -f '%M' -o "$data/rss.txt" "$@" >/dev/null 2>&1 || true; cat "$data/rss.txt"; }

echo "Whole process, page cache warm (medians of $runs; the peers only up to 20,000,000 records):"
printf '%-28s %8s %9s %9s %9s  %s\n' "file (records)" "cat ms" "render ms" "numpy ms" "fasth ms" \
    "render/cat, render/fasth, numpy/render"
for n in "${sizes[@]}"; do
    f="$data/fb$n.fb"
    cat "$f" >/dev/null # warm the page cache
    c=() r=() np=() fh=()
    for ((i = 0; i < runs; i++)); do # alternate, so drift hits all alike
        c+=("$(ms cat "$f")")
        r+=("$(ms "$render" "$f" --stats)")
        if ((n <= 20000000)); then
            np+=("$(ms py "$here/np_histogram2d.py" "$f")")
            fh+=("$(ms py "$here/fh_histogram2d.py" "$f")")
        fi
    done
    mc=$(echo "${c[*]}" | median) mr=$(echo "${r[*]}" | median)
    if ((n <= 20000000)); then
        mn=$(echo "${np[*]}" | median) mf=$(echo "${fh[*]}" | median)
        printf '%-28s %8s %9s %9s %9s  %s, %s, %s\n' "$(basename "$f") ($n)" "$mc" "$mr" "$mn" "$mf" \
            "$(ratio "$mr" "$mc")" "$(ratio "$mr" "$mf")" "$(ratio "$mn" "$mr")"
    else
        printf '%-28s %8s %9s %9s %9s  %s\n' "$(basename "$f") ($n)" "$mc" "$mr" "-" "-" \
            "$(ratio "$mr" "$mc")"
    fi
done

echo
echo "Thread scaling, 20,000,000 records (CROSSPLOT_LOAD_THREADS; medians of $runs):"
f="$data/fb20000000.fb"
all=$(nproc)
for t in $(printf "%s\n" 1 2 "$all" | sort -nu); do
    r=()
    for ((i = 0; i < runs; i++)); do r+=("$(CROSSPLOT_LOAD_THREADS=$t ms "$render" "$f" --stats)"); done
    printf '  %2s threads: %6s ms\n' "$t" "$(echo "${r[*]}" | median)"
done

echo
echo "Start-up, --stats of a file without records (medians of $runs):"
r=()
for ((i = 0; i < runs; i++)); do r+=("$(ms "$render" "$data/empty.fb" --stats)"); done
echo "  $(echo "${r[*]}" | median) ms"

echo
echo "Slider steps, default window size (medians of 20 steps; pointSizeTo1Ms of 5):"
echo "  20,000,000 records: $("$build/bin/bench_interactive" "$f" 2>/dev/null)"
echo "  12 km spread:       $("$build/bin/bench_interactive" "$data/spread12km.fb" 2>/dev/null)"

echo
echo "Peak memory and time of one load:"
stats=$("$render" "$f" --stats)
picks=$(echo "$stats" | sed 's/.*"pickCount": \([0-9]*\).*/\1/')
least_kib=$((8 * picks / 1024))
peak=$(peak_kib "$render" "$f" --stats)
echo "  20,000,000 records: peak ${peak} KiB = $((peak / 1024)) MiB; the picks alone" \
    "(8 B each) ${least_kib} KiB; ratio $(echo "$peak / $least_kib" | bc -l | cut -c1-4)"
for name in wild60s announce2e9; do
    r=()
    for ((i = 0; i < runs; i++)); do r+=("$(ms "$render" "$data/$name.fb" --stats)"); done
    echo "  $name.fb: $(echo "${r[*]}" | median) ms, peak $(peak_kib "$render" "$data/$name.fb" --stats) KiB;" \
        "$("$render" "$data/$name.fb" --stats)"
done
