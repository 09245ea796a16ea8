#!/bin/sh
# Decodes the committed sample stream and shows what came out.
set -eu
build=${1:-build}
out=demo_out
mkdir -p "$out"
"$build/svacdec" samples/demo.svac -o "$out/demo.y4m" --png "$out"
