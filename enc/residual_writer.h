// Writers of the VLC residual syntax: k-th order Exp-Golomb numbers, the
// two-dimensional VLC of one transform block, coded block patterns and the
// quantiser delta.
#pragma once

#include <cstdint>
#include <span>

#include "bitwriter.h"
#include "dsp/quant.h"
#include "vlc_tables.h"

namespace svacenc {

// Number v of order k: ue(v >> k), then the k low bits.
void put_golomb(BitWriter &bw, uint32_t value, int k);

// Pair limits per block: a block that holds this many pairs has no
// end-of-block code.
inline constexpr int kMaxPairs8x8 = 65;
inline constexpr int kMaxPairs4x4 = 17;
// Largest run of an escape code.
inline constexpr int kMaxRun8x8 = 64;
inline constexpr int kMaxRun4x4 = 16;

// One block's pairs in decoding order (highest frequency first, as the
// dequantiser consumes them from the end). Runs are 1..64 (1..16 for 4x4),
// levels non-zero. 4x4 blocks always use the intra family and escape order 1.
// Both return the number of escape codes written.
int write_block_8x8(BitWriter &bw, VlcFamily family, int escape_order, std::span<const SvacRunLevel> pairs);
int write_block_4x4(BitWriter &bw, std::span<const SvacRunLevel> pairs);

// True when every pair can be written (run range, non-zero level, count).
bool block_pairs_valid(std::span<const SvacRunLevel> pairs, bool is4x4);

// Code numbers of coded block patterns.
int intra_cbp_code(int cbp);  // 6-bit pattern (4:2:0 and 4:0:0), 0..63
int inter_cbp_code(int cbp);
int intra_cbp4_code(int pattern);  // 4-bit pattern, 0..15
int inter_cbp4_code(int pattern);
// The patterns behind the codes (for tests and decisions).
int intra_cbp_of_code(int code);
int intra_cbp4_of_code(int code);

}  // namespace svacenc
