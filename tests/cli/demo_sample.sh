#!/bin/bash
# Usage: demo_sample.sh SVACENC SVACDEC REPO WORKDIR
# The committed sample stays reproducible: the command the README gives makes
# exactly the committed stream and MD5 list, and the decoder reproduces them.
set -u
enc=$1
dec=$2
repo=$3
work=$4
mkdir -p "$work"
args="--mode real --frames 10 --size 176x144 --chroma 420 --bitdepth 8 --qp 26"
status=0

if ! grep -qF -- "svacenc $args -o samples/demo.svac --md5 samples/demo.md5" "$repo/README.md"; then
    echo "FAIL: README.md does not give the command this test runs: svacenc $args"
    status=1
fi
# shellcheck disable=SC2086
if ! "$enc" $args -o "$work/demo.svac" --md5 "$work/demo.md5"; then
    echo "FAIL: svacenc $args"
    exit 1
fi
for f in demo.svac demo.md5; do
    if ! cmp "$work/$f" "$repo/samples/$f"; then
        echo "FAIL: regenerated $f differs from samples/$f"
        status=1
    fi
done
if ! "$dec" "$repo/samples/demo.svac" -o /dev/null --verify "$repo/samples/demo.md5"; then
    echo "FAIL: svacdec samples/demo.svac --verify samples/demo.md5"
    status=1
fi
exit $status
