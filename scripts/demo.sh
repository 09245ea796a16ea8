#!/bin/sh
# Decodes the committed sample stream and shows what came out.
set -eu
build=${1:-build}
out=demo_out
mkdir -p "$out"
echo "== svacdec samples/demo.svac -o $out/demo.y4m --png $out"
"$build/svacdec" samples/demo.svac -o "$out/demo.y4m" --png "$out"
if [ -f samples/demo.md5 ]; then
    echo "== svacdec samples/demo.svac --verify samples/demo.md5"
    "$build/svacdec" samples/demo.svac -o /dev/null --verify samples/demo.md5
fi
echo "== $out:"
ls -l "$out"
