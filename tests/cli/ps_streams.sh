#!/bin/bash
# Usage: ps_streams.sh SVACENC SVACDEC WORKDIR
# Program streams end to end: svacenc --ps is decoded by svacdec to svacenc's
# own MD5 list; FFmpeg reads svacenc's time stamps; and svacdec's demuxer
# gives back exactly the H.264 stream FFmpeg put into MPEG-2 and MPEG-1
# program streams (FFmpeg is installed from Debian when running as root).
set -u
enc=$1 dec=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

"$enc" --mode real --frames 8 --gop IPPP --qp 30 --ps -o svac.ps --md5 svac.md5 2>/dev/null ||
    fail "svacenc --ps"
"$dec" svac.ps -o /dev/null --verify svac.md5 2>summary.txt || { cat summary.txt; fail "svacdec svac.ps --verify"; }
grep -q "8 PES packets of stream 0xE0 (stream_type 0x80), 0 damaged" summary.txt ||
    { cat summary.txt; fail "the program stream summary"; }
echo "ok: svacenc --ps decodes to its MD5 list"

if ! command -v ffmpeg >/dev/null && [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    echo "installing ffmpeg from Debian"
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null &&
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq ffmpeg >/dev/null
fi
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "skipped: the FFmpeg cross-checks need ffmpeg (apt-get install ffmpeg)"
    exit 0
fi

want=$(seq 3600 3600 28800 | tr '\n' ' ')
got=$(ffprobe -v error -show_entries packet=pts -of csv=p=0 svac.ps | tr '\n' ' ')
[[ $got == "$want" ]] || fail "FFmpeg reads the PTS of svac.ps as '$got', not '$want'"
echo "ok: FFmpeg reads svacenc's program stream time stamps"

ffmpeg -v error -f lavfi -i testsrc=size=176x144:rate=25 -frames:v 30 -c:v libx264 -g 10 \
    -f h264 ref.h264 || fail "ffmpeg could not make an H.264 stream"
for format in vob mpeg; do
    ffmpeg -v error -i ref.h264 -c copy -f $format ref.$format || fail "ffmpeg -f $format"
    "$dec" ref.$format --demux out.$format.h264 2>/dev/null || fail "svacdec --demux ref.$format"
    cmp ref.h264 out.$format.h264 || fail "the stream demuxed from FFmpeg's $format differs from the H.264 stream"
done
echo "ok: the H.264 stream FFmpeg put into program streams comes back byte for byte"
