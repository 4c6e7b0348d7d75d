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
