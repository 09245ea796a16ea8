// Reconstruction of an intra macroblock exactly as a decoder forms it: each
// block predicted from the unfiltered samples around it, then its residual
// added, before the next block is predicted; then the deblocking filter.
#pragma once

#include "frame.h"
#include "intra_modes.h"
#include "macroblock.h"
#include "recon/mv.h"

namespace svacenc {

// Kernel tables must be filled (init_kernels) before any of this runs.
void init_kernels(uint32_t cpu_flags);

// Predicts and reconstructs the macroblock in `unf` (unfiltered picture)
// at quantiser `qp` (after the macroblock's delta).
template <class Pixel>
void reconstruct_intra_mb(Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, const MbDecision &d, int qp,
                          int scan = 0);

// Prediction of one block into `dst` (picture memory or a scratch block with
// the given stride in bytes). mode is the mode after edge replacement.
template <class Pixel>
void predict_luma_8x8(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int blk, int mode,
                      uint8_t *dst, int stride);
template <class Pixel>
void predict_luma_4x4(const Frame &unf, int mb_x, int mb_y, const MbNeighbours &nb, int k, int mode,
                      uint8_t *dst, int stride);
template <class Pixel>
void predict_chroma(const Frame &unf, int plane, int mb_x, int mb_y, const MbNeighbours &nb, int row,
                    int mode, uint8_t *dst, int stride);

// Adds the residual of one block's pairs at dst (dequantiser and inverse
// transform of the shared kernels). scan: 0 frame pictures, 1 field pictures.
void add_residual(uint8_t *dst, int stride, int bit_depth, const BlockPairs &b, int qp, bool is4x4,
                  int scan = 0);

// What the deblocking filter needs to know of a macroblock.
struct MbFilterInfo {
    int qp = 0;
    int cbp = 0;
    int type = 0;  // 0 intra with 4x4 transform, 1 intra with 8x8 transform, 2..6 P, 7..30 B types
};

struct LoopFilterSettings {
    bool disable = false;
    int alpha_offset = 0;
    int beta_offset = 0;
};

// Deblocks the macroblock in the filtered picture `out`. `mv_cache` holds
// the 12 list-0 motion entries of an inter macroblock (nullptr: intra),
// `mv_cache1` the list-1 entries of a B macroblock.
void deblock_mb(Frame &out, int mb_x, int mb_y, const MbNeighbours &nb, const MbFilterInfo &cur,
                const MbFilterInfo &left, const MbFilterInfo &top, const LoopFilterSettings &lf,
                const SvacMvEntry *mv_cache = nullptr, const SvacMvEntry *mv_cache1 = nullptr);

}  // namespace svacenc
