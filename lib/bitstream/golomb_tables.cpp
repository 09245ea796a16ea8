#include "bitstream/golomb_tables.h"

namespace g = svac::golomb;

extern "C" {
const std::array<uint8_t, 512> golomb_vlc_len = g::kLen;
const std::array<uint8_t, 512> ue_golomb_vlc_code = g::kUe;
const std::array<int8_t, 512> se_golomb_vlc_code = g::kSe;
const std::array<uint8_t, 256> log2_tab = g::kLog2;
const std::array<uint8_t, 256> ue_golomb_len = g::kUeLen;
}
