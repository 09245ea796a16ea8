// B macroblocks: the vectors of each partition are read and derived in
// order (forward, backward, symmetric, direct), so that the differences of
// later partitions see the direction codes and differences of earlier ones;
// then the macroblock is reconstructed from the record as in P pictures.
#include <cstdio>
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

enum : int32_t { B_FWD_16X16 = 8, B_BWD_16X16 = 9, B_SYM_16X16 = 10 };
enum : int { DIR_DIRECT = -1, DIR_FWD = 0, DIR_BWD = 1, DIR_SYM = 2 };
enum : uint32_t { SUB_DIRECT = 0, SUB_FWD = 1, SUB_BWD = 2, SUB_SYM = 3 };

// List 1 sits MV_CACHE_SIZE entries after list 0 in the cache.
constexpr int kL1 = MV_CACHE_SIZE;

struct BMb {
    SvacDecoder *dec;
    SvacMacroblock *mb;
    SvacMvEntry *cache;  // both lists as one array of 24 entries
    bool cabac;
};

// The left neighbour's difference chooses the context only when both
// partitions predict in a compatible direction (forward or symmetric on
// both sides, or backward on both).
int32_t context_mvd(const BMb &b, int block, int component) {
    const SvacMacroblock *mb = b.mb;
    const int cur = mb->dir_code[mb->cur_dir_index], prev = mb->dir_code[mb->cur_dir_index - 1];
    const bool l0_like = (cur == DIR_FWD || cur == DIR_SYM) && (prev == DIR_FWD || prev == DIR_SYM);
    if (!l0_like && !(cur == DIR_BWD && prev == DIR_BWD)) return 0;
    return component ? b.cache[block - 1].mvd_y : b.cache[block - 1].mvd_x;
}

// Predicts the partition at `block` with reference `ref_idx`, reading its
// vector difference unless pref says none follows.
void predict(const BMb &b, int block, int c_index, int pref, int shape, int ref_idx) {
    SvacMvEntry &cur = b.cache[block];
    int32_t mvd_x = 0, mvd_y = 0;
    if (pref < PREF_NO_MVD && b.cabac) {
        mvd_x = cabac_decode_mv_diff(&b.dec->cabac, 0, context_mvd(b, block, 0));
        mvd_y = cabac_decode_mv_diff(&b.dec->cabac, 1, context_mvd(b, block, 1));
    } else if (pref < PREF_NO_MVD) {
        mvd_x = svac_br_read_se(&b.dec->br);
        mvd_y = svac_br_read_se(&b.dec->br);
    }
    // One store of the whole entry: the predictor reads it back at once.
    svac_set_mv_entry(
        cur, {cur.mv_x, cur.mv_y, static_cast<int16_t>(b.dec->ref_dist_tab[ref_idx]),
              static_cast<int16_t>(ref_idx), static_cast<int16_t>(mvd_x), static_cast<int16_t>(mvd_y)});
    VQ_SVACDEC_svac_mv(b.mb, block, c_index, pref, shape, b.dec->ref_inv_dist_tab);
}

// The list-1 entry of `block` mirrored from its list-0 entry, over the
// partition's blocks.
void symmetric(const BMb &b, int block, int shape) {
    b.cache[block + kL1] = svac_symmetric_mv(b.cache[block], b.dec->sym_scale, b.dec->ref_dist_tab[0]);
    svac_copy_partition(b.cache, block + kL1, shape);
}

// Both lists of 8x8 block k from the co-located block of the backward
// reference.
void direct(const BMb &b, int k) {
    const SvacMvEntry &col = b.mb->mv_map[4 * b.mb->mb_addr + k];
    const int32_t s = b.dec->col_inv_dist_tab[col.ref_idx == 1 ? 1 : 0];
    const int e = kMvOwnBlocks[k];
    svac_direct_mv(col, s, b.dec->ref_dist_tab[1], b.dec->ref_dist_tab[0], b.cache[e], b.cache[e + kL1]);
}

// Both lists predicted from the macroblock's outer neighbours (the
// co-located macroblock is intra).
void spatial(const BMb &b, int shape) {
    predict(b, 5, 3, PREF_NO_MVD + 1, shape, 1);
    predict(b, 5 + kL1, 3 + kL1, PREF_NO_MVD + 1, shape, 0);
}

bool colocated_inter(const BMb &b) { return b.mb->mb_type_map[b.mb->mb_addr] != 0; }

void set_dir(SvacMacroblock *mb, int g0, int g1, int code) {
    mb->cur_dir_index = g0;
    mb->dir_code[g0] = mb->dir_code[g1] = code;
}

// Reference indices of field pictures: read and discarded, the direction
// fixes the reference.
bool refs_present(const SvacDecoder *dec) { return !dec->single_ref_flag && dec->field_parity >= 0; }

void skip_ref(const BMb &b, int pos) {
    if (b.cabac)
        cabac_decode_mb_reference_index(&b.dec->cabac, b.mb, pos, true);
    else
        svac_br_read1(&b.dec->br);
}

// Whether the four co-located entries give one derivation: vector and
// reference are all it reads.
bool uniform_colocated(const SvacMvEntry *col) {
    uint64_t head[4];
    for (int k = 0; k < 4; k++) std::memcpy(&head[k], &col[k], sizeof head[k]);
    return head[0] == head[1] && head[0] == head[2] && head[0] == head[3];
}

void direct_16x16(const BMb &b) {
    for (int g : {1, 2, 4, 5}) b.mb->dir_code[g] = DIR_DIRECT;
    if (!colocated_inter(b)) {
        spatial(b, SHAPE_16X16);
        return;
    }
    // The own blocks' differences are all zero here, so whole entries copy.
    if (uniform_colocated(b.mb->mv_map + 4 * b.mb->mb_addr)) {
        direct(b, 0);
        svac_copy_partition(b.cache, 5, SHAPE_16X16);
        svac_copy_partition(b.cache, 5 + kL1, SHAPE_16X16);
        return;
    }
    for (int k = 0; k < 4; k++) direct(b, k);
}

void one_partition(const BMb &b, int32_t type) {
    const int dir = type == B_FWD_16X16 ? DIR_FWD : type == B_BWD_16X16 ? DIR_BWD : DIR_SYM;
    const int block = dir == DIR_BWD ? 5 + kL1 : 5;
    if (refs_present(b.dec)) skip_ref(b, block);
    b.mb->cur_dir_index = 1;
    for (int g : {1, 2, 4, 5}) b.mb->dir_code[g] = dir;
    predict(b, block, dir == DIR_BWD ? 3 + kL1 : 3, PREF_NONE, SHAPE_16X16, dir == DIR_BWD ? 0 : 1);
    if (dir == DIR_SYM) symmetric(b, 5, SHAPE_16X16);
}

// One step of a two-partition type: `bit` of svac_partition_flags, the
// partition, and for vector steps the neighbour C and the preference.
struct PartStep {
    uint8_t bit;
    uint8_t part;
    int8_t block, c_index, pref;
};

// clang-format off
constexpr PartStep kSteps16x8[6] = {
    {0, 0, 5, 3, PREF_B}, {4, 0, 5, 0, 0}, {1, 1, 9, 4, PREF_A}, {5, 1, 9, 0, 0},
    {2, 0, 17, 15, PREF_B}, {3, 1, 21, 16, PREF_A},
};
constexpr PartStep kSteps8x16[6] = {
    {0, 0, 5, 2, PREF_A}, {4, 0, 5, 0, 0}, {1, 1, 6, 3, PREF_C}, {5, 1, 6, 0, 0},
    {2, 0, 17, 14, PREF_A}, {3, 1, 18, 15, PREF_C},
};
// clang-format on

void two_partitions(const BMb &b, int32_t type) {
    const uint8_t flags = svac_partition_flags[type];
    const bool rows = (flags >> 6) == SHAPE_16X8;
    const PartStep *steps = rows ? kSteps16x8 : kSteps8x16;
    const int shape = rows ? SHAPE_16X8 : SHAPE_8X16;
    // Direction-code grid entries of each partition.
    static constexpr int kGrid[2][2][2] = {{{1, 4}, {2, 5}}, {{1, 2}, {4, 5}}};
    const int(*grid)[2] = kGrid[rows];
    if (refs_present(b.dec))
        for (const PartStep &s : {steps[0], steps[2], steps[4], steps[5]})
            if (flags & (1u << s.bit)) skip_ref(b, s.block);
    for (int i = 0; i < 6; i++) {
        const PartStep &s = steps[i];
        if (!(flags & (1u << s.bit))) continue;
        const int g0 = grid[s.part][0], g1 = grid[s.part][1];
        if (s.bit >= 4) {
            set_dir(b.mb, g0, g1, DIR_SYM);
            symmetric(b, s.block, shape);
        } else {
            const bool l1 = s.bit >= 2;
            set_dir(b.mb, g0, g1, l1 ? DIR_BWD : DIR_FWD);
            predict(b, s.block, s.c_index, s.pref, shape, l1 ? 0 : 1);
        }
    }
}

void eight_by_eight(const BMb &b) {
    SvacMacroblock *mb = b.mb;
    static constexpr int kC[4] = {2, 3, 6, 7};
    static constexpr int kGrid[4] = {1, 2, 4, 5};
    uint32_t sub[4];
    for (uint32_t &s : sub)
        s = b.cabac ? cabac_decode_mb_part_type(&b.dec->cabac) : svac_br_read(&b.dec->br, 2);
    if (refs_present(b.dec)) {
        for (int k = 0; k < 4; k++)
            if (sub[k] == SUB_FWD || sub[k] == SUB_SYM) skip_ref(b, kMvOwnBlocks[k]);
        for (int k = 0; k < 4; k++)
            if (sub[k] == SUB_BWD) skip_ref(b, kMvOwnBlocks[k]);
    }
    int spatial_at = -1;  // where the spatial prediction was first stored
    for (int k = 0; k < 4; k++) {
        const int e = kMvOwnBlocks[k], g = kGrid[k];
        if (sub[k] == SUB_DIRECT) {
            mb->dir_code[g] = DIR_DIRECT;
            if (colocated_inter(b)) {
                direct(b, k);
            } else if (spatial_at >= 0) {
                b.cache[e] = b.cache[spatial_at];
                b.cache[e + kL1] = b.cache[spatial_at + kL1];
            } else {
                // Made at block 0's entries, from the outer neighbours.
                const SvacMvEntry keep0 = b.cache[5], keep1 = b.cache[5 + kL1];
                spatial(b, SHAPE_8X8);
                b.cache[e] = b.cache[5];
                b.cache[e + kL1] = b.cache[5 + kL1];
                if (e != 5) {
                    b.cache[5] = keep0;
                    b.cache[5 + kL1] = keep1;
                }
                spatial_at = e;
            }
        } else if (sub[k] == SUB_FWD || sub[k] == SUB_SYM) {
            const bool sym = sub[k] == SUB_SYM;
            set_dir(mb, g, g, sym ? DIR_SYM : DIR_FWD);
            predict(b, e, kC[k], PREF_NONE, SHAPE_8X8, 1);
            if (sym)
                b.cache[e + kL1] = svac_symmetric_mv(b.cache[e], b.dec->sym_scale, b.dec->ref_dist_tab[0]);
        }
    }
    for (int k = 0; k < 4; k++) {
        if (sub[k] != SUB_BWD) continue;
        set_dir(mb, kGrid[k], kGrid[k], DIR_BWD);
        predict(b, kMvOwnBlocks[k] + kL1, kC[k] + kL1, PREF_NONE, SHAPE_8X8, 0);
    }
}

}  // namespace

int decode_mb_b(SvacDecoder *dec, int32_t type) {
    if (type < B_DIRECT_16X16) {
        std::printf("Invalid mb_type %d in B frame\n", type);
        return SVAC_ERR_INVALID;
    }
    if (type > B_SKIP) {
        std::printf("%s failed at %s:%d.\n", "mb_type < B_8X8", "../../../../lib/decoder", 2252);
        return SVAC_ERR_GOLOMB;
    }
    SvacMacroblock *mb = &svac_cur_layer(dec).mb;
    VQ_SVACDEC_svac_init_mb(dec);
    const BMb b{dec, mb, &mb->mv_cache[0][0], dec->cur_pps->entropy_coding_flag != 0};
    for (int e : kMvOwnBlocks) b.cache[e] = b.cache[e + kL1] = svac_dir_mv;

    if (type == B_SKIP) {
        mb->left_type_code = B_SKIP;
        mb->top_type_code[mb->mb_x] = B_SKIP;
        dec->cabac.last_qp_delta = 0;
    }
    if (type == B_DIRECT_16X16 || type == B_SKIP)
        direct_16x16(b);
    else if (type <= B_SYM_16X16)
        one_partition(b, type);
    else if (type < B_8X8)
        two_partitions(b, type);
    else
        eight_by_eight(b);

    if (!svac_inter_refs_usable(dec->recon_ctx, mb, type)) return SVAC_ERR_INVALID;
    set_intra_mode_default(dec);
    if (type != B_SKIP) {
        if (int r = decode_cbp_qp_inter(dec); r < 0) return r;
        if (int r = parse_residual_inter(dec); r < 0) return r;
    }
    mb->qp = dec->qp;

    VQ_SVACDEC_svac_inter(dec->recon_ctx, mb, type);
    svac_add_inter_residual(dec->recon_ctx, mb);
    svac_finish_mb(dec, static_cast<uint32_t>(type));
    return 0;
}
