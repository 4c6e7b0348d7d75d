#!/usr/bin/env bash
# Builds and runs every test: once in the normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer. The exit code is the suites'.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

tools/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

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
printf '%s\0' "${programs[@]}" |
    xargs -0 -n 1 -P "$jobs" bash -c 'repeat_shuffled "$1"' repeat_shuffled
echo "${#programs[@]} test programs passed repeated and shuffled"

tools/build.sh build-asan -DTAVO_SANITIZE=ON -DTAVO_WITH_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The command-language compiler takes every line a user types, reads from a file or gets from a
# table: a short fuzzing run with clang's libFuzzer looks for inputs that crash it.
mkdir -p build-fuzz
cmake -S tests/fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    > build-fuzz/configure.log 2>&1 || { cat build-fuzz/configure.log; exit 1; }
cmake --build build-fuzz -j "$jobs"
rm -rf build-fuzz/corpus && cp -r tests/fuzz/corpus build-fuzz/corpus
build-fuzz/kpl_compiler_fuzz -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len=400 \
    -print_final_stats=1 build-fuzz/corpus

# The message compiler reads every string source a user writes: the same for its language.
rm -rf build-fuzz/message_corpus && cp -r tests/fuzz/message_corpus build-fuzz/message_corpus
build-fuzz/message_source_fuzz -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len=2000 \
    -timeout=10 -print_final_stats=1 build-fuzz/message_corpus

# The compilers of a user's procedure and list sources read whatever the user writes: the same
# for both source readers.
rm -rf build-fuzz/table_source_corpus && cp -r tests/fuzz/table_source_corpus build-fuzz/table_source_corpus
build-fuzz/table_source_fuzz -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len=2000 \
    -timeout=10 -print_final_stats=1 build-fuzz/table_source_corpus

# A lens file is untrusted text run as commands: any bytes read as one, on the built tables.
rm -rf build-fuzz/lens_corpus && cp -r tests/fuzz/lens_corpus build-fuzz/lens_corpus
build-fuzz/lens_file_fuzz -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len=4000 \
    -timeout=10 -print_final_stats=1 build-fuzz/lens_corpus
# A foreign lens file is untrusted text run as commands too: any bytes through every reader.
rm -rf build-fuzz/import_corpus && cp -r tests/fuzz/import_corpus build-fuzz/import_corpus
build-fuzz/lens_import_fuzz -max_total_time="${TAVO_FUZZ_SECONDS:-30}" -max_len=4000 \
    -timeout=10 -print_final_stats=1 build-fuzz/import_corpus
