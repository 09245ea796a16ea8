// Pieces shared by the P and B macroblock generators: random vectors and
// residuals, costs of real-mode choices, and the bookkeeping that ends every
// inter macroblock.
#pragma once

#include <cstdint>
#include <functional>

#include "encoder.h"

namespace svacenc {

// Bits a macroblock would cost in the current CABAC slice, coded on copies
// of the coder and the neighbour values.
template <class Write>
int64_t cabac_trial_bits(const Encoder &enc, Write write) {
    CabacWriter w = enc.cabac;
    w.out = nullptr;
    w.ctx_bins = nullptr;
    CabacNeighbourState s = enc.cabac_nb;
    write(w, s);
    return cabac_cost(w) - cabac_cost(enc.cabac);
}

// Random target vector component of a partition starting `origin` samples
// into a picture dimension of `size`: near the prediction, zero, anywhere
// nearby, or far outside the picture; any quarter phase.
int random_vector(Rng &rng, int pred, int origin, int size);

// Counts the vector of one predicted block (phase, reference area position).
void count_vector(PathStats &st, int mx, int my, int mb_x, int mb_y, int width, int height);

// Random cbp, quantiser delta and coefficients of a coded inter macroblock;
// returns the macroblock's quantiser.
int random_inter_residual(Rng &rng, InterDecision &d, int chroma_format_idc, bool cabac, bool qp_changes,
                          int qp);

// Luma SAD between the source macroblock and the prediction in `pred`.
int luma_sad(const Frame &src, const Frame &pred, int x0, int y0);

// Luma SAD against a whole-sample displacement of `ref` (edges replicated).
int sad_integer(const Frame &src, const Frame &ref, int x0, int y0, int dx, int dy);

// Real-mode vector of the macroblock (x, y) in `ref` with prediction
// (px, py): a whole-sample search around the prediction and the zero
// vector, then half and quarter refinement, costed by luma SAD plus vector
// bits. Uses the macroblock of enc.unfiltered as scratch; returns the cost.
template <class Pixel>
int search_vector(Encoder &enc, const Frame &source, const Frame &ref, int x, int y, int px, int py,
                  int lambda, int &mx, int &my);

// Real mode, a coded inter macroblock whose prediction stands in
// enc.unfiltered: quantises and adds its residual (into d), weighs it against
// the intra choice and a skip of distortion `skip_cost` by distortion plus
// bits, and writes the winner when it is the inter one (skip flag or run
// first). Otherwise the caller codes the winner.
enum class RealChoice { Inter, Intra, Skip };
using CabacMbWrite = std::function<void(CabacWriter &, CabacNeighbourState &, const CabacMbContext &)>;
using VlcMbWrite = std::function<void(BitWriter &)>;
template <class Pixel>
RealChoice code_real_inter(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                           const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top, int qp,
                           int &run, BitWriter &bw, InterDecision &d, const CabacMbWrite &write_cabac,
                           const VlcMbWrite &write_vlc, int64_t skip_cost = INT64_MAX);

// Appends the bits written into `src` (most significant first).
void append_bits(BitWriter &bw, const BitWriter &src);

// Bits of a signed Exp-Golomb number, the rate term of vector costs.
int se_bits(int v);

// Quantised residual (source minus prediction) of the whole macroblock at
// qp into d.cbp and the blocks.
void real_inter_residual(const Frame &src, const Frame &pred, int mb_x, int mb_y, int qp, int scan,
                         InterDecision &d);

// The bookkeeping of a finished inter macroblock: its vectors (`cache1`:
// the list-1 entries of a B macroblock), the mode edges later intra
// macroblocks see, its filter values, then the copy into the
// reconstruction and the deblocking there.
void finish_inter_mb(Encoder &enc, const Frame &unf, int addr, const MbNeighbours &nb, int qp, int type,
                     int cbp, const LoopFilterSettings &lf, const SvacMvEntry *cache,
                     const SvacMvEntry *cache1 = nullptr);

}  // namespace svacenc
