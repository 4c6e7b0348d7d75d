#!/usr/bin/env bash
# Counts the places of the program's sources that still write a record kind or a case label as
# a bare number, so that the figure can be checked by hand:
#   - lines that compare a record's .kind, .mode, .type, .shape or .style (or ->) with a number;
#   - case labels that are a bare number of two or more digits.
# Text after "//" is not read. With --list, the lines themselves are printed too.
#
#   tools/count_bare_kinds.sh [--list]
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(platform numeric runtime kpl lens trace ui entry evaluation optimise reports drawing
         graphics app raysource compilers msgcompiler)
existing=()
for folder in "${folders[@]}"; do [[ -d "$folder" ]] && existing+=("$folder"); done

field='(\.|->)(kind|mode|type|shape|style)\b'
operator='(==|!=|<=|>=|<|>)'
comparison="${field}\s*${operator}\s*-?[0-9]+\b|(^|[^\w.])-?[0-9]+\s*${operator}\s*\w+${field}"
label='\bcase\s+-?[0-9]{2,}\s*:'

# file:line:code with the comment of the line cut off
code_lines() {
    grep -rnH --include='*.cpp' --include='*.h' '' "${existing[@]}" | sed -E 's#//.*$##'
}

matches() {
    code_lines | grep -P "^[^:]+:[0-9]+:.*($1)"
}

comparisons=$(matches "$comparison" || true)
labels=$(matches "$label" || true)
count() { [[ -z "$1" ]] && echo 0 || printf '%s\n' "$1" | wc -l; }

if [[ "${1:-}" == "--list" ]]; then
    echo "# record kinds compared with a bare number"
    [[ -n "$comparisons" ]] && printf '%s\n' "$comparisons"
    echo "# bare case labels of two or more digits"
    [[ -n "$labels" ]] && printf '%s\n' "$labels"
fi
echo "record-kind comparisons with a bare number: $(count "$comparisons")"
echo "bare case labels of two or more digits: $(count "$labels")"
