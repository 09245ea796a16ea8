#!/bin/sh
# Lines of code (C and C++ sources and headers, Python and shell scripts) in
# the product (lib/ enc/ tools/ include/) and in tests/, and the tests' share
# of the sum, which should stay between a quarter and a third.
# Usage: code_stats.sh [--short]
cd "$(dirname "$0")/.." || exit 1
files() {
    if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git ls-files -- "$@"
    else
        find "$@" -type f 2> /dev/null
    fi | grep -E '\.(c|cc|cpp|h|hpp|inc|py|sh)$'
}
count() { files "$@" | tr '\n' '\0' | xargs -0 cat 2> /dev/null | wc -l; }
lib=$(count lib); enc=$(count enc); tools=$(count tools); include=$(count include); tests=$(count tests)
code=$((lib + enc + tools + include))
share=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f", 100 * t / (t + c) }')
verdict=$(awk -v t="$tests" -v c="$code" 'BEGIN { s = t / (t + c); print (s > 1 / 3 ? "above a third" : s < 0.25 ? "below a quarter" : "within a quarter to a third") }')
if [ "${1:-}" = --short ]; then
    echo "test share: $tests test lines, $code code lines: $share% ($verdict)"
else
    echo "lib      $lib"
    echo "enc      $enc"
    echo "tools    $tools"
    echo "include  $include"
    echo "code     $code"
    echo "tests    $tests"
    echo "tests are $share% of all code lines ($verdict)"
fi
