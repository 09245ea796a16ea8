#include "encoder.h"

#include <algorithm>

#include "dsp/qp_tables.h"
#include "forward.h"
#include "mb_writer.h"
#include "nal_writer.h"
#include "random_mb.h"
#include "real_mb.h"

namespace svacenc {

bool validate_options(const EncoderOptions &opt, std::string *error) {
    if (opt.width < 1 || opt.height < 1 || opt.width > 8192 || opt.height > 8192) {
        *error = "picture size must be between 1x1 and 8192x8192";
        return false;
    }
    if (opt.chroma_format_idc < 0 || opt.chroma_format_idc > 2) {
        *error = "chroma format must be 400, 420 or 422";
        return false;
    }
    if (opt.bit_depth != 8 && opt.bit_depth != 10) {
        *error = "bit depth must be 8 or 10";
        return false;
    }
    if (opt.gop.empty()) {
        *error = "the GOP pattern is empty";
        return false;
    }
    for (char c : opt.gop) {
        if (c == 'B') {
            *error = "B pictures are not supported yet (use --gop with I and P)";
            return false;
        }
        if (c != 'I' && c != 'P') {
            *error = std::string("unknown picture type '") + c + "' in the GOP pattern";
            return false;
        }
    }
    const int mbs = ((opt.width + 15) / 16) * ((opt.height + 15) / 16);
    if (opt.slices < 0 || opt.slices > mbs) {
        *error = "slice count must be between 1 and the number of macroblocks";
        return false;
    }
    if (opt.qp > 55 || opt.qp < -1) {
        *error = "qp must be between 0 and 55";
        return false;
    }
    const size_t key_len = opt.key.key.size();
    if (opt.encrypt && opt.key.type == CIPHER_DES && key_len != 8) {
        *error = "a DES key has 8 bytes (16 hex digits)";
        return false;
    }
    if (opt.encrypt && opt.key.type == CIPHER_AES && key_len != 16 && key_len != 24 && key_len != 32) {
        *error = "an AES key has 16, 24 or 32 bytes (32, 48 or 64 hex digits)";
        return false;
    }
    if (opt.encrypt && opt.key.type != CIPHER_DES && opt.key.type != CIPHER_AES) {
        *error = "unknown cipher";
        return false;
    }
    return true;
}

int reported_height(int coded_width, int coded_height) {
    if (coded_width == 1920 && coded_height == 1088) return 1080;
    if (coded_width == 1280 && coded_height == 736) return 720;
    if (coded_width == 640 && coded_height == 368) return 360;
    if (coded_width == 960 && coded_height == 544) return 540;
    return coded_height;
}

void encoder_init(Encoder &enc, const EncoderOptions &opt) {
    init_kernels(opt.cpu_flags);
    enc = Encoder{};
    enc.opt = opt;
    enc.rng = Rng(opt.seed);
    enc.mb_width = (opt.width + 15) / 16;
    enc.mb_height = (opt.height + 15) / 16;
    SeqParams &s = enc.sps;
    s.chroma_format_idc = opt.chroma_format_idc;
    s.bit_depth = opt.bit_depth;
    s.mb_width = enc.mb_width;
    s.mb_height = enc.mb_height;
    const int w = enc.mb_width * 16, h = enc.mb_height * 16;
    enc.unfiltered = make_frame(w, h, opt.chroma_format_idc, opt.bit_depth);
    enc.recon = enc.unfiltered;
    enc.mb_info.assign(static_cast<size_t>(enc.mb_width * enc.mb_height), MbFilterInfo{});
    enc.mb_edges.assign(static_cast<size_t>(enc.mb_width * enc.mb_height), ModeEdge{});
    enc.mvs.assign(static_cast<size_t>(4 * enc.mb_width * enc.mb_height), svac_intra_mv);
}

namespace {

// `key`: the payload is enciphered (header bits are drawn the same way, so a
// seed gives the same pictures with or without encryption).
void put_nal(std::vector<uint8_t> &stream, int type, BitWriter &bw, Rng *rng,
             const CipherKey *key = nullptr) {
    bw.put_trailing_bits();
    NalHeader h;
    h.type = type;
    if (rng) {
        h.ref = rng->percent(80);
        if (rng->percent(10)) {
            h.ext = true;
            h.ext_byte = static_cast<uint8_t>(rng->range(4, 255));
        }
    }
    if (key)
        append_encrypted_nal(stream, h, bw.bytes(), *key);
    else
        append_nal(stream, h, bw.bytes());
}

// Random sequence-level extras that decoders parse and ignore.
void randomise_sps_extras(Rng &rng, SeqParams &s) {
    s.header_byte_0 = static_cast<uint8_t>(rng.range(0, 255));
    s.header_byte_1 = static_cast<uint8_t>(rng.range(0, 255));
    s.frame_only = rng.percent(70);
    s.vui = rng.percent(40);
    s.timing = rng.percent(50);
    s.timing_units = static_cast<uint32_t>(rng.next());
    s.timing_scale = static_cast<uint32_t>(rng.next());
    s.timing_fixed = rng.percent(50);
    s.hrd = rng.percent(30);
    s.hrd_entries.assign(static_cast<size_t>(rng.range(1, 3)), HrdEntry{});
    for (HrdEntry &e : s.hrd_entries) {
        e.a = static_cast<uint32_t>(rng.range(0, 5000));
        e.b = static_cast<uint32_t>(rng.range(0, 5000));
        e.flag = rng.percent(50);
    }
    s.hrd_bits8 = static_cast<uint8_t>(rng.range(0, 255));
    s.hrd_bits15 = static_cast<uint16_t>(rng.range(0, 32767));
    s.hrd_tail_bit = rng.percent(50);
    s.vui_value = static_cast<uint32_t>(rng.range(0, 300));
}

// Parameter sets sent before a picture: always before the first one; in
// random mode now and then a new picture set (and rarely a new sequence set
// with the same geometry) so that per-picture QP and filter settings vary.
void send_parameter_sets(Encoder &enc, std::vector<uint8_t> &stream) {
    const EncoderOptions &o = enc.opt;
    const bool random = o.mode == EncMode::Random;
    Rng &rng = enc.rng;
    bool new_sps = enc.pictures == 0;
    bool new_pps = enc.pictures == 0;
    if (random && enc.pictures > 0) {
        new_pps = rng.percent(35);
        new_sps = new_pps && rng.percent(20);
    }
    if (new_sps) {
        if (random) {
            enc.sps.sps_id = rng.range(0, 31);
            randomise_sps_extras(rng, enc.sps);
        }
        if (o.field) enc.sps.frame_only = false;
        BitWriter bw;
        write_sps(bw, enc.sps);
        put_nal(stream, NAL_SPS, bw, random ? &rng : nullptr);
    }
    if (new_pps) {
        PicParams &p = enc.pps;
        p.sps_id = enc.sps.sps_id;
        if (random) {
            p.pps_id = rng.range(0, 255);
            p.pic_qp = o.qp >= 0 ? o.qp : (rng.percent(60) ? rng.range(16, 44) : rng.range(0, 55));
            p.fixed_qp = o.fixed_qp || rng.percent(15);
            p.lf_disable = o.lf_disable || (!o.lf_offsets_set && rng.percent(20));
            p.aux = rng.percent(30);
        } else {
            p.pic_qp = o.qp >= 0 ? o.qp : 32;
            p.fixed_qp = o.fixed_qp;
            p.lf_disable = o.lf_disable;
        }
        BitWriter bw;
        write_pps(bw, p, enc.sps);
        put_nal(stream, NAL_PPS, bw, random ? &rng : nullptr);
    }
    // The cipher is named once, before the first enciphered slice.
    if (o.encrypt && enc.pictures == 0) {
        SecurityParams sp;
        sp.encryption_flag = true;
        sp.encryption_type = o.key.type;
        BitWriter bw;
        write_security_params(bw, sp);
        put_nal(stream, NAL_SEC, bw, nullptr);
    }
}

// A decoder reads a long Exp-Golomb code from one 32-bit window at its
// first byte, so codes of 27 bits or more (values from 8191) that start late
// in a byte lose their low bits. The generator never writes them: slices
// start below this address and skip runs stop at it.
constexpr int kLongCode = 8191;

// First macroblock of each slice (ascending, the first is 0).
std::vector<int> slice_starts(Encoder &enc) {
    const int mbs = std::min(enc.mb_width * enc.mb_height, kLongCode);
    int n = enc.opt.slices;
    const bool random = enc.opt.mode == EncMode::Random;
    if (n == 0) n = random ? std::min(mbs, enc.rng.percent(40) ? 1 : enc.rng.range(2, 4)) : 1;
    n = std::min(n, mbs);
    std::vector<int> starts{0};
    if (random) {
        // Distinct random split points: slices start anywhere in a row.
        std::vector<int> points;
        while (static_cast<int>(points.size()) < n - 1) {
            const int p = enc.rng.range(1, mbs - 1);
            if (std::find(points.begin(), points.end(), p) == points.end()) points.push_back(p);
        }
        std::sort(points.begin(), points.end());
        starts.insert(starts.end(), points.begin(), points.end());
    } else {
        const int all = enc.mb_width * enc.mb_height;
        for (int i = 1; i < n; i++)
            if (int64_t(all) * i / n < kLongCode) starts.push_back(static_cast<int>(int64_t(all) * i / n));
    }
    return starts;
}

SliceHeader make_slice_header(Encoder &enc, int first_mb, bool keyframe, bool p_picture) {
    const EncoderOptions &o = enc.opt;
    const bool random = o.mode == EncMode::Random;
    Rng &rng = enc.rng;
    SliceHeader sh;
    sh.pps_id = enc.pps.pps_id;
    sh.frame_num = enc.pictures & 0xFF;
    sh.keyframe = keyframe;
    sh.first_mb = first_mb;
    sh.slice_type = p_picture ? SLICE_P : SLICE_I;
    sh.field_pic = o.field;
    sh.bottom_field = o.field && (enc.pictures & 1);
    // With one reference every index is 0: the flag says so, or the bits do.
    sh.single_ref = p_picture && (enc.ref_count < 2 || (random && rng.percent(25)));
    if (random && p_picture && enc.ref_count < 2 && rng.percent(50)) sh.single_ref = false;
    if (random) {
        sh.keyframe_id = static_cast<uint32_t>(rng.range(0, 20));
        if (rng.percent(20)) sh.slice_type += 3;  // 5 codes I as well (3 codes P)
        sh.fixed_qp = rng.percent(20);
        const int base = enc.pps.pic_qp;
        if (o.qp < 0 || rng.percent(30)) sh.qp_delta = rng.range(-base, 55 - base);
        if (o.lf_offsets_set) {
            sh.lf_override = true;
            sh.lf_alpha_offset = o.lf_alpha_offset;
            sh.lf_beta_offset = o.lf_beta_offset;
        } else {
            sh.lf_override = rng.percent(50);
            const int span = rng.percent(85) ? 8 : 30;
            sh.lf_alpha_offset = rng.range(-span, span);
            sh.lf_beta_offset = rng.range(-span, span);
        }
    } else {
        sh.lf_override = o.lf_offsets_set;
        sh.lf_alpha_offset = o.lf_alpha_offset;
        sh.lf_beta_offset = o.lf_beta_offset;
    }
    return sh;
}

void count_macroblock(PathStats &st, const MbDecision &d, const MbNeighbours &nb, int chroma,
                      int qp, bool qp_changes) {
    (d.luma.is8x8 ? st.mb_8x8 : st.mb_4x4)++;
    const int w = d.luma.is8x8 ? 2 : 4;
    for (int i = 0; i < w * w; i++)
        st.luma_modes[luma_mode_at_edge(d.luma.modes[i], !nb.left && i % w == 0, !nb.top && i < w)]++;
    for (int row = 0; row < chroma; row++)
        st.chroma_modes[chroma_mode_at_edge(d.chroma_modes[row], !nb.left, !nb.top && row == 0)]++;
    st.cbp_zero += d.cbp == 0;
    st.cbp_full += d.cbp == (chroma == 2 ? 255 : chroma == 1 ? 63 : 15);
    const int raw = qp + d.qp_delta;
    st.qp_wraps += d.cbp != 0 && qp_changes && (raw < 0 || raw > 55);
}

// Units that change no picture: extension data (time stamps, regions,
// opaque records, alerts) and unit types that decoders skip.
void send_side_units(Rng &rng, std::vector<uint8_t> &stream) {
    if (rng.percent(15)) {
        BitWriter bw;
        const int records = rng.range(1, 3);
        for (int i = 0; i < records; i++) {
            const int id = rng.range(1, 4);
            bw.put(static_cast<uint32_t>(id), 8);
            bw.put(static_cast<uint32_t>(rng.next()), 32);
            if (id == 4) {  // time: hour, minute, second, fraction, optional date, extra
                bw.put(static_cast<uint32_t>(rng.range(0, 23)), 5);
                bw.put(static_cast<uint32_t>(rng.range(0, 59)), 6);
                bw.put(static_cast<uint32_t>(rng.range(0, 59)), 6);
                bw.put(static_cast<uint32_t>(rng.range(0, 16383)), 14);
                const bool date = rng.percent(50);
                bw.put1(date);
                if (date) {
                    bw.put(static_cast<uint32_t>(rng.range(0, 127)), 7);
                    bw.put(static_cast<uint32_t>(rng.range(1, 12)), 4);
                    bw.put(static_cast<uint32_t>(rng.range(1, 31)), 5);
                }
                bw.put(static_cast<uint32_t>(rng.range(0, 255)), 8);
            } else if (id == 1) {  // regions: count, 4 spare bits, 32 bits each
                const int n = rng.range(0, 3);
                bw.put(static_cast<uint32_t>(n), 4);
                bw.put(0, 4);
                for (int k = 0; k < n; k++) bw.put(static_cast<uint32_t>(rng.next()), 32);
            } else if (id == 2) {  // opaque records: count, 4 spare bits, sized bytes
                const int n = rng.range(0, 2);
                bw.put(static_cast<uint32_t>(n), 4);
                bw.put(0, 4);
                for (int k = 0; k < n; k++) {
                    const int bytes = rng.range(0, 5);
                    bw.put(static_cast<uint32_t>(bytes), 8);
                    for (int b = 0; b < bytes; b++) bw.put(static_cast<uint32_t>(rng.range(0, 255)), 8);
                }
            } else {  // alerts: count, 2 spare bits, 24 bits each
                const int n = rng.range(0, 3);
                bw.put(static_cast<uint32_t>(n), 6);
                bw.put(0, 2);
                for (int k = 0; k < n; k++) bw.put(static_cast<uint32_t>(rng.next() & 0xFFFFFF), 24);
            }
        }
        bw.put(0x80, 8);
        put_nal(stream, NAL_EXT, bw, &rng);
    }
    if (rng.percent(10)) {
        static constexpr int kSkipped[] = {0, 6, 10, 11, 12, 13, 14, 15};
        BitWriter bw;
        const int bytes = rng.range(1, 6);
        for (int b = 0; b < bytes; b++) bw.put(static_cast<uint32_t>(rng.range(0, 255)), 8);
        NalHeader h;
        h.type = kSkipped[rng.range(0, 7)];
        bw.put_trailing_bits();
        append_nal(stream, h, bw.bytes());
    }
}

// Random target vector of a partition whose block starts at (bx, by)
// luma samples: near the prediction, zero, anywhere nearby, or far outside
// the picture; any quarter phase.
int random_vector(Rng &rng, int pred, int origin, int size) {
    const int pick = rng.range(0, 99);
    int v;
    if (pick < 40) v = pred + rng.range(-12, 12);
    else if (pick < 50) v = 0;
    else if (pick < 80) v = rng.range(-96, 96);
    else v = 4 * (rng.range(-origin - 48, size - origin + 32)) + rng.range(0, 3);
    return std::clamp(v, -8000, 8000);
}

// Paths an inter macroblock takes (for the coverage counts).
void count_inter(PathStats &st, const InterDecision &d, int mb_x, int mb_y, int width,
                 int height) {
    st.p_types[d.type - P16X16]++;
    const int n = partition_count(d.type);
    for (int i = 0; i < n; i++) {
        st.ref1_partitions += d.ref[i] == 1;
        st.phases[(d.mv[i][1] & 3) * 4 + (d.mv[i][0] & 3)]++;
        const int x = mb_x * 16 + (d.mv[i][0] >> 2), y = mb_y * 16 + (d.mv[i][1] >> 2);
        const bool inside = x >= 0 && y >= 0 && x + 16 <= width && y + 16 <= height;
        const bool away = x + 16 <= 0 || y + 16 <= 0 || x >= width || y >= height;
        st.outside_partly += !inside && !away;
        st.outside_fully += away;
    }
}

template <class Pixel>
void encode_p_mb(Encoder &enc, const SliceHeader &sh, int addr, const MbNeighbours &nb,
                 const InterPicture &pic, bool qp_changes, int skip_pct, int &qp, int &run,
                 BitWriter &bw, const LoopFilterSettings &lf) {
    Rng &rng = enc.rng;
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int cf = enc.sps.chroma_format_idc;
    SvacMvEntry cache[12];
    load_mv_cache(cache, enc.mvs, addr, w, nb);
    InterDecision d;
    d.type = rng.percent(skip_pct) && run < kLongCode - 1 ? PSKIP : rng.range(P16X16, P8X8);
    const int n = partition_count(d.type);
    for (int i = 0; i < n; i++)
        d.ref[i] = d.type == PSKIP || pic.single_ref || enc.ref_count < 2 ? 0 : rng.range(0, 1);
    int mvd[4][2];
    predict_partitions(cache, pic, d, mvd, [&](int i, int px, int py) {
        const int bw8 = d.type == P16X16 || d.type == P16X8 ? 16 : 8;
        const int bh8 = d.type == P16X16 || d.type == P8X16 ? 16 : 8;
        const int ox = x * 16 + (d.type == P8X16 || d.type == P8X8 ? (i % 2) * 8 : 0);
        const int oy = y * 16 + (d.type == P16X8 ? i * 8 : d.type == P8X8 ? (i / 2) * 8 : 0);
        d.mv[i][0] = random_vector(rng, px, ox, w * 16 - bw8 + 16);
        d.mv[i][1] = random_vector(rng, py, oy, enc.mb_height * 16 - bh8 + 16);
    });
    count_inter(enc.stats, d, x, y, enc.mb_width * 16, enc.mb_height * 16);
    int mb_qp = qp;
    if (d.type != PSKIP) {
        const int chroma_bits = cf == 0 ? 0 : cf == 1 ? 3 : 15;
        d.cbp = rng.percent(30) ? 0 : rng.range(0, 15) | (rng.range(0, chroma_bits) << 4);
        if (qp_changes && d.cbp != 0)
            d.qp_delta = rng.percent(60) ? 0 : rng.range(-30, 30);
        mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;
        for (int k = 0; k < 4; k++)
            if ((d.cbp >> k) & 1) random_block_pairs(rng, false, mb_qp, &d.luma_blocks[k]);
        for (int i = 0; i < 2 * cf; i++)
            if ((d.cbp >> cbp_chroma_bit(i)) & 1)
                random_block_pairs(rng, false, QP2_table[mb_qp], &d.chroma_blocks[i]);
        bw.put_ue(static_cast<uint32_t>(run));
        run = 0;
        write_inter_mb(bw, pic, cf, qp_changes, d, mvd);
    } else {
        run++;
        enc.stats.longest_skip_run = std::max<int64_t>(enc.stats.longest_skip_run, run);
    }
    const Frame *refs[2] = {&enc.refs[0], &enc.refs[enc.ref_count > 1 ? 1 : 0]};
    predict_inter_mb<Pixel>(refs, enc.unfiltered, x, y, d.type, cache, enc.mc_scratch);
    add_inter_residual(enc.unfiltered, x, y, d, mb_qp, sh.field_pic ? 1 : 0);
    static constexpr int kEntries[4] = {5, 6, 9, 10};
    for (int k = 0; k < 4; k++) enc.mvs[static_cast<size_t>(4 * addr + k)] = cache[kEntries[k]];
    ModeEdge edge;
    for (int &v : edge.as_left4) v = 2;
    for (int &v : edge.as_left8) v = 2;
    for (int &v : edge.as_top4) v = 2;
    for (int &v : edge.as_top8) v = 2;
    enc.mb_edges[addr] = edge;
    const MbFilterInfo info{mb_qp, d.cbp, d.type};
    enc.mb_info[addr] = info;
    copy_macroblock(enc.unfiltered, enc.recon, x, y);
    deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
               nb.top ? enc.mb_info[addr - w] : info, lf, cache);
    qp = mb_qp;
}

// Sum of absolute differences between the source macroblock and the
// prediction now in `pred` at the same place (luma only).
int luma_sad(const Frame &src, const Frame &pred, int x0, int y0) {
    int sad = 0;
    for (int j = 0; j < 16; j++)
        for (int i = 0; i < 16; i++)
            sad += std::abs(src.sample(0, x0 + i, y0 + j) - pred.sample(0, x0 + i, y0 + j));
    return sad;
}

int sad_integer(const Frame &src, const Frame &ref, int x0, int y0, int dx, int dy) {
    int sad = 0;
    const int w = ref.width, h = ref.height;
    for (int j = 0; j < 16; j++) {
        const int ry = std::clamp(y0 + dy + j, 0, h - 1);
        for (int i = 0; i < 16; i++)
            sad += std::abs(src.sample(0, x0 + i, y0 + j) -
                            ref.sample(0, std::clamp(x0 + dx + i, 0, w - 1), ry));
    }
    return sad;
}

// Appends the bits written into `src` (most significant first).
void append_bits(BitWriter &bw, const BitWriter &src) {
    const std::vector<uint8_t> &b = src.bytes();
    const size_t n = src.bit_count();
    for (size_t i = 0; i < n; i++) bw.put1((b[i / 8] >> (7 - i % 8)) & 1);
}

// Bits of a signed Exp-Golomb number, the rate term of vector costs.
int se_bits(int v) {
    const uint32_t code = v > 0 ? 2u * v - 1 : 2u * static_cast<uint32_t>(-v);
    int len = 0;
    while ((code + 1) >> (len + 1)) len++;
    return 2 * len + 1;
}

// Residual of one n-wide block (source minus prediction) quantised to pairs.
void residual_pairs(const Frame &src, const Frame &pred, int p, int x0, int y0, int qp, int scan,
                    BlockPairs *out) {
    int32_t res[64], levels[64];
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 8; i++)
            res[j * 8 + i] = src.sample(p, x0 + i, y0 + j) - pred.sample(p, x0 + i, y0 + j);
    forward_quant_8x8(res, qp, 60, levels);
    levels_to_pairs(levels, false, out, scan);
}

// Real mode: P_16X16 from either reference by an integer search around the
// predicted and the zero vector, then half and quarter refinement, costed
// by luma SAD plus vector bits; P_SKIP when its prediction is as good. A
// coded inter macroblock is then weighed against the intra choice by the
// distortion of both reconstructions plus their bits; false means intra
// wins and the caller codes the macroblock as intra.
template <class Pixel>
bool encode_real_p_mb(Encoder &enc, const Frame &source, const SliceHeader &sh, int addr,
                      const MbNeighbours &nb, const ModeEdge *left, const ModeEdge *top,
                      const InterPicture &pic, int &qp, int &run, BitWriter &bw,
                      const LoopFilterSettings &lf) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const int x0 = 16 * x, y0 = 16 * y;
    const int cf = enc.sps.chroma_format_idc;
    const int lambda = (4 + qp / 4) << (enc.opt.bit_depth - 8);
    const int scan = sh.field_pic ? 1 : 0;
    const bool qp_changes = !(enc.pps.fixed_qp || sh.fixed_qp);
    Frame &unf = enc.unfiltered;
    const Frame *refs[2] = {&enc.refs[0], &enc.refs[enc.ref_count > 1 ? 1 : 0]};
    SvacMvEntry base[12];
    load_mv_cache(base, enc.mvs, addr, w, nb);

    SvacMvEntry cache[12];
    std::copy(base, base + 12, cache);
    InterDecision d;
    int mvd[4][2];
    d.type = PSKIP;
    predict_partitions(cache, pic, d, mvd, [](int, int, int) {});
    predict_block<Pixel>(*refs[0], unf, x0, y0, 16, d.mv[0][0], d.mv[0][1], enc.mc_scratch);
    const int skip_cost = luma_sad(source, unf, x0, y0);

    int best_cost = 1 << 30;
    InterDecision best;
    SvacMvEntry best_cache[12];
    int best_mvd[4][2] = {};
    const int nrefs = pic.single_ref || enc.ref_count < 2 ? 1 : 2;
    for (int r = 0; r < nrefs; r++) {
        SvacMvEntry c[12];
        std::copy(base, base + 12, c);
        InterDecision t;
        t.type = P16X16;
        t.ref[0] = r;
        int cost = 0;
        int tmvd[4][2];
        predict_partitions(c, pic, t, tmvd, [&](int, int px, int py) {
            const int cx[2] = {(px + 2) >> 2, 0}, cy[2] = {(py + 2) >> 2, 0};
            int bx = 0, by = 0, bc = 1 << 30;
            for (int s = 0; s < 2; s++)
                for (int dy = -6; dy <= 6; dy++)
                    for (int dx = -6; dx <= 6; dx++) {
                        const int mx = (cx[s] + dx) * 4, my = (cy[s] + dy) * 4;
                        const int c2 = sad_integer(source, *refs[r], x0, y0, mx >> 2, my >> 2) +
                                       lambda * (se_bits(mx - px) + se_bits(my - py));
                        if (c2 < bc) bc = c2, bx = mx, by = my;
                    }
            for (int step = 2; step >= 1; step--) {
                const int ox = bx, oy = by;
                for (int dy = -step; dy <= step; dy += step)
                    for (int dx = -step; dx <= step; dx += step) {
                        if (!dx && !dy) continue;
                        const int mx = ox + dx, my = oy + dy;
                        predict_block<Pixel>(*refs[r], unf, x0, y0, 16, mx, my, enc.mc_scratch);
                        const int c2 = luma_sad(source, unf, x0, y0) +
                                       lambda * (se_bits(mx - px) + se_bits(my - py));
                        if (c2 < bc) bc = c2, bx = mx, by = my;
                    }
            }
            t.mv[0][0] = bx;
            t.mv[0][1] = by;
            cost = bc + lambda * (nrefs > 1 ? 1 : 0);
        });
        if (cost < best_cost) {
            best_cost = cost;
            best = t;
            std::copy(c, c + 12, best_cache);
            std::copy(&tmvd[0][0], &tmvd[0][0] + 8, &best_mvd[0][0]);
        }
    }
    const bool skip = skip_cost <= best_cost + lambda * 2 && run < kLongCode - 1;
    if (!skip) {
        d = best;
        std::copy(best_cache, best_cache + 12, cache);
        std::copy(&best_mvd[0][0], &best_mvd[0][0] + 8, &mvd[0][0]);
    }
    predict_inter_mb<Pixel>(refs, unf, x, y, d.type, cache, enc.mc_scratch);
    if (!skip) {
        for (int k = 0; k < 4; k++) {
            residual_pairs(source, unf, 0, x0 + (k % 2) * 8, y0 + (k / 2) * 8, qp, scan,
                           &d.luma_blocks[k]);
            if (d.luma_blocks[k].count) d.cbp |= 1 << k;
        }
        for (int i = 0; i < 2 * cf; i++) {
            BlockPairs &b = d.chroma_blocks[i];
            residual_pairs(source, unf, 1 + i % 2, 8 * x, y * unf.chroma_mb_height() + (i / 2) * 8,
                           QP2_table[qp], scan, &b);
            if (b.count) d.cbp |= 1 << cbp_chroma_bit(i);
        }
        add_inter_residual(unf, x, y, d, qp, scan);
        BitWriter trial;
        write_inter_mb(trial, pic, cf, qp_changes, d, mvd);
        const int64_t inter_cost =
            luma_sad(source, unf, x0, y0) + int64_t(lambda) * static_cast<int64_t>(trial.bit_count());
        // The intra trial overwrites the macroblock; keep the inter one aside.
        if (enc.trial.width != unf.width) enc.trial = unf;
        copy_macroblock(unf, enc.trial, x, y);
        MbDecision di;
        RealMbContext rc{nb, left, top, x, y, qp, scan};
        decide_real_mb<Pixel>(source, unf, rc, &di);
        reconstruct_intra_mb<Pixel>(unf, x, y, nb, di, qp, scan);
        MbSyntaxContext sc;
        sc.chroma_format_idc = cf;
        sc.qp_changes = qp_changes;
        sc.left = left;
        sc.top = top;
        sc.mb_type_offset = 4;
        BitWriter intra_bits;
        write_intra_mb(intra_bits, sc, di);
        const int64_t intra_cost = luma_sad(source, unf, x0, y0) +
                                   int64_t(lambda) * static_cast<int64_t>(intra_bits.bit_count());
        if (intra_cost < inter_cost) return false;
        copy_macroblock(enc.trial, unf, x, y);
        bw.put_ue(static_cast<uint32_t>(run));
        run = 0;
        append_bits(bw, trial);
    } else {
        run++;
    }
    static constexpr int kEntries[4] = {5, 6, 9, 10};
    for (int k = 0; k < 4; k++) enc.mvs[static_cast<size_t>(4 * addr + k)] = cache[kEntries[k]];
    ModeEdge edge;
    for (int &v : edge.as_left4) v = 2;
    for (int &v : edge.as_left8) v = 2;
    for (int &v : edge.as_top4) v = 2;
    for (int &v : edge.as_top8) v = 2;
    enc.mb_edges[addr] = edge;
    const MbFilterInfo info{qp, d.cbp, d.type};
    enc.mb_info[addr] = info;
    copy_macroblock(unf, enc.recon, x, y);
    deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
               nb.top ? enc.mb_info[addr - w] : info, lf, cache);
    return true;
}

template <class Pixel>
void encode_slice(Encoder &enc, const Frame *source, const SliceHeader &sh, int end_mb,
                  BitWriter &bw) {
    const PicParams &pps = enc.pps;
    write_slice_header(bw, sh, pps, enc.sps);
    if (!pps.lf_disable && sh.lf_override) {
        enc.lf_alpha = sh.lf_alpha_offset;
        enc.lf_beta = sh.lf_beta_offset;
    }
    const LoopFilterSettings lf{pps.lf_disable, enc.lf_alpha, enc.lf_beta};
    const bool qp_changes = !(pps.fixed_qp || sh.fixed_qp);
    PathStats &st = enc.stats;
    st.slices++;
    st.slices_mid_row += sh.first_mb % enc.mb_width != 0;
    st.slices_fixed_qp += !qp_changes;
    st.slices_lf_disabled += pps.lf_disable;
    st.slices_lf_override += !pps.lf_disable && sh.lf_override;
    int qp = slice_qp(sh, pps);
    const int w = enc.mb_width;
    const bool p_slice = sh.slice_type % 3 == SLICE_P;
    const int scan = sh.field_pic ? 1 : 0;
    InterPicture pic;
    if (p_slice) {
        const int cur = 2 * sh.frame_num;
        for (int r = 0; r < 2; r++) {
            pic.ref_dist[r] = (cur - enc.ref_pic_num[r]) & 0x1FF;
            pic.inv_dist[r] = pic.ref_dist[r] ? 512 / pic.ref_dist[r] : 0;
        }
        pic.single_ref = sh.single_ref;
        pic.field = sh.field_pic;
    }
    int run = 0;
    // Share of skipped macroblocks in this slice: none, some, most, or all
    // (runs over the whole slice and to the end of the picture).
    static constexpr int kSkipShares[] = {0, 25, 25, 40, 90, 100};
    const int skip_pct = p_slice && enc.opt.mode == EncMode::Random ? kSkipShares[enc.rng.range(0, 5)] : 0;
    const int intra_pct = skip_pct == 100 ? 0 : 10;
    MbDecision d;
    for (int addr = sh.first_mb; addr < end_mb; addr++) {
        const int x = addr % w, y = addr / w;
        const MbNeighbours nb = mb_neighbours(addr, w, sh.first_mb);
        const ModeEdge *left = nb.left ? &enc.mb_edges[addr - 1] : nullptr;
        const ModeEdge *top = nb.top ? &enc.mb_edges[addr - w] : nullptr;
        if (p_slice && (enc.opt.mode != EncMode::Random || !enc.rng.percent(intra_pct))) {
            if (enc.opt.mode == EncMode::Random)
                encode_p_mb<Pixel>(enc, sh, addr, nb, pic, qp_changes, skip_pct, qp, run, bw, lf);
            else if (encode_real_p_mb<Pixel>(enc, *source, sh, addr, nb, left, top, pic, qp, run,
                                             bw, lf))
                continue;
            if (enc.opt.mode == EncMode::Random) continue;
        }
        if (enc.opt.mode == EncMode::Random) {
            RandomMbContext rc{nb, left, top, enc.sps.chroma_format_idc, qp_changes, qp};
            decide_random_mb(enc.rng, rc, &d);
        } else {
            RealMbContext rc{nb, left, top, x, y, qp, scan};
            decide_real_mb<Pixel>(*source, enc.unfiltered, rc, &d);
        }
        const int mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;

        MbSyntaxContext sc;
        sc.chroma_format_idc = enc.sps.chroma_format_idc;
        sc.qp_changes = qp_changes;
        sc.left = left;
        sc.top = top;
        if (p_slice) {
            // Intra macroblocks of P slices end a skip run and follow the P types.
            bw.put_ue(static_cast<uint32_t>(run));
            run = 0;
            sc.mb_type_offset = 4;
            st.intra_in_p++;
        }
        write_intra_mb(bw, sc, d, &st);
        count_macroblock(st, d, nb, enc.sps.chroma_format_idc, qp, qp_changes);

        reconstruct_intra_mb<Pixel>(enc.unfiltered, x, y, nb, d, mb_qp, scan);
        enc.mb_edges[addr] = mode_edge_of(d.luma);
        for (int k = 0; k < 4; k++) enc.mvs[static_cast<size_t>(4 * addr + k)] = svac_intra_mv;
        const MbFilterInfo info{mb_qp, d.cbp, d.luma.is8x8 ? 1 : 0};
        enc.mb_info[addr] = info;
        copy_macroblock(enc.unfiltered, enc.recon, x, y);
        deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
                   nb.top ? enc.mb_info[addr - w] : info, lf);
        qp = mb_qp;
    }
    // Skipped macroblocks at the end of the slice: a run with no macroblock
    // after it. A slice that ends inside the picture with a coded macroblock
    // may close with an empty run, so the reader finds a run where it looks
    // for one instead of running out of bits.
    const bool last = end_mb == enc.mb_width * enc.mb_height;
    if (p_slice) {
        st.single_ref_slices += sh.single_ref;
        st.two_bit_ref_slices += sh.field_pic && !sh.single_ref;
        st.skip_runs_at_slice_end += run > 0;
        st.skip_runs_to_picture_end += run > 0 && last;
    }
    st.field_pictures += sh.field_pic && sh.first_mb == 0;
    if (p_slice && (run > 0 || (!last && (enc.opt.mode != EncMode::Random || enc.rng.percent(50)))))
        bw.put_ue(static_cast<uint32_t>(run));
}

}  // namespace

void encode_picture(Encoder &enc, const Frame *source, std::vector<uint8_t> &stream,
                    std::vector<Frame> &output) {
    const bool random = enc.opt.mode == EncMode::Random;
    send_parameter_sets(enc, stream);
    if (random) send_side_units(enc.rng, stream);
    const bool keyframe = enc.pictures == 0 || !random || enc.rng.percent(50);
    const char kind = enc.opt.gop[static_cast<size_t>(enc.pictures) % enc.opt.gop.size()];
    const bool p_picture = kind == 'P' && enc.ref_count > 0;
    const std::vector<int> starts = slice_starts(enc);
    const int mbs = enc.mb_width * enc.mb_height;
    for (size_t s = 0; s < starts.size(); s++) {
        const int end = s + 1 < starts.size() ? starts[s + 1] : mbs;
        const SliceHeader sh = make_slice_header(enc, starts[s], keyframe, p_picture);
        BitWriter bw;
        if (enc.opt.bit_depth > 8)
            encode_slice<uint16_t>(enc, source, sh, end, bw);
        else
            encode_slice<uint8_t>(enc, source, sh, end, bw);
        put_nal(stream, keyframe ? NAL_SLICE_KEY : NAL_SLICE, bw, random ? &enc.rng : nullptr,
                enc.opt.encrypt ? &enc.opt.key : nullptr);
    }
    // The finished picture becomes the newest reference.
    enc.refs[1] = std::move(enc.refs[0]);
    enc.refs[0] = enc.recon;
    enc.ref_pic_num[1] = enc.ref_pic_num[0];
    enc.ref_pic_num[0] = 2 * (enc.pictures & 0xFF);
    enc.ref_count = std::min(enc.ref_count + 1, 2);
    enc.pictures++;
    // Without B pictures every picture is output as soon as it is complete.
    output.push_back(enc.recon);
}

}  // namespace svacenc
