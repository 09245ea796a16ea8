#!/usr/bin/env bash
# Decoding speed of svacdec against FFmpeg's H.264 decoder on the same content at the same
# bits per pixel, both single-threaded, portable code against portable code and default
# kernels against FFmpeg's SIMD, all measured in this one run on this machine.
# Also per clip: svacdec's peak resident memory (/usr/bin/time -v) beside the size of the
# pictures the stream needs, and the throughput of two svacdec processes at once against one.
# Usage: bench/run.sh [BUILD_DIR]      (default build; needs svacdec and svacenc built there)
# Environment: BENCH_SIZES (default "720p 1080p"), BENCH_FRAMES (120), BENCH_RUNS (7),
#              BENCH_QP (32, svacenc's quantiser), BENCH_DATA (BUILD_DIR/bench-data),
#              BENCH_ENTROPY ("vlc cabac ibbp": svacenc VLC against x264 CAVLC, svacenc CABAC
#              against x264 CABAC, svacenc IBBP CABAC against x264 CABAC with 2 B pictures).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build}
[[ $BUILD = /* ]] || BUILD=$ROOT/$BUILD
SIZES=${BENCH_SIZES:-720p 1080p}
FRAMES=${BENCH_FRAMES:-120}
RUNS=${BENCH_RUNS:-7}
QP=${BENCH_QP:-32}
DATA=${BENCH_DATA:-$BUILD/bench-data}
ENTROPIES=${BENCH_ENTROPY:-vlc cabac ibbp}
DEC=$BUILD/svacdec
ENC=$BUILD/svacenc
# Rate control settings of the H.264 anchors; the coder, GOP and rate are added below.
X264_COMMON="--preset medium --profile high --keyint 50 --min-keyint 50 --scenecut 0 --ref 2
 --b-pyramid none --b-adapt 0 --weightp 0 --no-weightb --direct temporal
 --partitions p8x8,b8x8,i8x8,i4x4 --8x8dct --deblock 0:0 --threads 1 --no-progress"

for t in "$DEC" "$ENC"; do
    [[ -x $t ]] || { echo "bench: $t is missing; build it first (make build)"; exit 1; }
done

# FFmpeg makes the content and is the reference decoder; x264 makes the H.264 streams.
if ! command -v ffmpeg >/dev/null || ! command -v x264 >/dev/null; then
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
        echo "bench: installing ffmpeg and x264 from Debian"
        DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ffmpeg x264 >/dev/null || true
    fi
    if ! command -v ffmpeg >/dev/null || ! command -v x264 >/dev/null; then
        echo "bench: skipped, ffmpeg and x264 are needed (apt-get install ffmpeg x264)"
        exit 0
    fi
fi

# P pictures when the generator can make them: a 2 s GOP like the H.264 streams.
if grep -q -- '--gop.*only I' <<<"$("$ENC" --help)"; then
    GOP=I
    GOP_NOTE="svacenc makes I pictures only"
else
    GOP=I$(printf 'P%.0s' $(seq 49))
    GOP_NOTE="svacenc GOP: I and 49 P"
fi
# The IBBP rows: the same 2 s GOP with two B pictures between references.
BGOP=I$(printf 'BBP%.0s' $(seq 16))P
GOP_NOTE+="; IBBP rows: I, then BBP 16 times and P"

CONTENT=$DATA/content-$FRAMES
"$ROOT/bench/make_content.sh" "$CONTENT" "$FRAMES"

# Frames of a 25 fps clip at the stream's size give the H.264 bitrate in kbit/s.
kbps() { echo $(( ($1 * 8 * 25 / $2 + 500) / 1000 )); }
bpp() { awk -v b="$1" -v p="$2" 'BEGIN { printf "%.3f", b * 8 / p }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One timed decode; prints "cpu_seconds wall_seconds". FFmpeg times its own decoding loop
# (start-up left out); svacdec is timed as a whole process, CPU from the shell.
time_ffmpeg() { # $1 clip, $2 extra options
    ffmpeg -hide_banner -nostdin -nostats $2 -threads 1 -benchmark -i "$1" -f null - 2>&1 |
        awk -F'[= s]+' '/^bench: utime/ { print $3 + $5, $7 }'
}
time_svacdec() { # $1 clip, $2 extra options
    local out cpu
    out=$( { TIMEFORMAT='%U %S'; time "$DEC" $2 -o /dev/null "$1" 2>"$DATA/svacdec.log"; } 2>&1)
    cpu=$(awk '{ print $1 + $2 }' <<<"$out")
    echo "$cpu $(sed -n 's/.* in \([0-9.]*\) s\( (.*)\)\{0,1\}$/\1/p' "$DATA/svacdec.log")"
}

# x264 stream of one GOP at the svac stream's size; sets hbytes.
# $1 output, $2 GOP name for the log, $3 GOP options, $4 vlc or cabac.
encode_h264() {
    local coder=--no-cabac name=CAVLC
    [[ $4 = cabac ]] && coder="" name=CABAC
    local rate try
    # A stream made after the svac stream at a matching size is reused.
    if [[ -s $1 && $1 -nt $svac ]]; then
        hbytes=$(stat -c %s "$1")
        (( hbytes * 100 > sbytes * 97 && hbytes * 100 < sbytes * 103 )) && return
    fi
    rate=$(kbps "$sbytes" "$FRAMES")
    # One-pass rate control misses the target on short clips: retry with the rate scaled by
    # the miss until the sizes agree within 3%.
    for try in 1 2 3 4; do
        echo "bench: $size: x264 $name $2 at $rate kbit/s"
        # shellcheck disable=SC2086
        x264 $X264_COMMON $coder $3 --bitrate "$rate" --vbv-maxrate "$rate" \
            --vbv-bufsize "$rate" -o "$1" "$y4m" 2>&1 |
            grep -E '^x264 \[info\]: (kb/s|frame I|frame P|frame B)' | sed 's/^/  /'
        hbytes=$(stat -c %s "$1")
        (( hbytes * 100 > sbytes * 97 && hbytes * 100 < sbytes * 103 )) && return
        rate=$(( rate * sbytes / hbytes ))
    done
}

# H.264 streams: IP with the anchors' 2 s GOP; while svacenc makes I pictures only, also an
# all-intra stream so that intra decoding is compared with intra decoding.
VARIANTS="IP"
[[ $GOP = I ]] && VARIANTS="IP I"
gop_options() {
    case $1 in
        IP) echo "--bframes 0" ;;
        IBBP) echo "--bframes 2" ;;
        *) echo "--bframes 0 --keyint 1 --min-keyint 1" ;;
    esac
}

# Peak resident set size of one default decode, in KiB.
peak_rss() {
    /usr/bin/time -v "$DEC" -o /dev/null "$1" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
# Wall seconds of $2 default decodes of $1 started together.
wall_of() {
    local t0 t1 i
    t0=$(date +%s.%N)
    for ((i = 0; i < $2; i++)); do "$DEC" -o /dev/null "$1" 2>/dev/null & done
    wait
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

ROWS=() WROWS=() MROWS=()
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for size in $SIZES; do
    y4m=$CONTENT/$size.y4m
    dims=$(head -c 200 "$y4m" | head -n1 | tr ' ' '\n' | sed -n 's/^W//p;s/^H//p' | tr '\n' ' ')
    read -r w h <<<"$dims"
    pixels=$(( w * h * FRAMES ))
    for ent in $ENTROPIES; do
        svac=$DATA/$size-q$QP.svac
        variants=$VARIANTS h264=cavlc label="" coder=$ent gop=$GOP
        if [[ $ent = cabac ]]; then
            svac=$DATA/$size-q$QP-cabac.svac variants=IP h264=cabac label=" CABAC"
        elif [[ $ent = ibbp ]]; then
            svac=$DATA/$size-q$QP-ibbp.svac variants=IBBP h264=cabac label=" CABAC" coder=cabac gop=$BGOP
        fi
        # Streams of an older svacenc or content are made again; otherwise reused.
        if [[ -s $svac && -s $svac.md5 && $svac -nt $ENC && $svac -nt $y4m ]]; then
            echo "bench: $size: reusing $svac"
        else
            echo "bench: $size: svacenc --entropy $coder --qp $QP --gop ${gop:0:7}..."
            "$ENC" --mode real --entropy "$coder" --input "$y4m" --qp "$QP" --gop "$gop" -o "$svac" \
                --md5 "$svac.md5" 2>&1 | sed 's/^/  /'
        fi
        "$DEC" --quiet --verify "$svac.md5" -o /dev/null "$svac" ||
            { echo "bench: svacdec does not reproduce the encoder's pictures on $svac"; exit 1; }
        sbytes=$(stat -c %s "$svac")
        declare -A hsize
        for v in $variants; do
            encode_h264 "$DATA/$size-q$QP-$h264-$v.264" "$v" "$(gop_options "$v")" "$coder"
            hsize[$v]=$hbytes
        done

        # Interleaved runs spread the noise of a shared machine over all decoders.
        declare -A cpu wall
        keys="sC sD"
        for v in $variants; do keys+=" fC$v fS$v"; done
        for k in $keys; do cpu[$k]=; wall[$k]=; done
        for ((r = 0; r < RUNS; r++)); do
            read -r c t <<<"$(time_svacdec "$svac" "--cpu-flags 0")"; cpu[sC]+="$c "; wall[sC]+="$t "
            read -r c t <<<"$(time_svacdec "$svac" "")";              cpu[sD]+="$c "; wall[sD]+="$t "
            for v in $variants; do
                read -r c t <<<"$(time_ffmpeg "$DATA/$size-q$QP-$h264-$v.264" "-cpuflags 0")"
                cpu[fC$v]+="$c "; wall[fC$v]+="$t "
                read -r c t <<<"$(time_ffmpeg "$DATA/$size-q$QP-$h264-$v.264" "")"
                cpu[fS$v]+="$c "; wall[fS$v]+="$t "
            done
        done
        fps_of() { # $1 list of seconds: pictures per second of the median
            awk -v n="$FRAMES" -v s="$(tr ' ' '\n' <<<"$1" | grep . | median)" 'BEGIN { printf "%.1f", n / s }'
        }
        ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
        row() { # $1 name of the timing array, $2 H.264 GOP: one table row
            local -n a=$1
            local sc sd fc fs
            sc=$(fps_of "${a[sC]}"); sd=$(fps_of "${a[sD]}")
            fc=$(fps_of "${a[fC$2]}"); fs=$(fps_of "${a[fS$2]}")
            printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$size" "$2$label" \
                "$(bpp "$sbytes" "$pixels")" "$(bpp "${hsize[$2]}" "$pixels")" \
                "$sc" "$fc" "$sd" "$fs" "$(ratio "$sc" "$fc")" "$(ratio "$sd" "$fs")"
        }
        for v in $variants; do
            ROWS+=("$(row cpu "$v")")
            WROWS+=("$(row wall "$v")")
        done
        # Memory: the decoder holds the references and the picture being decoded (2 references
        # for svacenc's P pictures, plus the current one); 4:2:0 8-bit pictures of w x h.
        if [[ $ent = vlc && -x /usr/bin/time ]]; then
            rss=$(peak_rss "$svac")
            pic_kib=$(( w * h * 3 / 2 / 1024 ))
            one=() two=()
            for ((r = 0; r < 3; r++)); do one+=("$(wall_of "$svac" 1)"); two+=("$(wall_of "$svac" 2)"); done
            t1=$(printf '%s\n' "${one[@]}" | median); t2=$(printf '%s\n' "${two[@]}" | median)
            MROWS+=("$(printf '| %s | %.1f | %.2f | 3 | %.1f | %.2f |' "$size" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" \
                "$(awk -v k="$pic_kib" 'BEGIN { print k / 1024 }')" "$(awk -v r="$rss" -v p="$pic_kib" 'BEGIN { print r / p }')" \
                "$(awk -v a="$t1" -v b="$t2" 'BEGIN { print 2 * a / b }')")")
        fi
        spread=""
        for k in $keys; do
            spread+="$k $(tr ' ' '\n' <<<"${wall[$k]}" | grep . | sort -g | sed -n '1p;$p' | tr '\n' ' ')| "
        done
        echo "  $ent: wall-clock min/max over $RUNS runs (s): $spread"
        unset cpu wall hsize
    done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

header='| clip | H.264 GOP | bpp svac | bpp H.264 | svacdec C | ffmpeg C | svacdec default | ffmpeg SIMD | C/C | default/SIMD |
|---|---|---|---|---|---|---|---|---|---|'
echo
echo "svacdec against FFmpeg's H.264 decoder (x264 CAVLC, or CABAC in the CABAC rows, 2 refs,"
echo "8x8 transform, B pictures only in the IBBP rows: 2 between references, temporal direct),"
echo "$FRAMES pictures, svacenc qp $QP; $GOP_NOTE."
echo "Medians of $RUNS interleaved runs, one thread each; $(nproc) cores, load $load_before -> $load_after."
echo "fps = pictures / CPU seconds (user+sys; FFmpeg's decoding loop, svacdec's whole process):"
echo "$header"
printf '%s\n' "${ROWS[@]}"
echo
echo "fps = pictures / wall-clock seconds (FFmpeg's rtime, svacdec's own timer):"
echo "$header"
printf '%s\n' "${WROWS[@]}"
if (( ${#MROWS[@]} )); then
    echo
    echo "Memory and parallel throughput (default kernels): peak RSS of one decode (/usr/bin/time -v),"
    echo "the size of one picture, the pictures the stream needs (2 references + the current one),"
    echo "RSS in pictures, and the throughput of two processes at once over one (medians of 3, wall):"
    echo "| clip | peak RSS MiB | picture MiB | pictures needed | RSS / picture | 2-process throughput |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${MROWS[@]}"
fi
