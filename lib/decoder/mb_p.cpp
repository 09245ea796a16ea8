// P macroblocks: reference indices, vector differences, cbp, quantiser and
// coefficients are parsed into the record; the vectors are predicted, then
// the macroblock is reconstructed from the record.
#include <cstring>

#include "cabac/elements.h"
#include "decoder/decoder.h"
#include "decoder/mb.h"
#include "decoder/residual.h"
#include "decoder/stepping.h"
#include "recon/inter_recon.h"
#include "recon/mv_pred.h"
#include "recon/residual_add.h"

namespace {

struct MvCall {
    int8_t block, c_index, pref, shape;
};

struct PLayout {
    int8_t refs;  // reference indices read, at entries 5, 9 (16x8), 5, 6 (8x16) ...
    int8_t ref_entry[4];
    int8_t calls;
    MvCall call[4];
};

// Indexed by internal type - 2.
// clang-format off
constexpr PLayout kLayouts[5] = {
    {1, {5}, 1, {{5, 3, PREF_NONE, SHAPE_16X16}}},
    {2, {5, 9}, 2, {{5, 3, PREF_B, SHAPE_16X8}, {9, 4, PREF_A, SHAPE_16X8}}},
    {2, {5, 6}, 2, {{5, 2, PREF_A, SHAPE_8X16}, {6, 3, PREF_C, SHAPE_8X16}}},
    {4, {5, 6, 9, 10}, 4,
     {{5, 2, PREF_NONE, SHAPE_8X8}, {6, 3, PREF_NONE, SHAPE_8X8}, {9, 6, PREF_NONE, SHAPE_8X8},
      {10, 5, PREF_NONE, SHAPE_8X8}}},
    {0, {}, 1, {{5, 3, PREF_NO_MVD, SHAPE_16X16}}},
};
// clang-format on

// A two-bit index of a field P picture may carry 2 or 3, for which no
// reference exists: refused at once, as motion compensation would.
int32_t read_ref_idx(SvacDecoder *dec, int entry) {
    if (dec->single_ref_flag) return 0;
    if (dec->cur_pps->entropy_coding_flag)
        return static_cast<int32_t>(
            cabac_decode_mb_reference_index(&dec->cabac, &svac_cur_layer(dec).mb, entry));
    if (dec->field_parity >= 0 && dec->pic_type != PIC_B) return svac_br_read(&dec->br, 2);
    return svac_br_read1(&dec->br);
}

}  // namespace

int decode_mb_p(SvacDecoder *dec, int32_t type) {
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    VQ_SVACDEC_svac_init_mb(dec);
    const PLayout &layout = kLayouts[type - P_16X16];
    int32_t refs[4] = {0, 0, 0, 0};
    for (int i = 0; i < layout.refs; i++) {
        refs[i] = read_ref_idx(dec, layout.ref_entry[i]);
        mb->mv_cache[0][layout.ref_entry[i]].ref_idx = static_cast<int16_t>(refs[i]);
        if (refs[i] > 1) return SVAC_ERR_INVALID;
    }
    if (type == P_SKIP) {
        mb->left_type_code = P_SKIP;
        mb->top_type_code[mb->mb_x] = P_SKIP;
        dec->cabac.last_qp_delta = 0;
    }
    const bool cabac = dec->cur_pps->entropy_coding_flag;
    SvacMvEntry *cache = &mb->mv_cache[0][0];
    for (int i = 0; i < layout.calls; i++) {
        const MvCall &c = layout.call[i];
        SvacMvEntry &cur = cache[c.block];
        int32_t mvd_x = 0, mvd_y = 0;
        if (c.pref < PREF_NO_MVD && cabac) {
            // The left neighbour's differences choose the contexts.
            mvd_x = cabac_decode_mv_diff(&dec->cabac, 0, cache[c.block - 1].mvd_x);
            mvd_y = cabac_decode_mv_diff(&dec->cabac, 1, cache[c.block - 1].mvd_y);
        } else if (c.pref < PREF_NO_MVD) {
            mvd_x = svac_br_read_se(&dec->br);
            mvd_y = svac_br_read_se(&dec->br);
        }
        svac_set_mv_entry(
            cur, {cur.mv_x, cur.mv_y, static_cast<int16_t>(dec->ref_dist_tab[refs[i]]),
                  static_cast<int16_t>(refs[i]), static_cast<int16_t>(mvd_x), static_cast<int16_t>(mvd_y)});
    }
    for (int i = 0; i < layout.calls; i++) {
        const MvCall &c = layout.call[i];
        VQ_SVACDEC_svac_mv(mb, c.block, c.c_index, c.pref, c.shape, dec->ref_inv_dist_tab);
    }
    if (!svac_inter_refs_usable(dec->recon_ctx, mb, type)) return SVAC_ERR_INVALID;
    set_intra_mode_default(dec);

    // The own blocks are two pairs of neighbouring cache entries (5, 6 and 9, 10).
    SvacMvEntry *map = mb->mv_map + 4 * mb->mb_addr;
    std::memcpy(map, &mb->mv_cache[0][5], 2 * sizeof *map);
    std::memcpy(map + 2, &mb->mv_cache[0][9], 2 * sizeof *map);

    if (type != P_SKIP) {
        if (int r = decode_cbp_qp_inter(dec); r < 0) return r;
        if (int r = parse_residual_inter(dec); r < 0) return r;
    }
    mb->qp = dec->qp;

    VQ_SVACDEC_svac_inter(dec->recon_ctx, mb, type);
    svac_add_inter_residual(dec->recon_ctx, mb);
    svac_finish_mb(dec, type);
    mb->mb_type_map[mb->mb_addr] = static_cast<uint8_t>(type);
    return 0;
}
