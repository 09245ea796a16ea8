#!/bin/sh
# Seed corpora for the fuzz targets from svacenc streams of every mode.
# usage: make_seeds.sh SVACENC OUTDIR
set -eu
enc=$1
out=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out/stream" "$out/syntax" "$out/security" "$out/alloc"
n=0
gen() {  # name, svacenc options
    name=$1
    shift
    "$enc" --size 48x32 --frames 3 "$@" -o "$tmp/$name.svac" >/dev/null 2>&1
    n=$((n + 1))
}
gen i --gop I
gen ip --gop IP --seed 2
gen ipp --gop IPP --seed 3 --slices 3
gen c400 --chroma 400 --gop IP --seed 4
gen c422 --chroma 422 --gop IP --seed 5
gen b10 --bitdepth 10 --gop IP --seed 6
gen b10c422 --bitdepth 10 --chroma 422 --seed 7
gen field --field --gop IP --seed 8
gen fixed --fixed-qp --qp 10 --lf-disable --gop IP --seed 9
gen offsets --lf-offsets 3,-2 --gop IP --seed 10
gen aes --encrypt aes --key 000102030405060708090a0b0c0d0e0f --gop IP --seed 11
gen des --encrypt des --key 0011223344556677 --seed 12
gen real --mode real --size 64x48 --gop IPP
gen svc --svc --size 64x32 --gop IP --seed 13
gen svccabac --svc --size 64x32 --gop IP --entropy cabac --chroma 422 --seed 14
gen bvlc --gop IBBP --frames 5 --seed 13
gen bcabac --entropy cabac --gop IBP --field --frames 5 --seed 14
python3 - "$tmp" "$out" <<'PY'
import os, sys
tmp, out = sys.argv[1], sys.argv[2]
keys = {'aes': bytes(range(16)), 'des': bytes.fromhex('0011223344556677')}
def units(s):
    """(header byte, unescaped payload) of every NAL unit."""
    starts = [i for i in range(len(s) - 3) if s[i:i + 3] == b'\0\0\1']
    for a, b in zip(starts, starts[1:] + [len(s)]):
        raw = s[a + 4 + (s[a + 3] & 1):b]  # without the header extension byte
        p, z = bytearray(), 0
        for c in raw:
            if z >= 2 and c == 3:
                z = 0
                continue
            p.append(c)
            z = z + 1 if c == 0 else 0
        yield s[a + 3], bytes(p)
for f in sorted(os.listdir(tmp)):
    name, s = f[:-5], open(os.path.join(tmp, f), 'rb').read()
    key = keys.get(name)
    head = bytes([16, 0, len(key)]) + key if key else bytes([0, 0])
    for mode in range(3):  # one unit per call, the rest per call, pieces
        h = bytes([head[0] | (mode + 1), 7 * mode]) + head[2:]
        open(f'{out}/stream/{name}-{mode}', 'wb').write(h + s)
        open(f'{out}/alloc/{name}-{mode}', 'wb').write(bytes([mode * 40 + 3, 0]) + h + s)
    rec = lambda t, p: bytes([t]) + len(p).to_bytes(2, 'big') + p
    recs = b''.join(rec((hb >> 2) & 15, p) for hb, p in units(s))
    open(f'{out}/syntax/{name}', 'wb').write(bytes([1, 0]) + recs)
    if key:  # its security set, then the plain stream's units to be enciphered
        sec = [p for hb, p in units(s) if (hb >> 2) & 15 == 9][0]
        plain = open(os.path.join(tmp, 'ip.svac'), 'rb').read()
        recs = b''.join(rec((hb >> 2) & 15 | (32 if 1 <= (hb >> 2) & 15 <= 4 else 0), p)
                        for hb, p in units(plain))
        kb = bytes([(3 if name == 'aes' else 0) | 8]) + key
        open(f'{out}/security/{name}', 'wb').write(kb + rec(9, sec) + recs)
PY
echo "seeds from $n streams in $out"
