#!/bin/bash
# Usage: roundtrip.sh SVACENC SVACDEC WORKDIR GROUP
# GROUP is CHROMA_DEPTH (400_8, 420_10, ...) for random-mode streams of that
# format, "real" for real-mode streams of every format, "inter" for P and
# field pictures of every format, "kernels" for 8-bit streams decoded with
# the portable and with the default kernels, "cabac" for arithmetic-coded I
# and P pictures and fields of every format and depth, "bframes" for B
# pictures (IBBP, IBP; frames and fields; both entropy modes; every format
# and depth; portable and default kernels), "svc" for scalable streams
# decoded with every layer mask and for regions, or "secure" for
# enciphered streams decoded with the right and with wrong keys. Every stream is
# decoded with --verify against the MD5 list of the generator's
# reconstruction; the first failing command line is printed so it can be
# rerun by hand.
set -u
enc=$1
dec=$2
work=$3
group=$4
mkdir -p "$work"
failures=0
runs=0

run() {
    local name=$1
    shift
    runs=$((runs + 1))
    if ! "$enc" "$@" -o "$work/$name.svac" --md5 "$work/$name.md5" 2> "$work/$name.enc.log"; then
        echo "FAIL (encoder): svacenc $*"
        cat "$work/$name.enc.log"
        failures=$((failures + 1))
        return
    fi
    if ! "$dec" "$work/$name.svac" --verify "$work/$name.md5" --quiet > "$work/$name.dec.out" 2>&1; then
        failures=$((failures + 1))
        if [ $failures -le 5 ]; then
            echo "FAIL: svacenc $* -o x.svac --md5 x.md5 && svacdec x.svac --verify x.md5"
            head -5 "$work/$name.dec.out"
        fi
    fi
}

# Enciphered stream: the right key reproduces the pictures, which are those of
# the same stream sent in clear; a wrong key (or none) must end in a failed
# verification with exit status 1, not in a crash.
secure() {
    local name=$1 cipher=$2 key=$3 wrong=$4
    shift 4
    runs=$((runs + 1))
    local fail=""
    "$enc" "$@" -o "$work/$name.plain.svac" --md5 "$work/$name.plain.md5" 2> /dev/null &&
        "$enc" "$@" --encrypt "$cipher" --key "$key" -o "$work/$name.svac" \
            --md5 "$work/$name.md5" 2> "$work/$name.enc.log" || fail="encoder"
    [ -z "$fail" ] && ! cmp -s "$work/$name.plain.md5" "$work/$name.md5" && fail="pictures differ from the clear stream"
    [ -z "$fail" ] && cmp -s "$work/$name.plain.svac" "$work/$name.svac" && fail="stream not enciphered"
    [ -z "$fail" ] && ! "$dec" "$work/$name.svac" --key "$key" --verify "$work/$name.md5" --quiet \
        > "$work/$name.dec.out" 2>&1 && fail="right key"
    if [ -z "$fail" ]; then
        "$dec" "$work/$name.svac" --key "$wrong" --verify "$work/$name.md5" --quiet > /dev/null 2>&1
        local st=$?
        [ $st -ne 1 ] && fail="wrong key: exit status $st"
    fi
    if [ -z "$fail" ]; then
        "$dec" "$work/$name.svac" --verify "$work/$name.md5" --quiet > /dev/null 2>&1
        local st=$?
        [ $st -ne 1 ] && fail="no key: exit status $st"
    fi
    if [ -n "$fail" ]; then
        failures=$((failures + 1))
        echo "FAIL ($fail): svacenc $* --encrypt $cipher --key $key; svacdec --key $key / $wrong"
    fi
}

# The same stream decoded with the portable kernels (--cpu-flags 0) and with
# the processor's kernels must give the same MD5 list, and the generator's.
kernels() {
    local name=$1
    shift
    runs=$((runs + 1))
    local fail=""
    "$enc" "$@" -o "$work/$name.svac" --md5 "$work/$name.md5" 2> "$work/$name.enc.log" || fail="encoder"
    [ -z "$fail" ] && ! "$dec" "$work/$name.svac" --cpu-flags 0 -o "$work/$name.c.md5" --quiet > /dev/null 2>&1 &&
        fail="portable decode"
    [ -z "$fail" ] && ! "$dec" "$work/$name.svac" -o "$work/$name.simd.md5" --quiet > /dev/null 2>&1 &&
        fail="default decode"
    [ -z "$fail" ] && ! cmp -s "$work/$name.c.md5" "$work/$name.simd.md5" && fail="portable and default kernels differ"
    [ -z "$fail" ] && ! cmp -s "$work/$name.md5" "$work/$name.simd.md5" && fail="generator and decoder differ"
    if [ -n "$fail" ]; then
        failures=$((failures + 1))
        echo "FAIL ($fail): svacenc $*"
    fi
}

# A scalable stream decoded with every layer mask: both layers (0, 3) give
# the generator's list; one layer (1, 2) its layer's list, the enhancement
# layer only when it never predicts from the base layer, else it reports the
# missing base pictures; -o with %d writes each layer's list, and a single
# y4m file holds the enhancement layer (the base layer with mask 1).
svc() {
    local name=$1 w=$work/$1
    shift
    runs=$((runs + 1))
    local fail="" args="$*" cells=("0 $w.md5" "3 $w.md5" "1 $w.l0.md5") alone=""
    [[ " $args " = *" --svc-no-inter-layer "* ]] && alone=1 && cells+=("2 $w.l1.md5")
    "$enc" --svc "$@" -o "$w.svac" --md5 "$w.md5" 2> "$w.enc.log" &&
        "$enc" --svc "$@" -o "$w.svac" --md5 "$w.l%d.md5" --recon "$w.r%d.y4m" 2>> "$w.enc.log" ||
        fail="encoder"
    for cell in "${cells[@]}"; do
        # shellcheck disable=SC2086
        set -- $cell
        [ -z "$fail" ] && ! "$dec" "$w.svac" --layer-mask "$1" --verify "$2" --quiet > "$w.dec.out" 2>&1 &&
            fail="--layer-mask $1"
    done
    [ -z "$fail" ] && { "$dec" "$w.svac" -o "$w.out%d.md5" --quiet > /dev/null 2>&1 &&
        cmp -s "$w.out0.md5" "$w.l0.md5" && cmp -s "$w.out1.md5" "$w.l1.md5" &&
        "$dec" "$w.svac" -o "$w.y4m" --quiet > /dev/null 2>&1 && cmp -s "$w.y4m" "$w.r1.y4m" &&
        "$dec" "$w.svac" -o "$w.y4m" --layer-mask 1 --quiet > /dev/null 2>&1 && cmp -s "$w.y4m" "$w.r0.y4m"; } ||
        fail=${fail:-"outputs"}
    [ -z "$fail" ] && [ -z "$alone" ] && ! "$dec" "$w.svac" --layer-mask 2 -o /dev/null --quiet 2>&1 |
        grep -q "can not find base layer picture" && fail="mask 2 without the message"
    if [ -n "$fail" ]; then
        failures=$((failures + 1))
        echo "FAIL ($fail): svacenc --svc $args"
    fi
}

if [ "$group" = svc ]; then
    # Scalable streams (B pictures, regions, both), and regions alone.
    seed=0
    for chroma in 400 420 422; do
        for depth in 8 10; do
            for entropy in vlc cabac; do
                for variant in "--gop IPPP" "--gop IPP --svc-no-inter-layer --slices 2" "--gop I --field" \
                               "--gop IBP" "--gop IPPP --roi random" \
                               "--gop IBBP --roi random --roi-skip --svc-no-inter-layer"; do
                    seed=$((seed + 1))
                    # shellcheck disable=SC2086
                    svc "s_$seed" --mode random --seed $((seed * 37)) --frames 5 --size 128x96 --chroma $chroma \
                        --bitdepth $depth --entropy $entropy $variant
                done
                svc "s_real_${chroma}_${depth}_$entropy" --mode real --frames 3 --size 96x64 --gop IPP \
                    --chroma $chroma --bitdepth $depth --entropy $entropy --qp 30
                for variant in "--gop IPPP" "--gop IPBP --roi-skip --field"; do
                    seed=$((seed + 1))
                    # shellcheck disable=SC2086
                    run "roi_$seed" --mode random --seed $((seed * 37)) --frames 5 --size 80x48 --roi random \
                        --chroma $chroma --bitdepth $depth --entropy $entropy $variant
                done
            done
        done
    done
    for skip in "" --roi-skip; do
        run "roi_real$skip" --mode real --frames 4 --gop IPP --size 176x144 --roi 2,2,4,3/5,4,4,5 --roi-qp 20 \
            --qp 40 $skip
    done
elif [ "$group" = kernels ]; then
    for chroma in 400 420 422; do
        kernels "k_rand_$chroma" --mode random --seed $((chroma + 3)) --frames 6 --size 176x144 --chroma $chroma \
            --gop IPPP
        kernels "k_field_$chroma" --mode random --seed $((chroma + 4)) --frames 4 --size 80x48 --chroma $chroma \
            --gop IPPP --field --slices 2
        kernels "k_real_$chroma" --mode real --frames 6 --size 176x144 --chroma $chroma --gop IPPPPP --qp 28
    done
    kernels k_real_lf --mode real --frames 4 --size 112x48 --gop IPPP --qp 44 --lf-offsets 6,6
    kernels k_real_qp0 --mode real --frames 3 --size 64x32 --gop IPP --qp 0
elif [ "$group" = cabac ]; then
    seed=0
    for chroma in 400 420 422; do
        for depth in 8 10; do
            for variant in "--gop I" "--gop IPPP" "--gop IPPP --field" "--gop IPPPPPPP --slices 3" \
                           "--gop IP --field --slices 2 --fixed-qp" "--gop IPP --qp 0 --slices 4" \
                           "--gop PI --qp 55"; do
                seed=$((seed + 1))
                # shellcheck disable=SC2086
                run "c_${seed}" --entropy cabac --mode random --seed $((seed * 977)) --frames 5 \
                    --size 80x48 --chroma $chroma --bitdepth $depth $variant
            done
            run "c_real_${chroma}_${depth}" --entropy cabac --mode real --frames 4 --size 96x64 \
                --gop IPPP --chroma $chroma --bitdepth $depth --qp 30 --slices 2
            run "c_real_field_${chroma}_${depth}" --entropy cabac --mode real --frames 4 --size 48x32 \
                --gop IPPP --chroma $chroma --bitdepth $depth --field
        done
    done
elif [ "$group" = bframes ]; then
    seed=0
    for chroma in 400 420 422; do
        for depth in 8 10; do
            for entropy in vlc cabac; do
                for variant in "--gop IBBP" "--gop IBP --field" "--gop IBBPBBP --slices 3" \
                               "--gop IBP --field --slices 2 --fixed-qp"; do
                    seed=$((seed + 1))
                    # shellcheck disable=SC2086
                    run "b_${seed}" --entropy $entropy --mode random --seed $((seed * 613)) --frames 7 \
                        --size 80x48 --chroma $chroma --bitdepth $depth $variant
                done
            done
            run "b_real_${chroma}_${depth}" --entropy cabac --mode real --frames 7 --size 96x64 \
                --gop IBBP --chroma $chroma --bitdepth $depth --qp 30
        done
    done
    # Display order ending on B pictures and on a P picture; one B picture.
    run b_end_b --mode random --seed 77 --frames 6 --size 48x32 --gop IBBP
    run b_one --mode random --seed 78 --frames 3 --size 48x32 --gop IBP
    kernels k_b_vlc --mode random --seed 79 --frames 7 --size 176x144 --gop IBBP
    kernels k_b_cabac --entropy cabac --mode real --frames 7 --size 176x144 --gop IBBP --qp 28
elif [ "$group" = secure ]; then
    aes128=000102030405060708090a0b0c0d0e0f
    aes192=000102030405060708090a0b0c0d0e0f1011121314151617
    aes256=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
    des=133457799bbcdff1
    for cell in "aes $aes128 $aes256" "aes $aes256 $aes128" "aes $aes192 $aes128" \
                "des $des 0e329232ea6d0d73" "des $des $aes128"; do
        # shellcheck disable=SC2086
        set -- $cell
        cells=$((${cells:-0} + 1))
        n=${1}_${cells}
        secure "real_$n" "$1" "$2" "$3" --mode real --frames 3 --size 176x144 --slices 2
        secure "real10_$n" "$1" "$2" "$3" --mode real --frames 2 --size 48x32 --chroma 422 --bitdepth 10
        for seed in 1 2 3; do
            secure "rand_${n}_$seed" "$1" "$2" "$3" --mode random --seed $seed --frames 3 --size 80x48
        done
    done
elif [ "$group" = inter ]; then
    seed=0
    for chroma in 400 420 422; do
        for depth in 8 10; do
            for variant in "--gop IPPP" "--gop IPPP --field" "--gop IPPPPPPP --slices 3" \
                           "--gop IP --field --slices 2 --fixed-qp"; do
                seed=$((seed + 1))
                # shellcheck disable=SC2086
                run "p_${seed}" --mode random --seed $((seed * 131)) --frames 6 --size 80x48 \
                    --chroma $chroma --bitdepth $depth $variant
            done
            # shellcheck disable=SC2086
            run "p_real_${chroma}_${depth}" --mode real --frames 4 --size 96x64 --gop IPPP \
                --chroma $chroma --bitdepth $depth --qp 30
            run "p_real_field_${chroma}_${depth}" --mode real --frames 4 --size 48x32 --gop IPPP \
                --chroma $chroma --bitdepth $depth --field --slices 2
        done
    done
    # The drain reports all 368 lines of a 640x368 picture (a decoding call shows 360).
    run p_drained_368 --frames 3 --size 640x368 --gop IBP --qp 45
elif [ "$group" = real ]; then
    for chroma in 400 420 422; do
        for depth in 8 10; do
            for qp in 8 30 50; do
                run "real_${chroma}_${depth}_${qp}" --mode real --frames 2 --size 80x48 \
                    --chroma $chroma --bitdepth $depth --qp $qp
            done
            run "real_${chroma}_${depth}_fixed" --mode real --frames 2 --size 176x144 \
                --chroma $chroma --bitdepth $depth --qp 26 --fixed-qp --slices 3 --lf-offsets 2,-1
        done
    done
    # A single picture (the drain must not hand it out twice); picture
    # numbers wrapping past 255; sizes shown with fewer lines than coded.
    run real_single --mode real --frames 1 --size 64x48
    run real_wrap --mode real --frames 260 --size 16x16 --qp 40
    run random_360 --mode random --seed 5 --frames 2 --size 640x360
    run random_540 --mode random --seed 6 --frames 2 --size 960x540 --slices 5
else
    chroma=${group%_*}
    depth=${group#*_}
    sizes=(48x32 80x48 112x16 16x64 176x144)
    seed=0
    for variant in "" "--slices 1" "--fixed-qp" "--lf-disable" "--lf-offsets -4,5" \
                   "--slices 4 --qp 0" "--qp 55" "--slices 2 --fixed-qp --lf-disable"; do
        for size in "${sizes[@]}" "${sizes[@]}" "${sizes[@]}"; do
            seed=$((seed + 1))
            frames=3
            [ "$size" = 176x144 ] && frames=2
            # shellcheck disable=SC2086
            run "r_${seed}" --mode random --seed $((seed * 7919 + ${depth} * 31 + ${chroma})) \
                --frames $frames --size "$size" --chroma "$chroma" --bitdepth "$depth" $variant
        done
    done
fi

echo "$group: $((runs - failures)) of $runs streams decoded exactly"
[ $failures -eq 0 ]
