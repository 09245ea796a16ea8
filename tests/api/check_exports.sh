#!/bin/sh
# Every symbol the shared library exports must belong to the decoder's
# interface: host functions, internal entry points, tables and debug globals.
lib="$1"
# Sanitizer and coverage builds add their own bookkeeping symbols.
syms=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v -E '^(__odr_asan|__asan|__ubsan|__sanitizer|__tsan|__gcov|mangle_path$)' | sort)
status=0
for f in VQ_SVAC_Dec_Init VQ_SVAC_Dec_DeInit VQ_SVAC_Dec_GetVersion VQ_SVAC_Dec_GetCPUCaps \
         VQ_SVAC_Dec_Open VQ_SVAC_Dec_Close VQ_SVAC_Dec_Decode VQ_SVAC_Get_LastFrame VQ_SVAC_Set_Key \
         VQ_SVACDEC_svac_set_debug_info_ctrl svac_debug_ctrl dump_i dump_p dump_b dump_coefs \
         DUMP_INFO ftrace encryption_type SUB_TYPE golomb_vlc_len ue_golomb_vlc_code \
         se_golomb_vlc_code log2_tab ue_golomb_len; do
    echo "$syms" | grep -qx "$f" || { echo "missing export: $f"; status=1; }
done
allowed=$(dirname "$0")/exported_names.txt
for s in $syms; do
    case "$s" in
        VQ_SVAC_*|VQ_SVACDEC_*) ;;
        *) grep -qx "$s" "$allowed" || { echo "unexpected export: $s"; status=1; } ;;
    esac
done
exit $status
