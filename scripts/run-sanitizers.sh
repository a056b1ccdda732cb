#!/bin/bash
# Runs the whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer (gcc), the
# loader's, the grid's and the pick details' tests and one report of 3,000,000 records under
# ThreadSanitizer at 1, 2 and 4 load threads, then fuzzes
# the FB data path with libFuzzer (clang) from the seed corpus for FUZZ_SECONDS.
# Any sanitizer report, failed test or fuzzer finding makes the script exit non-zero.
#
# Environment: FUZZ_SECONDS (default 120), JOBS (default 2), SANITIZE_BUILD_DIR, TSAN_BUILD_DIR
# and FUZZ_BUILD_DIR (defaults build-sanitize, build-tsan and build-fuzz in the source tree).
# Needs: gcc/g++, clang/clang++ and libclang-rt-14-dev (libFuzzer), cmake, ninja.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_seconds=${FUZZ_SECONDS:-120}
jobs=${JOBS:-2}
sanitize_dir=${SANITIZE_BUILD_DIR:-$root/build-sanitize}
tsan_dir=${TSAN_BUILD_DIR:-$root/build-tsan}
fuzz_dir=${FUZZ_BUILD_DIR:-$root/build-fuzz}
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== Test suite under ASan and UBSan ($sanitize_dir)"
cmake -S "$root" -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=g++ -DCROSSPLOT_SANITIZE=ON "${launcher[@]}"
cmake --build "$sanitize_dir" -j "$jobs"

# Leaks count; the suppressions only name Qt's and the system's libraries.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
(cd "$sanitize_dir" && ctest --output-on-failure -j "$jobs")

echo "== Loader, grid and report under ThreadSanitizer ($tsan_dir)"
# Only the targets whose threads are checked: the loader's, the grid's and the pick details'
# tests, and a report on a file large enough for its trend to be fitted and its suspects judged
# on several threads. Qt itself is not instrumented, so reports inside its libraries are
# suppressed, and nothing else.
cmake -S "$root" -B "$tsan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread "${launcher[@]}"
cmake --build "$tsan_dir" -j "$jobs" --target tst_FBLoader tst_DensityGrid tst_FBPickDetails \
    crossplot-report fbgen
tsan_options="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan-suppressions.txt"
"$tsan_dir/bin/fbgen" -q -n 3000000 -s 3 "$tsan_dir/report.fb"
for threads in 1 2 4; do
    for test in tst_FBLoader tst_DensityGrid tst_FBPickDetails crossplot-report; do
        echo "-- $test at CROSSPLOT_LOAD_THREADS=$threads"
        arguments=()
        [[ $test == crossplot-report ]] && arguments=(-o "$tsan_dir/report" "$tsan_dir/report.fb")
        CROSSPLOT_LOAD_THREADS=$threads QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="$tsan_options" \
            "$tsan_dir/bin/$test" "${arguments[@]}"
    done
done

echo "== Fuzzing fuzz_fbdata for ${fuzz_seconds} s ($fuzz_dir)"
cmake -S "$root" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCROSSPLOT_FUZZ=ON "${launcher[@]}"
cmake --build "$fuzz_dir" -j "$jobs" --target fuzz_fbdata

# The working corpus grows across runs and stays out of git; the seeds are read, not written.
work_corpus=$root/fuzz/corpus-run
artifacts=$fuzz_dir/fuzz-artifacts
mkdir -p "$work_corpus" "$artifacts"
before=$(find "$artifacts" -type f | wc -l)
status=0
(cd "$fuzz_dir" && ./bin/fuzz_fbdata -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
    -malloc_limit_mb=1024 -timeout=60 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work_corpus" "$root/fuzz/corpus") || status=$?
after=$(find "$artifacts" -type f | wc -l)
if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    echo "Fuzzer finding (exit $status); inputs in $artifacts." >&2
    echo "Fix it, then keep the input in fuzz/regressions/." >&2
    exit 1
fi
echo "== No findings"
