#!/usr/bin/env bash
# Builds the program and starts it: ./run.sh [lens file]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
tools/install-deps.sh
mkdir -p build
tools/build.sh build > build/run-build.log 2>&1 || { tail -50 build/run-build.log; exit 1; }
exec build/tavo/tavolt "$@"
