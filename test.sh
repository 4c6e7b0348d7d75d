#!/usr/bin/env bash
# Builds and runs every test: the sources' format, the normal build's tests once and again
# repeated and shuffled, then clang's build with AddressSanitizer, UndefinedBehaviorSanitizer
# and the fuzzers' coverage instrumentation, which runs every test program once more and the
# fuzz targets. The exit code is the first failing stage's. Each stage prints its wall and CPU
# time.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
TIMEFORMAT="stage time: wall %R s, user %U s, system %S s"

echo "== format"
time tools/check_format.sh

echo "== normal build"
time tools/build.sh build -DTAVO_WERROR=ON
echo "== normal tests"
time ctest --test-dir build --output-on-failure -j "$jobs"

# Every test program of the normal build once more, each test twice and in a shuffled order: a
# test that passes only in its usual place, or only the first time, shows state that outlives a
# test. The programs get the working folder and environment ctest gives them
# (tests/CMakeLists.txt); a failing program's output names the random number of the shuffle that
# reproduces its order.
repeat_shuffled() {
    local program="$1" log status=0
    log="$(mktemp)"
    if [[ "$(basename "$program")" == *_qt ]]; then
        (cd "$here/build/tests" && QT_QPA_PLATFORM=offscreen "$program" \
            --gtest_repeat=2 --gtest_shuffle) > "$log" 2>&1 || status=$?
    else
        (cd "$here/build/tests" && TAVO_UI=console "$program" \
            --gtest_repeat=2 --gtest_shuffle) > "$log" 2>&1 || status=$?
    fi
    if [[ $status -ne 0 ]]; then
        cat "$log"
        echo "FAILED: $program repeated and shuffled (exit code $status)"
    fi
    rm -f "$log"
    return "$status"
}
export -f repeat_shuffled
export here
mapfile -d '' programs < <(find "$here/build/tests" -name CMakeFiles -prune -o \
    -type f -name 'test_*' -executable -print0)
if [[ ${#programs[@]} -eq 0 ]]; then
    echo "FAILED: no test programs found below build/tests"
    exit 1
fi
echo "== normal tests repeated and shuffled"
time (printf '%s\0' "${programs[@]}" |
    xargs -0 -n 1 -P "$jobs" bash -c 'repeat_shuffled "$1"' repeat_shuffled)
echo "${#programs[@]} test programs passed repeated and shuffled"

# One clang build serves the sanitizers and the fuzzers: its program code carries both, and
# each test program runs as one test (its output names the test a report belongs to).
echo "== sanitizer and fuzzer build"
time tools/build.sh build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTAVO_SANITIZE=ON -DTAVO_FUZZ=ON -DTAVO_TESTS_PER_PROGRAM=ON -DTAVO_WITH_BENCH=OFF \
    -DTAVO_WERROR=ON
echo "== sanitizer tests"
time (ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs")

# The fuzz targets, side by side, each for its own time: the command-language compiler takes
# every line a user types, reads from a file or gets from a table; the message compiler every
# string source a user writes; the compilers of a user's procedure and list sources whatever the
# user writes; a lens file is untrusted text run as commands, and so is a foreign lens file
# through every reader.
fuzz() {
    local target="$1" corpus="$2" max_len="$3" dir="$here/build-asan/tests/fuzz"
    rm -rf "$dir/$corpus" && cp -r "$here/tests/fuzz/$corpus" "$dir/$corpus"
    if ! "$dir/$target" -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len="$max_len" \
        -timeout=10 -print_final_stats=1 "$dir/$corpus" > "$dir/$target.log" 2>&1; then
        cat "$dir/$target.log"
        echo "FAILED: $target"
        return 1
    fi
    echo "$target: $(grep -E '^Done [0-9]+ runs' "$dir/$target.log" || echo "no run count")"
}
echo "== fuzzers"
pids=()
time {
    fuzz kpl_compiler_fuzz corpus 400 & pids+=($!)
    fuzz message_source_fuzz message_corpus 2000 & pids+=($!)
    fuzz table_source_fuzz table_source_corpus 2000 & pids+=($!)
    fuzz lens_file_fuzz lens_corpus 4000 & pids+=($!)
    fuzz lens_import_fuzz import_corpus 4000 & pids+=($!)
    failed=0
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
}
[[ $failed -eq 0 ]] || { echo "FAILED: a fuzz target found a fault (its log is above)"; exit 1; }
echo "all tests passed"
