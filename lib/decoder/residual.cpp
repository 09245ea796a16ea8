#include "decoder/residual.h"

#include "decoder/decoder.h"
#include "decoder/vlc_tables.h"

namespace {

// k-th order Exp-Golomb number of more than one window: false (the block
// fails) for a prefix that is too long or a number that does not fit a
// signed 32-bit value.
[[gnu::noinline]] bool read_golomb_long(SvacBitReader *br, int k, int32_t *out) {
    const uint32_t v = static_cast<uint32_t>(svac_br_read_ue(br));
    if (v >= (1u << (31 - k))) {
        std::puts("get_ue_code: value too larger");
        return false;
    }
    int64_t n = v;
    if (k > 0) n = (n << k) + svac_br_read(br, k);
    if (n > INT32_MAX) return false;
    *out = static_cast<int32_t>(n);
    return true;
}

// k-th order Exp-Golomb number. Codes of up to 11 leading zeros that fit one
// window are read at once: the window from the marker bit on is
// 2^(zeros + k) + info. `br` is the block's own copy of the reader.
[[gnu::always_inline]] inline bool read_golomb_k(SvacBitReader *br, int k, int32_t *out) {
    const uint32_t w = svac_br_peek32(br);
    if (SVAC_LIKELY(w >= 0x00100000u)) {
        const int len = 2 * __builtin_clz(w) + 1 + k;
        if (len <= 32) {
            br->index += len;
            *out = static_cast<int32_t>((w >> (32 - len)) - (1u << k));
            return true;
        }
    }
    // Through another copy, so that the caller's stays in registers.
    SvacBitReader t = *br;
    const bool ok = read_golomb_long(&t, k, out);
    br->index = t.index;
    return ok;
}

// Reads the pairs of one block; returns the count, or -1 on a bitstream
// error. The reader is copied for the block: its position stays in a
// register instead of going through memory between codes.
template <int MaxPairs>
int read_pairs(SvacBitReader *reader, const SvacVlc2dTable *tab, int escape_order, SvacRunLevel *pairs) {
    constexpr int kMaxRun = MaxPairs - 1;  // 64 for 8x8, 16 for 4x4
    SvacBitReader local = *reader;
    SvacBitReader *br = &local;
    int n = 0;
    // The order of the next code comes with the current one, so that it
    // waits for one table load rather than two.
    int k = tab->golomb_order;
    while (n < MaxPairs) {
        int32_t c;
        if (!read_golomb_k(br, k, &c)) {
            n = -1;
            break;
        }
        if (c < 59) {
            const SvacVlcCode &code = tab->codes[c];
            if (code.level == 0) break;
            pairs[n++] = {static_cast<uint16_t>(code.run), code.level};
            tab += code.table_step;
            k = code.next_order;
            continue;
        }
        const int run = ((c - 59) >> 1) + 1;
        if (run > kMaxRun) {
            std::printf("run %d is too large\n", run);
            n = -1;
            break;
        }
        int32_t e;
        if (!read_golomb_k(br, escape_order, &e)) {
            n = -1;
            break;
        }
        int64_t m = static_cast<int64_t>(e) + (run <= tab->max_run ? tab->level_base[run] : 1);
        while (m > tab->switch_limit) tab++;
        k = tab->golomb_order;
        // Levels are 16-bit: larger escapes keep their low 16 bits.
        const int64_t level = (c & 1) ? -m : m;
        pairs[n++] = {static_cast<uint16_t>(run), static_cast<int16_t>(static_cast<uint16_t>(level))};
    }
    reader->index = local.index;
    return n;
}

// Reads the list of block `b` into the record: 0 or -8.
template <int MaxPairs>
int parse_block(SvacBitReader *br, const SvacVlc2dTable *family, int escape_order, SvacMbResidual &res,
                int b) {
    const int n = read_pairs<MaxPairs>(br, family, escape_order, res.pairs[b]);
    if (n < 0) return SVAC_ERR_BITSTREAM;
    res.count[b] = static_cast<int16_t>(n);
    return 0;
}

int parse_chroma_blocks(SvacDecoder *dec, SvacMacroblock *mb) {
    for (int k = 0; k < dec->cur_sps->chroma_format_idc; k++)
        for (int p = 0; p < 2; p++)
            if ((mb->cbp >> (4 + 2 * k + p)) & 1)
                if (parse_block<65>(&dec->br, chroma_dec, 0, mb->residual, kResidualChroma + 2 * k + p))
                    return SVAC_ERR_BITSTREAM;
    return 0;
}

}  // namespace

int parse_residual_intra(SvacDecoder *dec, int32_t intra_type) {
    if (dec->cur_pps->entropy_coding_flag) return parse_residual_cabac(dec, intra_type);
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    if (intra_type >= 1) {
        for (int k = 0; k < 4; k++)
            if ((mb->cbp >> k) & 1)
                if (parse_block<65>(&dec->br, intra_dec, 1, mb->residual, k)) return SVAC_ERR_BITSTREAM;
    } else {
        // 4x4 escapes always carry their magnitude with order 1.
        for (int k = 0; k < 16; k++)
            if ((mb->cbp_4x4[k / 4] >> (k % 4)) & 1)
                if (parse_block<17>(&dec->br, intra_dec, 1, mb->residual, k)) return SVAC_ERR_BITSTREAM;
    }
    return parse_chroma_blocks(dec, mb);
}

int parse_residual_inter(SvacDecoder *dec) {
    if (dec->cur_pps->entropy_coding_flag) return parse_residual_cabac(dec, -1);
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    for (int k = 0; k < 4; k++)
        if ((mb->cbp >> k) & 1)
            if (parse_block<65>(&dec->br, inter_dec, 0, mb->residual, k)) return SVAC_ERR_BITSTREAM;
    return parse_chroma_blocks(dec, mb);
}

int32_t VQ_SVACDEC_get_cbp_and_qp(SvacDecoder *dec, int32_t intra_type) {
    SvacBitReader *br = &dec->br;
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int32_t code = intra_type >= 1 ? intra_type - 1 : svac_br_read_ue(br);
    const bool is422 = dec->cur_sps->chroma_format_idc == 2;
    // In 4:2:2 every code indexes the 16-row pattern table; codes it cannot
    // hold are refused like an illegal cbp code.
    auto illegal = [](int32_t c) {
        std::printf("illegal intra cbp code%d\n", c);
        return SVAC_ERR_INVALID;
    };
    if (code < 0 || code > 63 || (is422 && code > 15)) return illegal(code);
    if (is422) {
        const int32_t c2 = svac_br_read_ue(br);
        if (c2 < 0 || c2 > 15) return illegal(c2);
        mb->cbp = cbp_tab_4x4[code][0] | (cbp_tab_4x4[c2][0] << 4);
    } else {
        mb->cbp = cbp_tab[code][0];
    }
    if (intra_type == 0) {
        for (int i = 0; i < 4; i++) {
            if (!(mb->cbp & (1 << i))) continue;
            const int32_t s = svac_br_read_ue(br);
            if (s < 0 || s > 15) return illegal(s);
            mb->cbp_4x4[i] = cbp_tab_4x4[s][0];
        }
    }
    if (mb->cbp && !dec->fixed_qp_flag) dec->qp = svac_wrap_qp(dec->qp, svac_br_read_se(br));
    return 0;
}

int decode_cbp_qp_inter(SvacDecoder *dec) {
    if (dec->cur_pps->entropy_coding_flag) return decode_cbp_qp_inter_cabac(dec);
    SvacBitReader *br = &dec->br;
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int32_t code = svac_br_read_ue(br);
    const bool is422 = dec->cur_sps->chroma_format_idc == 2;
    auto illegal = [](int32_t c) {
        std::printf("illegal inter cbp %d\n", c);
        return SVAC_ERR_BITSTREAM;
    };
    if (code < 0 || code > 63 || (is422 && code > 15)) return illegal(code);
    if (is422) {
        const int32_t c2 = svac_br_read_ue(br);
        if (c2 < 0 || c2 > 15) return illegal(c2);
        mb->cbp = cbp_tab_4x4[code][1] | (cbp_tab_4x4[c2][1] << 4);
    } else {
        mb->cbp = cbp_tab[code][1];
    }
    if (mb->cbp && !dec->fixed_qp_flag) dec->qp = svac_wrap_qp(dec->qp, svac_br_read_se(br));
    return 0;
}
