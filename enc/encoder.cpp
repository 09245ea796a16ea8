#include "encoder.h"

#include <algorithm>

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
        if (c == 'P' || c == 'B') {
            *error = "P and B pictures are not supported yet (use --gop I)";
            return false;
        }
        if (c != 'I') {
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

// First macroblock of each slice (ascending, the first is 0).
std::vector<int> slice_starts(Encoder &enc) {
    const int mbs = enc.mb_width * enc.mb_height;
    int n = enc.opt.slices;
    const bool random = enc.opt.mode == EncMode::Random;
    if (n == 0) n = random ? std::min(mbs, enc.rng.percent(40) ? 1 : enc.rng.range(2, 4)) : 1;
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
        for (int i = 1; i < n; i++) starts.push_back(static_cast<int>(int64_t(mbs) * i / n));
    }
    return starts;
}

SliceHeader make_slice_header(Encoder &enc, int first_mb, bool keyframe) {
    const EncoderOptions &o = enc.opt;
    const bool random = o.mode == EncMode::Random;
    Rng &rng = enc.rng;
    SliceHeader sh;
    sh.pps_id = enc.pps.pps_id;
    sh.frame_num = enc.pictures & 0xFF;
    sh.keyframe = keyframe;
    sh.first_mb = first_mb;
    sh.slice_type = SLICE_I;
    if (random) {
        sh.keyframe_id = static_cast<uint32_t>(rng.range(0, 20));
        if (rng.percent(20)) sh.slice_type += 3;  // 5 codes I as well
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
    MbDecision d;
    for (int addr = sh.first_mb; addr < end_mb; addr++) {
        const int x = addr % w, y = addr / w;
        const MbNeighbours nb = mb_neighbours(addr, w, sh.first_mb);
        const ModeEdge *left = nb.left ? &enc.mb_edges[addr - 1] : nullptr;
        const ModeEdge *top = nb.top ? &enc.mb_edges[addr - w] : nullptr;
        if (enc.opt.mode == EncMode::Random) {
            RandomMbContext rc{nb, left, top, enc.sps.chroma_format_idc, qp_changes, qp};
            decide_random_mb(enc.rng, rc, &d);
        } else {
            RealMbContext rc{nb, left, top, x, y, qp};
            decide_real_mb<Pixel>(*source, enc.unfiltered, rc, &d);
        }
        const int mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;

        MbSyntaxContext sc;
        sc.chroma_format_idc = enc.sps.chroma_format_idc;
        sc.qp_changes = qp_changes;
        sc.left = left;
        sc.top = top;
        write_intra_mb(bw, sc, d, &st);
        count_macroblock(st, d, nb, enc.sps.chroma_format_idc, qp, qp_changes);

        reconstruct_intra_mb<Pixel>(enc.unfiltered, x, y, nb, d, mb_qp);
        enc.mb_edges[addr] = mode_edge_of(d.luma);
        const MbFilterInfo info{mb_qp, d.cbp, d.luma.is8x8 ? 1 : 0};
        enc.mb_info[addr] = info;
        copy_macroblock(enc.unfiltered, enc.recon, x, y);
        deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
                   nb.top ? enc.mb_info[addr - w] : info, lf);
        qp = mb_qp;
    }
}

}  // namespace

void encode_picture(Encoder &enc, const Frame *source, std::vector<uint8_t> &stream,
                    std::vector<Frame> &output) {
    const bool random = enc.opt.mode == EncMode::Random;
    send_parameter_sets(enc, stream);
    if (random) send_side_units(enc.rng, stream);
    const bool keyframe = enc.pictures == 0 || !random || enc.rng.percent(50);
    const std::vector<int> starts = slice_starts(enc);
    const int mbs = enc.mb_width * enc.mb_height;
    for (size_t s = 0; s < starts.size(); s++) {
        const int end = s + 1 < starts.size() ? starts[s + 1] : mbs;
        const SliceHeader sh = make_slice_header(enc, starts[s], keyframe);
        BitWriter bw;
        if (enc.opt.bit_depth > 8)
            encode_slice<uint16_t>(enc, source, sh, end, bw);
        else
            encode_slice<uint8_t>(enc, source, sh, end, bw);
        put_nal(stream, keyframe ? NAL_SLICE_KEY : NAL_SLICE, bw, random ? &enc.rng : nullptr,
                enc.opt.encrypt ? &enc.opt.key : nullptr);
    }
    enc.pictures++;
    // Without B pictures every picture is output as soon as it is complete.
    output.push_back(enc.recon);
}

}  // namespace svacenc
