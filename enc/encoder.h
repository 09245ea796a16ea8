// The stream generator: turns decisions (seeded random ones, or cost-based
// ones for real input) into parameter sets, slices and macroblocks, and keeps
// the reconstruction every conforming decoder must produce.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cabac_mb.h"
#include "frame.h"
#include "headers.h"
#include "inter_mb.h"
#include "intra_modes.h"
#include "mb_recon.h"
#include "path_stats.h"
#include "regions.h"
#include "rng.h"
#include "security_writer.h"

namespace svacenc {

// A decoder reads a long Exp-Golomb code from one 32-bit window at its
// first byte, so codes of 27 bits or more (values from 8191) that start late
// in a byte lose their low bits. The generator never writes them: slices
// start below this address and skip runs stop at it.
inline constexpr int kLongCode = 8191;

enum class EncMode { Random, Real };

struct EncoderOptions {
    EncMode mode = EncMode::Random;
    uint64_t seed = 1;
    int width = 176;  // picture size as given; coded size rounds up to macroblocks
    int height = 144;
    int chroma_format_idc = 1;
    int bit_depth = 8;
    std::string gop = "I";  // picture types in display order, repeated (I, P, B)
    bool field = false;     // every picture is a field (top and bottom alternate)
    int slices = 0;         // slices per picture; 0: random mode varies it, real mode uses 1
    int qp = -1;            // picture quantiser; -1: random mode varies it, real mode uses 32
    bool fixed_qp = false;  // picture parameter sets fix QP for every macroblock
    bool lf_disable = false;
    bool lf_offsets_set = false;
    int lf_alpha_offset = 0;
    int lf_beta_offset = 0;
    uint32_t cpu_flags = 0;  // kernels used for the reconstruction (0: portable)
    bool cabac = false;      // arithmetic-coded slices
    bool encrypt = false;    // slices enciphered with `key`, announced by a security set
    CipherKey key;
    bool svc = false;                 // two layers: the base at half the size, the enhancement at the size
    bool svc_no_inter_layer = false;  // enhancement macroblocks never predict from the base picture
    // Regions of interest: `roi_rects`, or random ones for every picture set.
    bool roi = false;
    bool roi_random = false;
    std::vector<RegionRect> roi_rects;
    int roi_qp = -1;        // -1: random mode varies it, real mode uses the picture's
    bool roi_skip = false;  // P macroblocks outside every region carry no data (random mode may set it)
};

// A decoder misreads long codes, so a region's last macroblock stays below
// kLongCode - 1 in each layer; every pass then starts below kLongCode too.
bool region_codes_short(const RegionRect &r, int base_mb_width, bool svc);

// Checks the options; false with a one-line reason.
bool validate_options(const EncoderOptions &opt, std::string *error);

// Height a decoder reports for a coded size (1088-line pictures show 1080, ...).
int reported_height(int coded_width, int coded_height);
// The same for a picture drained at the end of the stream, where only
// 1088-line pictures, and 736-line ones of single-layer streams, lose rows.
int drained_height(int coded_width, int coded_height, bool svc);

struct Encoder {
    EncoderOptions opt;
    Rng rng;
    int mb_width = 0, mb_height = 0;
    SeqParams sps;
    PicParams pps;
    int pictures = 0;  // pictures coded so far
    int received = 0;  // pictures handed in so far (display index of the next)
    int lf_alpha = 0;  // deblocking offsets as a decoder keeps them across slices
    int lf_beta = 0;
    Frame unfiltered;  // reconstruction before deblocking (intra prediction source)
    Frame recon;       // deblocked reconstruction: the decoder's output
    std::vector<MbFilterInfo> mb_info;
    std::vector<ModeEdge> mb_edges;
    std::vector<SvacMvEntry> mvs;   // four list-0 entries per macroblock of the current picture
    std::vector<SvacMvEntry> mvs1;  // the list-1 entries (B pictures)
    Frame refs[2];                  // [0] newest reference picture, [1] the one before
    int ref_count = 0;              // references held (0..2)
    int ref_pic_num[2] = {0, 0};
    int ref_display[2] = {-1, -1};  // display index of each reference
    // Co-located data of the last I or P picture, read by direct prediction.
    std::vector<SvacMvEntry> col_mvs;
    std::vector<uint8_t> col_types;  // 0 intra, else the P type
    int32_t col_inv[2] = {0, 0};
    int dir_code[6] = {};  // B direction codes as a decoder keeps them across macroblocks
    // B pictures waiting for the next I or P picture (display index, source).
    std::vector<std::pair<int, Frame>> waiting;
    // The decoder's output choice: number and display index of the last
    // picture it handed out.
    int last_output_num = -1;
    int last_output_display = -1;
    std::vector<uint8_t> mc_scratch;
    Frame trial;        // real mode: a macroblock kept aside while another choice is tried
    PathStats stats;    // paths taken so far
    CabacWriter cabac;  // the arithmetic coder of the current CABAC slice
    std::vector<uint8_t> cabac_bits;
    CabacNeighbourState cabac_nb;
    // Scalable streams: this encoder codes the base layer and `enh` the
    // enhancement layer, which predicts from `base` (the base picture of the
    // same number) and reads its input from `source`; `half_source` is the
    // base layer's input in real mode.
    int layer = 0;
    std::unique_ptr<Encoder> enh;
    const Frame *base = nullptr;
    Frame half_source;
    RegionScan roi;                  // regions of the current picture and their scan state
    int slice_number = 0;            // slices counted as a decoder counts them
    std::vector<uint32_t> mb_flags;  // neighbour flags of each macroblock of the picture
};

// Prepares an encoder; validate_options must have accepted the options.
void encoder_init(Encoder &enc, const EncoderOptions &opt);

// Takes the next picture in display order and appends the NAL units of the
// pictures it lets code (a B picture waits for the I or P picture after it)
// to `stream`. `source` (coded size, the encoder's format) is required in
// real mode and ignored in random mode. Pictures a decoder hands out as these
// are decoded, in its order, are appended to `output`.
void encode_picture(Encoder &enc, const Frame *source, std::vector<uint8_t> &stream,
                    std::vector<Frame> &output);

// Ends the stream: B pictures still waiting are coded as P pictures, then
// `output` receives what a decoder drains from its references.
void encode_finish(Encoder &enc, std::vector<uint8_t> &stream, std::vector<Frame> &output);

}  // namespace svacenc
