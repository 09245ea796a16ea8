// Units around the slices: parameter sets, the security set, extension
// data and unit types that decoders skip, and the NAL packing of a payload.
#pragma once

#include <cstdint>
#include <vector>

#include "bitwriter.h"
#include "encoder.h"

namespace svacenc {

// Ends the payload in `bw` and appends it as one NAL unit. `rng`: random
// header extras; `key`: the payload is enciphered (header bits are drawn the
// same way, so a seed gives the same pictures with or without encryption).
void put_nal(std::vector<uint8_t> &stream, int type, BitWriter &bw, Rng *rng, const CipherKey *key = nullptr);

// Parameter sets sent before a picture: always before the first one; in
// random mode now and then a new picture set (and rarely a new sequence set
// with the same geometry) so that per-picture QP and filter settings vary.
void send_parameter_sets(Encoder &enc, std::vector<uint8_t> &stream);

// Units that change no picture: extension data (time stamps, regions,
// opaque records, alerts) and unit types that decoders skip.
void send_side_units(Rng &rng, std::vector<uint8_t> &stream);

}  // namespace svacenc
