// Motion of B macroblocks as a decoder derives it: the types and sub-types,
// the direct derivation from the co-located block of the backward reference,
// the symmetric derivation of backward vectors, and the order in which
// reference indices and vector differences appear in the syntax.
#pragma once

#include <cstdint>
#include <functional>

#include "inter_mb.h"
#include "recon/mv.h"

namespace svacenc {

// Internal types of B pictures: 11..28 are the two-partition types.
enum BType : int { BDIRECT = 7, BFWD = 8, BBWD = 9, BSYM = 10, B8X8 = 29, BSKIP = 30 };
enum BSubType : int { SUB_DIRECT = 0, SUB_FWD = 1, SUB_BWD = 2, SUB_SYM = 3 };

// Partition shape and directions of each internal type: bits 6-7 the shape
// (1 16x8, 2 8x16), bits 0/1 partition 0/1 forward, 2/3 backward, 4/5 symmetric.
// clang-format off
inline constexpr uint8_t kBTypeFlags[31] = {
    0, 0, 0, 0x40, 0x80, 0xC0, 0,
    0xC0, 0, 0, 0,
    0x43, 0x83, 0x4C, 0x8C, 0x49, 0x89, 0x46, 0x86, 0x63, 0xA3,
    0x66, 0xA6, 0x53, 0x93, 0x59, 0x99, 0x73, 0xB3,
    0xC0, 0xC0};
// clang-format on

// Picture-level values of a B picture: index 0 is the backward reference
// (the newest picture), 1 the forward one.
struct BPicture {
    InterPicture pic;         // ref_dist {db, df}, inv_dist {512 / db, 512 / df}
    int sym_scale = 0;        // db * (512 / df)
    int32_t col_inv[2] = {};  // 16384 / distance, of the co-located picture
};

// The co-located macroblock: its type (0 intra) and four list-0 entries.
struct Colocated {
    int type = 0;
    const SvacMvEntry *mv = nullptr;
};

// The syntax a B macroblock's motion produces, in bitstream order.
struct BMotionSyntax {
    int refs = 0;                       // reference indices (field pictures), discarded by decoders
    int ref_pos[4] = {};                // cache position naming the index's context
    bool ref_a[4] = {}, ref_b[4] = {};  // left / upper entry holds an index above 0
    int mvds = 0;
    int mvd[8][2] = {};
    int left_abs[8][2] = {};  // |difference| the CABAC context reads (0 when not used)
};

struct BDecision {
    int type = BSKIP;
    int sub[4] = {};
    int ref_val[4] = {};  // the discarded reference indices of field pictures
    BMotionSyntax syn;
    InterDecision res;  // cbp, quantiser delta and coefficients
};

// Chooses the vector of a coded partition: (list, first cache entry of the
// partition in its list's 12-entry layout, predicted x, y, out x, out y).
using BChoice = std::function<void(int, int, int, int, int &, int &)>;

// Runs the motion derivation of a B macroblock of internal type `type`
// (sub-types in `sub` for B8X8) over `cache` (24 entries, neighbours loaded,
// own entries at the direct placeholder) and `dir_code` (the six direction
// codes a decoder keeps across macroblocks), storing every final entry and
// the syntax the decoder reads.
void derive_b_motion(SvacMvEntry cache[24], int dir_code[6], const BPicture &bp, const Colocated &col,
                     int type, const int sub[4], bool ref_syntax, const BChoice &choose, BMotionSyntax &out);

}  // namespace svacenc
