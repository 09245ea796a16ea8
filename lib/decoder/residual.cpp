#include "decoder/residual.h"

#include "decoder/decoder.h"
#include "decoder/vlc_tables.h"
#include "dsp/dct.h"
#include "dsp/qp_tables.h"
#include "dsp/quant.h"

namespace {

// k-th order Exp-Golomb number: false (the block fails) for a prefix that is
// too long or a number that does not fit a signed 32-bit value.
bool read_golomb_k(SvacBitReader *br, int k, int32_t *out) {
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

// Reads the pairs of one block; returns the count, or -1 on a bitstream error.
template <int MaxPairs>
int read_pairs(SvacBitReader *br, const SvacVlc2dTable *tab, int escape_order, SvacRunLevel *pairs) {
    constexpr int kMaxRun = MaxPairs - 1;  // 64 for 8x8, 16 for 4x4
    int n = 0;
    while (n < MaxPairs) {
        int32_t c;
        if (!read_golomb_k(br, tab->golomb_order, &c)) return -1;
        if (c < 59) {
            const SvacVlcCode &code = tab->codes[c];
            if (code.level == 0) break;
            pairs[n++] = {static_cast<uint16_t>(code.run), code.level};
            tab += code.table_step;
            continue;
        }
        const int run = ((c - 59) >> 1) + 1;
        if (run > kMaxRun) {
            std::printf("run %d is too large\n", run);
            return -1;
        }
        int32_t e;
        if (!read_golomb_k(br, escape_order, &e)) return -1;
        int64_t m = static_cast<int64_t>(e) + (run <= tab->max_run ? tab->level_base[run] : 1);
        while (m > tab->switch_limit) tab++;
        // Levels are 16-bit: larger escapes keep their low 16 bits.
        const int64_t level = (c & 1) ? -m : m;
        pairs[n++] = {static_cast<uint16_t>(run), static_cast<int16_t>(static_cast<uint16_t>(level))};
    }
    return n;
}

int bit_depth_index(const SvacDecoder *dec) { return dec->cur_sps->bit_depth_luma_minus8; }

}  // namespace

int decode_residual_block(SvacDecoder *dec, const SvacVlc2dTable *family, int escape_order, int qp,
                          uint8_t *dst, int stride) {
    SvacRunLevel pairs[65];
    const int n = read_pairs<65>(&dec->br, family, escape_order, pairs);
    if (n < 0) return SVAC_ERR_BITSTREAM;
    alignas(16) int32_t block[64];
    svac_dequant8(pairs, block, qp, n, dec->field_pic_flag ? 1 : 0);
    svac_idct8_add[bit_depth_index(dec)](dst, block, stride);
    return 0;
}

int decode_residual_block_4x4(SvacDecoder *dec, const SvacVlc2dTable *family, int, int qp,
                              uint8_t *dst, int stride) {
    SvacRunLevel pairs[17];
    // 4x4 escapes always carry their magnitude with order 1.
    const int n = read_pairs<17>(&dec->br, family, 1, pairs);
    if (n < 0) return SVAC_ERR_BITSTREAM;
    alignas(16) int32_t block[16];
    svac_dequant4(pairs, block, qp, n, dec->field_pic_flag ? 1 : 0);
    svac_idct4_add[bit_depth_index(dec)](dst, block, stride);
    return 0;
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

int decode_residual_inter(SvacDecoder *dec) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    const int sy = static_cast<int>(mb->stride_y), sc = static_cast<int>(mb->stride_c);
    for (int k = 0; k < 4; k++)
        if ((mb->cbp >> k) & 1)
            if (decode_residual_block(dec, inter_dec, 0, dec->qp, mb->dst_y + mb->blk_offset_8x8[k], sy))
                return SVAC_ERR_BITSTREAM;
    const int cqp = QP2_table[dec->qp];
    for (int k = 0; k < dec->cur_sps->chroma_format_idc; k++) {
        uint8_t *const planes[2] = {mb->dst_u + 8 * k * sc, mb->dst_v + 8 * k * sc};
        for (int p = 0; p < 2; p++)
            if ((mb->cbp >> (4 + 2 * k + p)) & 1)
                if (decode_residual_block(dec, chroma_dec, 0, cqp, planes[p], sc)) return SVAC_ERR_BITSTREAM;
    }
    return 0;
}
