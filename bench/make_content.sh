#!/usr/bin/env bash
# Makes the benchmark content: a synthetic "camera-like" scene (textured still with a
# slow sub-pixel pan, three moving objects, temporal sensor noise) at 25 fps,
# 8-bit 4:2:0 Y4M at 1080p and 720p. N pictures (default 120, the length of the H.264
# anchor clips; a shorter run takes the first N pictures of the same scene).
# Usage: make_content.sh OUTDIR [N]    (needs ffmpeg)
# Same content as the team's anchor figures, so the figures line up.
set -euo pipefail
OUT=${1:?usage: make_content.sh OUTDIR [N]}
mkdir -p "$OUT"
command -v ffmpeg >/dev/null || { echo "make_content.sh: ffmpeg is missing"; exit 1; }
N=${2:-120}
bg() {
  local out=$1 S=2304x1296
  ffmpeg -hide_banner -loglevel error -y \
   -f lavfi -i "mandelbrot=s=$S:rate=1:maxiter=400:start_scale=0.9:start_x=-0.743643887037151:start_y=0.13182590420533" \
   -f lavfi -i "color=c=gray:s=$S:r=1,format=yuv420p,noise=c0s=100:c0f=u:all_seed=11,gblur=sigma=0.8" \
   -f lavfi -i "color=c=gray:s=$S:r=1,format=yuv420p,noise=c0s=100:c0f=u:all_seed=22,gblur=sigma=5,eq=contrast=7" \
   -f lavfi -i "color=c=gray:s=$S:r=1,format=yuv420p,noise=c0s=100:c0f=u:all_seed=33,gblur=sigma=40,eq=contrast=40" \
   -filter_complex "[0:v]format=yuv420p,hue=s=0.35,gblur=sigma=0.6[m];[1:v]format=yuv420p[n1];[2:v]format=yuv420p[n2];[3:v]format=yuv420p[n3];\
[n3][n2]blend=c0_mode=overlay:c0_opacity=0.8:c1_mode=normal:c1_opacity=1:c2_mode=normal:c2_opacity=1[t1];\
[t1][n1]blend=c0_mode=overlay:c0_opacity=0.6:c1_mode=normal:c2_mode=normal[t2];\
[m][t2]blend=c0_mode=overlay:c0_opacity=0.75:c1_mode=normal:c1_opacity=1:c2_mode=normal:c2_opacity=1,eq=contrast=1.5:brightness=0.12:saturation=1.0,format=yuv420p" \
   -frames:v 1 "$out"
}
master() { # $1 still, $2 out y4m, $3 pan in px/picture on the 2112x1188 canvas
  ffmpeg -hide_banner -loglevel error -y -loop 1 -framerate 25 -i "$1" \
    -f lavfi -i "testsrc2=s=352x264:r=25" \
    -f lavfi -i "mandelbrot=s=288x288:rate=25:start_scale=2.5:end_scale=0.01:end_pts=120:maxiter=1024:start_x=-0.743643887037151:start_y=0.13182590420533" \
    -f lavfi -i "testsrc2=s=104x208:r=25" \
    -filter_complex "[0:v]format=yuv420p,crop=w=2112:h=1188:x='24+n*$3':y=40:exact=1[bg];\
[1:v]format=yuv420p[o1];[2:v]format=yuv420p,hue=s=0.4[o2];[3:v]format=yuv420p,hue=s=0.5[o3];\
[bg][o1]overlay=x='-352+n*9':y=700:eval=frame[c1];\
[c1][o2]overlay=x='1850-n*6':y='880-n*4':eval=frame[c2];\
[c2][o3]overlay=x='400+n*3':y='380+n':eval=frame,scale=1920:1080:flags=bicubic,\
noise=c0s=3:c0f=t:c1s=2:c1f=t:c2s=2:c2f=t:all_seed=5,format=yuv420p[v]" \
    -map "[v]" -frames:v $N -f yuv4mpegpipe -strict -1 "$2"
}
[[ -s $OUT/bg.png ]] || bg "$OUT/bg.png"
[[ -s $OUT/1080p.y4m ]] || master "$OUT/bg.png" "$OUT/1080p.y4m" 1
[[ -s $OUT/720p.y4m ]] || ffmpeg -hide_banner -loglevel error -y -i "$OUT/1080p.y4m" -vf scale=1280:720:flags=bicubic -strict -1 "$OUT/720p.y4m"
