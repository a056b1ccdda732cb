#!/bin/bash
# Runs crossplot-render and crossplot-report in real cgroup v1 memory limits on a 20,000,000-
# record file: in 120 MB crossplot-render must end with exit 3, the notice (in the user's
# language) and the true pick count, and write its image, never be killed; in 400 MB it draws
# everything and exits 0; in 150 MB the report is written, exit 0, the refusal in the file's
# notes. Skips (exit 77) where no writable v1
# memory controller is there. The test cgroups are made inside this process's own memory
# cgroup, so that every limit above still holds, and are removed whatever happens.
# Usage: cgroup-limit.sh BIN_DIR [SANITIZED (1 or 0)]
set -u
bin=$1
skip() { echo "SKIP: $*"; exit 77; }

# A sanitizer's shadow memory and quarantine are memory that no admission is asked for.
[ "${2:-0}" = 1 ] && skip "a sanitizer build holds memory that the admission cannot see"

[ "$(uname -s)" = Linux ] || skip "not Linux"
own=$(awk -F: '$2 ~ /(^|,)memory(,|$)/ { print $3; exit }' /proc/self/cgroup)
[ -n "$own" ] || skip "no cgroup v1 memory controller for this process"
# The mount of the memory hierarchy: field 5 is the mount point, field 4 its root.
read -r root mount < <(awk '{ for (i = 7; $i != "-"; ++i); if ($(i + 1) == "cgroup" && $(i + 3) ~ /(^|,)memory(,|$)/) { print $4, $5; exit } }' /proc/self/mountinfo)
[ -n "${mount:-}" ] || skip "the memory controller is not mounted"
[ "$root" = / ] || own=${own#"$root"}
parent=$mount$own
[ -w "$parent" ] || skip "$parent is not writable (needs root)"

work=$(mktemp -d) || exit 1
# The runs happen in subshells, so the groups are found by their name.
cleanup() {
    for group in "$parent/crossplot-test-$$-"*; do [ -d "$group" ] && rmdir "$group"; done
    rm -rf "$work"
}
trap cleanup EXIT

# Runs the arguments in a new cgroup of the given limit; prints "exit usage failcnt".
run_in() {
    local limit=$1 name=$2; shift 2
    local group=$parent/crossplot-test-$$-$name
    mkdir "$group" || return 1
    echo "$limit" > "$group/memory.limit_in_bytes" || return 1
    bash -c 'echo $$ > "$0/cgroup.procs" && exec "$@"' "$group" "$@" \
        > "$work/$name.out" 2> "$work/$name.err"
    echo "$? $(cat "$group/memory.max_usage_in_bytes") $(cat "$group/memory.failcnt")"
}

"$bin/fbgen" -q -n 20000000 -s 7 "$work/m20.fb" || { echo "fbgen failed"; exit 1; }
failed=0
check() { # what, condition
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
pickCount() { grep -o '"pickCount": [0-9]*' "$1" | grep -o '[0-9]*$'; }

read -r code usage failcnt < <(run_in 400M wide "$bin/crossplot-render" "$work/m20.fb" --stats)
echo "400 MB --stats: exit $code, peak $usage bytes, failcnt $failcnt"
check "400 MB draws every pick and exits 0" '[ "$code" = 0 ] && [ ! -s "$work/wide.err" ]'
picks=$(pickCount "$work/wide.out")

read -r code usage failcnt < <(run_in 120M narrow "$bin/crossplot-render" "$work/m20.fb" --stats)
echo "120 MB --stats: exit $code, peak $usage bytes, failcnt $failcnt"; cat "$work/narrow.err"
check "120 MB exits 3, not killed" '[ "$code" = 3 ]'
check "120 MB tells the true pick count" '[ -n "$picks" ] && [ "$(pickCount "$work/narrow.out")" = "$picks" ]'
check "120 MB says why" 'grep -q "do not fit in the memory available" "$work/narrow.err"'

read -r code usage failcnt < <(run_in 120M image env LC_ALL=ru_RU.UTF-8 "$bin/crossplot-render" "$work/m20.fb" -o "$work/x.png")
echo "120 MB -o x.png: exit $code, peak $usage bytes, failcnt $failcnt"
check "120 MB writes the image and exits 3" '[ "$code" = 3 ] && [ -s "$work/x.png" ]'
check "the notice reads in the user's language" 'grep -q "Показаны только" "$work/image.err"'

read -r code usage failcnt < <(run_in 150M report "$bin/crossplot-report" -o "$work/qc" "$work/m20.fb")
echo "150 MB crossplot-report: exit $code, peak $usage bytes, failcnt $failcnt"
check "150 MB writes the report and exits 0" '[ "$code" = 0 ] && [ -s "$work/qc/index.html" ]'
check "150 MB tells the file's notes what did not fit" \
    'grep -q "Correct: Only .* do not fit in the memory available" "$work/qc/summary.json"'
exit $failed
