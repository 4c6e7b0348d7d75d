#!/usr/bin/env bash
# Checks that every C++ source of the repository is as clang-format (with the repository's
# .clang-format) writes it, so a changed file that is not fails; prints the files that are not.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
[[ ${#files[@]} -gt 0 ]] || exit 0
if ! clang-format --dry-run --Werror "${files[@]}" > /dev/null 2>&1; then
    echo "FAILED: not formatted (clang-format -i fixes them):"
    for f in "${files[@]}"; do
        clang-format --dry-run --Werror "$f" > /dev/null 2>&1 || echo "  $f"
    done
    exit 1
fi
echo "${#files[@]} sources formatted"
