// Inter macroblocks of P pictures as the generator forms them: partitions,
// reference indices and vectors, the motion cache that vector prediction
// reads, motion compensated prediction and the syntax of the macroblock.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"
#include "frame.h"
#include "intra_modes.h"
#include "macroblock.h"
#include "recon/mv.h"

namespace svacenc {

// Internal macroblock types of P pictures.
enum PType : int { P16X16 = 2, P16X8 = 3, P8X16 = 4, P8X8 = 5, PSKIP = 6 };

struct InterDecision {
    int type = P16X16;
    int ref[4] = {0, 0, 0, 0};  // per partition
    int mv[4][2] = {};          // per partition, target vector in quarter samples
    int cbp = 0;                // bits 0..3 luma 8x8, 4.. chroma
    int qp_delta = 0;
    BlockPairs luma_blocks[4];
    BlockPairs chroma_blocks[4];
};

// Number of partitions of an internal P type.
int partition_count(int type);

// Picture-level values that vector prediction and the syntax need.
struct InterPicture {
    int ref_dist[2] = {2, 4};
    int32_t inv_dist[2] = {256, 128};
    bool single_ref = false;
    bool field = false;  // two-bit reference indices
};

// The 12 list-0 motion cache entries of a macroblock built from the
// stored entries of its neighbours (four per macroblock, raster 8x8 order).
void load_mv_cache(SvacMvEntry cache[12], const std::vector<SvacMvEntry> &mvs, int addr, int mb_width,
                   const MbNeighbours &nb);

// Runs the vector prediction of every partition in order, stores the
// final entries in `cache` and returns the differences to write (per
// partition). `choose` maps (partition, predicted x, predicted y) to the
// vector the partition takes; it is called once per partition.
template <class Choose>
void predict_partitions(SvacMvEntry cache[12], const InterPicture &pic, InterDecision &d, int mvd[4][2],
                        Choose choose);

// Writes mb_type (P slice numbering), reference indices, vector
// differences, cbp, QP delta and residual of a coded inter macroblock.
void write_inter_mb(BitWriter &bw, const InterPicture &pic, int chroma_format_idc, bool qp_changes,
                    const InterDecision &d, const int mvd[4][2]);

// The cbp, QP delta and residual part of a coded inter macroblock.
void write_inter_residual(BitWriter &bw, int chroma_format_idc, bool qp_changes, const InterDecision &d);

// Motion compensated prediction of the whole macroblock from `refs` into
// `cur` with the vectors of the cache entries 5, 6, 9, 10.
template <class Pixel>
void predict_inter_mb(const Frame *const refs[2], Frame &cur, int mb_x, int mb_y, int type,
                      const SvacMvEntry cache[12], std::vector<uint8_t> &scratch);

// Prediction of one block of n x n luma samples at (bx, by) with vector
// (mx, my) from `ref` into `cur` (and the matching chroma); `avg` averages it
// with the prediction already there (the second list of a bi-predicted block).
template <class Pixel>
void predict_block(const Frame &ref, Frame &cur, int bx, int by, int n, int mx, int my,
                   std::vector<uint8_t> &scratch, bool avg = false);

// Adds the inter residual (after prediction) at quantiser qp.
void add_inter_residual(Frame &cur, int mb_x, int mb_y, const InterDecision &d, int qp, int scan);

// ---- used by the template above ----

struct SvacMvPredicted {
    int x, y;
};

SvacMvPredicted predict_one(const SvacMvEntry cache[12], int block, int c_index, int pref, int ref_idx,
                            const InterPicture &pic);

struct PartitionCall {
    int block, c_index, pref, shape;
};
const PartitionCall *partition_calls(int type);
void store_partition(SvacMvEntry cache[12], int block, int shape, const SvacMvEntry &e);

template <class Choose>
void predict_partitions(SvacMvEntry cache[12], const InterPicture &pic, InterDecision &d, int mvd[4][2],
                        Choose choose) {
    const PartitionCall *calls = partition_calls(d.type);
    const int n = partition_count(d.type);
    for (int i = 0; i < n; i++) {
        const PartitionCall &c = calls[i];
        // The reference indices are all in place before any vector is predicted.
        cache[c.block].ref_idx = static_cast<int16_t>(d.ref[i]);
    }
    for (int i = 0; i < n; i++) {
        const PartitionCall &c = calls[i];
        const SvacMvPredicted p = predict_one(cache, c.block, c.c_index, c.pref, d.ref[i], pic);
        if (d.type == PSKIP) {
            d.mv[i][0] = p.x;
            d.mv[i][1] = p.y;
        } else {
            choose(i, p.x, p.y);
        }
        mvd[i][0] = d.mv[i][0] - p.x;
        mvd[i][1] = d.mv[i][1] - p.y;
        SvacMvEntry e{};
        e.mv_x = static_cast<int16_t>(d.mv[i][0]);
        e.mv_y = static_cast<int16_t>(d.mv[i][1]);
        e.ref_idx = static_cast<int16_t>(d.ref[i]);
        e.ref_dist = static_cast<int16_t>(pic.ref_dist[d.ref[i]]);
        e.mvd_x = static_cast<int16_t>(mvd[i][0]);
        e.mvd_y = static_cast<int16_t>(mvd[i][1]);
        store_partition(cache, c.block, c.shape, e);
    }
}

}  // namespace svacenc
