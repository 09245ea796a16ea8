#!/bin/bash
# Usage: gst_tests.sh SVACENC SVACDEC HARNESS_TEST SOURCE_DIR WORK_DIR
# The GStreamer plugin: makes the test streams with svacenc, runs the
# GstHarness tests on them, then decodes with gst-launch-1.0 and compares
# every frame with svacdec's MD5 list. GST_PLUGIN_PATH names the plugin.
set -u
enc=$1 dec=$2 harness=$3 src=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
export GST_REGISTRY=$work/registry.bin
fail() { echo "FAIL: $*"; exit 1; }
make() { # NAME svacenc-options...
    local name=$1
    shift
    "$enc" --mode real "$@" -o "$name" --md5 "${name%.*}.md5" 2>/dev/null || fail "svacenc $*"
}

for c in 420 422 400; do
    for d in 8 10; do make f${c}_$d.svac --frames 3 --gop IP --size 64x48 --chroma $c --bitdepth $d; done
done
make intra.ps --frames 6 --gop I --ps
make ippp.ps --frames 8 --gop IPPP --ps
make aes.svac --frames 3 --gop IP --encrypt aes --key 00112233445566778899aabbccddeeff
SVAC_GST_DATA=$work "$harness" || fail "GstHarness tests"

# gst-launch-1.0 writes the 176x144 4:2:0 frames back to back into one file.
frame=$((176 * 144 * 3 / 2))
for input in "$src/samples/demo.svac" ippp.ps; do
    name=$(basename "$input")
    gst-launch-1.0 -q filesrc location="$input" ! svacparse ! svacdec ! filesink location="$name.yuv" ||
        fail "gst-launch-1.0 on $name"
    "$dec" "$input" -o "$name.md5" --quiet || fail "svacdec $name"
    size=$(stat -c %s "$name.yuv")
    for ((off = 0; off < size; off += frame)); do
        tail -c +$((off + 1)) "$name.yuv" | head -c $frame | md5sum | cut -d' ' -f1
    done >"$name.gst.md5"
    cmp -s "$name.gst.md5" "$name.md5" || fail "gst-launch-1.0 frames of $name differ from svacdec's MD5 list"
    echo "ok: filesrc location=$name ! svacparse ! svacdec gives svacdec's $(wc -l <"$name.md5") pictures"
done
