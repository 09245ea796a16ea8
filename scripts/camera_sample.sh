#!/bin/sh
# Remakes the camera samples of `make demo` (about four minutes of encoding):
#   samples/camera.svac, camera.md5     three seconds of svacscene's street camera
#                                       (1280x720, 25 fps, I + 24 P pictures, QP 30)
#   samples/camera_aes.ps, camera_aes.md5
#                                       its first second enciphered with AES-128 (key
#                                       00112233445566778899aabbccddeeff) in a program stream
# Usage: scripts/camera_sample.sh [BUILD_DIR]
set -eu
build=${1:-build}
clip=$(mktemp --suffix .y4m)
trap 'rm -f "$clip"' EXIT
gop=I$(printf 'P%.0s' $(seq 24))
"$build/svacscene" --size 1280x720 --frames 75 "$clip"
"$build/svacenc" --mode real --input "$clip" --gop "$gop" --qp 30 \
    -o samples/camera.svac --md5 samples/camera.md5
"$build/svacenc" --mode real --input "$clip" --frames 25 --gop "$gop" --qp 30 \
    --encrypt aes --key 00112233445566778899aabbccddeeff --ps \
    -o samples/camera_aes.ps --md5 samples/camera_aes.md5
