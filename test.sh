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
