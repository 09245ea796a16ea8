#!/bin/bash
# Usage: svc_outputs.sh SVACENC SVACDEC WORKDIR
# Scalable streams from svacenc: a size that does not halve into macroblocks
# is refused; the per-layer MD5 lists (a %d in the name) split the combined
# list, whose lines alternate base and enhancement pictures; each layer
# decodes alone to its own list (the enhancement layer when it never
# predicts from the base layer).
set -u
enc=$1 dec=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

"$enc" --svc --size 96x48 -o bad.svac 2>err.txt && fail "svacenc --svc --size 96x48 accepted"
grep -q "multiples of 32" err.txt || fail "no reason given for refusing 96x48: $(cat err.txt)"
for ent in vlc cabac; do
    args="--svc --svc-no-inter-layer --size 96x64 --frames 5 --gop IPP --chroma 422 --entropy $ent"
    "$enc" $args -o s.svac --md5 all.md5 2>/dev/null && "$enc" $args -o s2.svac --md5 layer%d.md5 2>/dev/null ||
        fail "svacenc $args"
    cmp -s s.svac s2.svac || fail "the MD5 file names change the stream"
    [ "$(wc -l < all.md5)" = 10 ] || fail "$ent: 10 pictures expected in all.md5"
    cmp -s <(sed -n 'p;n' all.md5) layer0.md5 && cmp -s <(sed -n 'n;p' all.md5) layer1.md5 ||
        fail "$ent: the per-layer lists do not split the combined list"
    for m in 1 2; do
        "$dec" s.svac --layer-mask $m --verify layer$((m - 1)).md5 --quiet > /dev/null 2>&1 ||
            fail "$ent: svacdec --layer-mask $m does not give layer $((m - 1))"
    done
done
echo "ok: scalable stream outputs"
