#!/usr/bin/env bash
# Configures and builds one build folder: tools/build.sh <folder> [cmake options...]
# A new folder is made with Ninja when it is installed; a folder made before keeps the
# generator it was made with.
set -euo pipefail
dir="$1"; shift
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$dir"
generator=()
if [[ ! -f "$dir/CMakeCache.txt" ]] && command -v ninja > /dev/null 2>&1; then
    generator=(-G Ninja)
fi
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" \
    > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
cmake --build "$dir" -j "$jobs"
