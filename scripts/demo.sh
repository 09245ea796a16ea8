#!/bin/sh
# What the decoder does, on committed samples (README, "The demo samples"):
# a small synthetic clip, three seconds of a 720p street camera, and one
# second of the same camera protected with AES-128 inside an MPEG program
# stream, decoded with and without its key.
set -eu
build=${1:-build}
out=demo_out
key=00112233445566778899aabbccddeeff
mkdir -p "$out"
run() {
    echo "== $*"
    "$@"
}

run "$build/svacdec" samples/demo.svac -o "$out/demo.y4m" --png "$out/demo" --verify samples/demo.md5

echo
echo "Street camera, 1280x720, 25 fps, one I and 24 P pictures a second:"
run "$build/svacdec" samples/camera.svac -o /dev/null --png "$out/camera" --verify samples/camera.md5

echo
echo "The same camera protected with AES-128 in a program stream (stream_type 0x80):"
run "$build/svacdec" samples/camera_aes.ps --key $key --png "$out/protected" -o /dev/null \
    --verify samples/camera_aes.md5
echo "-- and without the key: every slice is refused, no picture comes out"
"$build/svacdec" samples/camera_aes.ps -o /dev/null | sort | uniq -c || true

if [ -f "$build/gst/libgstsvac.so" ] && command -v gst-launch-1.0 >/dev/null; then
    echo
    run env GST_PLUGIN_PATH="$build/gst" gst-launch-1.0 filesrc location=samples/camera_aes.ps ! \
        svacparse ! svacdec key=$key ! fakesink
fi

echo
echo "== $out: a PNG of each layer's first picture per stream (layer0.png; layer1.png for scalable streams)"
ls -l "$out" "$out"/*/
