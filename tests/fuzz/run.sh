#!/bin/sh
# Runs every fuzz target for SECONDS each on one core, starting from the
# svacenc seeds and the committed corpus; new crashes land in
# BUILD/fuzz-findings/<target>. usage: run.sh BUILD SECONDS
set -eu
build=$1
seconds=$2
src=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/seeds" ] || "$src/make_seeds.sh" "$build/svacenc" "$build/seeds"
status=0
for t in stream syntax security alloc; do
    work="$build/fuzz-corpus/$t"
    found="$build/fuzz-findings/$t"
    mkdir -p "$work" "$found"
    echo "fuzz_$t: $seconds s"
    nice "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$found/" \
        "$work" "$build/seeds/$t" "$src/corpus/$t" 2>"$build/fuzz-$t.log" || status=1
    grep -E "^#[0-9]+.*DONE|stat::number_of_executed_units|ERROR|SUMMARY" "$build/fuzz-$t.log" || true
done
exit $status
