#!/usr/bin/env bash
# Configures and builds one build folder: tools/build.sh <folder> [cmake options...]
set -euo pipefail
dir="$1"; shift
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$dir/configure.log" 2>&1 \
    || { cat "$dir/configure.log"; exit 1; }
cmake --build "$dir" -j "$jobs"
