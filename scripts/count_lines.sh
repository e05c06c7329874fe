#!/usr/bin/env bash
# Non-blank lines of the product (src/: C, C++, headers, assembly) and of the tests
# (tests/: C++, headers, Python, shell; golden data files not counted), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { grep -cv '^[[:space:]]*$' "$@" | awk -F: '{s += $NF} END {print s + 0}'; }
product=$(count $(find src -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.asm' \)))
tests=$(count $(find tests -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \)))
echo "product lines: $product"
echo "test lines:    $tests"
awk -v t="$tests" -v p="$product" 'BEGIN {printf "ratio:         %.3f\n", t / p}'
