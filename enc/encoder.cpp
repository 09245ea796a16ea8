#include "encoder.h"

#include <algorithm>

#include "b_mb.h"
#include "dsp/qp_tables.h"
#include "forward.h"
#include "inter_layer.h"
#include "mb_writer.h"
#include "nal_writer.h"
#include "p_mb.h"
#include "random_mb.h"
#include "real_mb.h"
#include "slice_plan.h"
#include "stream_units.h"

namespace svacenc {

namespace {

void init_layer(Encoder &enc, const EncoderOptions &opt, int layer) {
    enc = Encoder{};
    enc.opt = opt;
    enc.layer = layer;
    // The enhancement layer draws its own decisions.
    enc.rng = Rng(layer ? ~opt.seed : opt.seed);
    const int half = opt.svc && layer == 0 ? 2 : 1;
    enc.mb_width = (opt.width / half + 15) / 16;
    enc.mb_height = (opt.height / half + 15) / 16;
    SeqParams &s = enc.sps;
    s.svc = opt.svc;
    s.chroma_format_idc = opt.chroma_format_idc;
    s.bit_depth = opt.bit_depth;
    s.mb_width = enc.mb_width;
    s.mb_height = enc.mb_height;
    const int w = enc.mb_width * 16, h = enc.mb_height * 16;
    enc.unfiltered = make_frame(w, h, opt.chroma_format_idc, opt.bit_depth);
    enc.unfiltered.layer = layer;
    enc.recon = enc.unfiltered;
    if (opt.svc && opt.mode == EncMode::Real && layer == 0) enc.half_source = enc.recon;
    enc.mb_info.assign(static_cast<size_t>(enc.mb_width * enc.mb_height), MbFilterInfo{});
    enc.mb_edges.assign(static_cast<size_t>(enc.mb_width * enc.mb_height), ModeEdge{});
    enc.mvs.assign(static_cast<size_t>(4 * enc.mb_width * enc.mb_height), svac_intra_mv);
    enc.mvs1 = enc.mvs;
    enc.col_mvs = enc.mvs;
    enc.col_types.assign(static_cast<size_t>(enc.mb_width * enc.mb_height), 0);
    cabac_neighbours_init(enc.cabac_nb, enc.mb_width);
    enc.mb_flags.assign(enc.mb_info.size(), 0);
    s.roi = opt.roi;
    region_scan_start(enc.roi, {}, enc.mb_width, 0);
}

// The first macroblock of a slice lies in a region.
bool in_region(const Encoder &enc, int addr) {
    return enc.sps.roi && enc.roi.index[static_cast<size_t>(addr)] >= 0;
}

// Real mode: quantiser of B pictures above the picture quantiser.
constexpr int kBQpOffset = 2;

SliceHeader make_slice_header(Encoder &enc, int first_mb, bool keyframe, int display, int slice_type) {
    const EncoderOptions &o = enc.opt;
    const bool random = o.mode == EncMode::Random;
    Rng &rng = enc.rng;
    SliceHeader sh;
    sh.pps_id = enc.pps.pps_id;
    const bool p_picture = slice_type == SLICE_P;
    sh.frame_num = display & 0xFF;
    sh.keyframe = keyframe;
    sh.first_mb = first_mb;
    sh.slice_type = slice_type;
    sh.field_pic = o.field;
    sh.bottom_field = o.field && (display & 1);
    // With one reference every index is 0: the flag says so, or the bits do.
    sh.single_ref = p_picture && (enc.ref_count < 2 || (random && rng.percent(25)));
    if (random && p_picture && enc.ref_count < 2 && rng.percent(50)) sh.single_ref = false;
    // Field B pictures carry (discarded) reference indices unless the flag is set.
    if (slice_type == SLICE_B) sh.single_ref = !o.field || !random || rng.percent(30);
    if (random) {
        sh.keyframe_id = static_cast<uint32_t>(rng.range(0, 20));
        if (rng.percent(20)) sh.slice_type += 3;  // 5 codes I as well (3 codes P)
        sh.fixed_qp = rng.percent(20);
        const int base = slice_base_qp(enc.pps, in_region(enc, first_mb));
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
        // B pictures serve no later picture: a coarser quantiser costs nothing downstream.
        if (slice_type == SLICE_B) sh.qp_delta = std::min(kBQpOffset, 55 - enc.pps.pic_qp);
        sh.lf_override = o.lf_offsets_set;
        sh.lf_alpha_offset = o.lf_alpha_offset;
        sh.lf_beta_offset = o.lf_beta_offset;
    }
    return sh;
}

void count_macroblock(PathStats &st, const MbDecision &d, const MbNeighbours &nb, int chroma, int qp,
                      bool qp_changes) {
    (d.luma.is8x8 ? st.mb_8x8 : st.mb_4x4)++;
    const int w = d.luma.is8x8 ? 2 : 4;
    // Modes of an inter-layer macroblock predict nothing.
    for (int i = 0; i < w * w && !d.svc; i++)
        st.luma_modes[luma_mode_at_edge(d.luma.modes[i], !nb.left && i % w == 0, !nb.top && i < w)]++;
    for (int row = 0; row < chroma && !d.svc; row++)
        st.chroma_modes[chroma_mode_at_edge(d.chroma_modes[row], !nb.left, !nb.top && row == 0)]++;
    st.cbp_zero += d.cbp == 0;
    st.cbp_full += d.cbp == (chroma == 2 ? 255 : chroma == 1 ? 63 : 15);
    const int raw = qp + d.qp_delta;
    st.qp_wraps += d.cbp != 0 && qp_changes && (raw < 0 || raw > 55);
}

// An intra macroblock: decided, written, reconstructed and deblocked.
template <class Pixel>
void encode_intra_mb(Encoder &enc, const Frame *source, const SliceHeader &sh, int addr,
                     const MbNeighbours &nb, bool qp_changes, int &qp, int &run, BitWriter &bw,
                     const LoopFilterSettings &lf) {
    const int w = enc.mb_width, x = addr % w, y = addr / w;
    const ModeEdge *left = nb.left ? &enc.mb_edges[addr - 1] : nullptr;
    const ModeEdge *top = nb.top ? &enc.mb_edges[addr - w] : nullptr;
    const bool p_slice = sh.slice_type % 3 == SLICE_P;
    const bool b_slice = sh.slice_type % 3 == SLICE_B;
    const int scan = sh.field_pic ? 1 : 0;
    const bool cabac = enc.pps.cabac;
    // A decoder never finds the base picture of an enhancement B picture
    // (a finished base B picture leaves no slot).
    const bool inter_layer = enc.layer == 1 && !enc.opt.svc_no_inter_layer && !b_slice;
    PathStats &st = enc.stats;
    MbDecision d;
    if (enc.opt.mode == EncMode::Random) {
        RandomMbContext rc{nb, left, top, enc.sps.chroma_format_idc, qp_changes, qp, cabac};
        decide_random_mb(enc.rng, rc, &d);
        if (inter_layer && enc.rng.percent(40))
            make_inter_layer(d, left, top, cabac && enc.rng.percent(15) ? enc.rng.range(2, 4) : 1);
    } else {
        RealMbContext rc{nb, left, top, x, y, qp, scan, cabac ? 4 : 7};
        decide_real_mb<Pixel>(*source, enc.unfiltered, rc, &d);
        if (inter_layer) choose_inter_layer<Pixel>(*source, enc.unfiltered, *enc.base, rc, &d);
    }
    const int mb_qp = d.cbp != 0 && qp_changes ? qp_after_delta(qp, d.qp_delta) : qp;

    st.intra_in_p += p_slice;
    st.intra_in_b += b_slice;
    if (cabac) {
        CabacMbContext cc = cabac_mb_context(enc, sh, addr, nb, qp_changes);
        cc.left = left;
        cc.top = top;
        cc.enhancement = enc.layer == 1;
        if (p_slice || b_slice) write_skip_cabac(enc.cabac, enc.cabac_nb, cc, 0);
        write_intra_mb_cabac(enc.cabac, enc.cabac_nb, cc, d);
    } else {
        MbSyntaxContext sc;
        sc.chroma_format_idc = enc.sps.chroma_format_idc;
        sc.qp_changes = qp_changes;
        sc.left = left;
        sc.top = top;
        sc.enhancement = enc.layer == 1;
        if (p_slice || b_slice) {
            // Intra macroblocks of P and B slices end a skip run and follow the inter types.
            bw.put_ue(static_cast<uint32_t>(run));
            sc.mb_type_offset = b_slice ? 23 : 4;
        }
        write_intra_mb(bw, sc, d, &st);
    }
    run = 0;
    count_macroblock(st, d, nb, enc.sps.chroma_format_idc, qp, qp_changes);

    if (d.svc) {
        count_inter_layer(st, d, x, y, enc.mb_width, enc.mb_height);
        reconstruct_inter_layer_mb<Pixel>(*enc.base, enc.unfiltered, x, y, d, mb_qp, scan);
    } else {
        st.enh_plain_intra += enc.layer;
        reconstruct_intra_mb<Pixel>(enc.unfiltered, x, y, nb, d, mb_qp, scan);
    }
    enc.mb_edges[addr] = mode_edge_of(d.luma);
    for (int k = 0; k < 4; k++) {
        enc.mvs[static_cast<size_t>(4 * addr + k)] = svac_intra_mv;
        enc.mvs1[static_cast<size_t>(4 * addr + k)] = svac_intra_mv;
    }
    const MbFilterInfo info{mb_qp, d.cbp, d.luma.is8x8 ? 1 : 0};
    enc.mb_info[addr] = info;
    copy_macroblock(enc.unfiltered, enc.recon, x, y);
    deblock_mb(enc.recon, x, y, nb, info, nb.left ? enc.mb_info[addr - 1] : info,
               nb.top ? enc.mb_info[addr - w] : info, lf);
    qp = mb_qp;
}

template <class Pixel>
void encode_slice(Encoder &enc, const Frame *source, const SliceHeader &sh, const SlicePlan &plan,
                  const BPicture &bp, BitWriter &bw) {
    const PicParams &pps = enc.pps;
    write_slice_header(bw, sh, pps, enc.sps);
    enc.slice_number++;
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
    st.roi_slices += in_region(enc, sh.first_mb);
    st.roi_enh_slices += enc.layer == 1 && in_region(enc, sh.first_mb);
    int qp = slice_qp(sh, pps, in_region(enc, sh.first_mb));
    const int w = enc.mb_width;
    const bool p_slice = sh.slice_type % 3 == SLICE_P;
    const bool random = enc.opt.mode == EncMode::Random;
    const bool b_slice = sh.slice_type % 3 == SLICE_B;
    const bool inter_slice = p_slice || b_slice;
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
    if (pps.cabac) {
        // The arithmetic-coded data starts at the next byte.
        bw.put(0, static_cast<int>((8 - bw.bit_count() % 8) % 8));
        enc.cabac_bits.clear();
        cabac_start(enc.cabac, &enc.cabac_bits, st.cabac_ctx_bins);
        enc.cabac_nb.last_qp_delta = 0;
    }
    int run = 0;
    // Share of skipped macroblocks in this slice: none, some, most, or all
    // (runs over the whole slice and to the end of the picture).
    static constexpr int kSkipShares[] = {0, 25, 25, 40, 90, 100};
    const int skip_pct = inter_slice && random ? kSkipShares[enc.rng.range(0, 5)] : 0;
    const int intra_pct = skip_pct == 100 ? 0 : 10;
    MbNeighbours next_nb;
    const size_t count = plan.addrs.size();
    for (size_t i = 0; i < count; i++) {
        const int addr = plan.addrs[i];
        const bool outside = i >= plan.outside_from;
        // The first macroblock of a slice sees no neighbour.
        MbNeighbours nb = i == 0        ? MbNeighbours{}
                          : enc.sps.roi ? next_nb
                                        : mb_neighbours(addr, w, sh.first_mb);
        if (nb.left) nb.corner_mv = (enc.mb_flags[static_cast<size_t>(addr - 1)] & 2) != 0;
        st.roi_lone_corners += nb.top_left && !nb.corner_mv;
        enc.mb_flags[static_cast<size_t>(addr)] = nb.flags();
        if (outside && i == plan.outside_from && run > 0 && !pps.cabac) {
            // The pending run may reach on into the outside macroblocks.
            const int extra =
                random && enc.rng.percent(60)
                    ? enc.rng.range(0, std::min<int>(static_cast<int>(count - i), kLongCode - 1 - run))
                    : 0;
            bw.put_ue(static_cast<uint32_t>(run + extra));
            st.roi_runs_into_outside += extra > 0;
            run = 0;
        }
        const ModeEdge *left = nb.left ? &enc.mb_edges[addr - 1] : nullptr;
        const ModeEdge *top = nb.top ? &enc.mb_edges[addr - w] : nullptr;
        bool done = false;
        if (b_slice) b_dir_codes_start(enc.dir_code, nb.left);
        if (outside) {
            if (b_slice)
                encode_b_mb<Pixel>(enc, sh, addr, nb, bp, qp_changes, 100, qp, run, bw, lf, true);
            else
                encode_p_mb<Pixel>(enc, sh, addr, nb, pic, qp_changes, 100, qp, run, bw, lf, true);
            done = true;
        } else if (b_slice && (!random || !enc.rng.percent(intra_pct))) {
            if (random) {
                encode_b_mb<Pixel>(enc, sh, addr, nb, bp, qp_changes, skip_pct, qp, run, bw, lf, false);
                done = true;
            } else {
                done = encode_real_b_mb<Pixel>(enc, *source, sh, addr, nb, left, top, bp, qp, run, bw, lf);
            }
        } else if (p_slice && (!random || !enc.rng.percent(intra_pct))) {
            if (random) {
                encode_p_mb<Pixel>(enc, sh, addr, nb, pic, qp_changes, skip_pct, qp, run, bw, lf, false);
                done = true;
            } else {
                done = encode_real_p_mb<Pixel>(enc, *source, sh, addr, nb, left, top, pic, qp, run, bw, lf);
            }
        }
        if (!done) encode_intra_mb<Pixel>(enc, source, sh, addr, nb, qp_changes, qp, run, bw, lf);
        if (enc.pps.cabac) cabac_put_end(enc.cabac, i + 1 == count);
        if (enc.sps.roi)
            next_nb = region_advance(enc.roi, addr, enc.slice_number, inter_slice && pps.roi_skip,
                                     static_cast<int>(pps.roi_first.size()));
    }
    // Skipped macroblocks at the end of the slice: a run with no macroblock
    // after it. A slice that ends inside the picture with a coded macroblock
    // may close with an empty run, so the reader finds a run where it looks
    // for one instead of running out of bits.
    if (pps.cabac) {
        for (uint8_t b : cabac_finish(enc.cabac)) bw.put(b, 8);
        run = 0;
    }
    const bool last = plan.addrs.back() == enc.mb_width * enc.mb_height - 1;
    if (p_slice) {
        st.single_ref_slices += sh.single_ref;
        st.two_bit_ref_slices += sh.field_pic && !sh.single_ref;
    }
    st.b_field_ref_slices += b_slice && sh.field_pic && !sh.single_ref;
    if (inter_slice) {
        st.skip_runs_at_slice_end += run > 0;
        st.skip_runs_to_picture_end += run > 0 && last;
    }
    st.field_pictures += sh.field_pic && sh.first_mb == 0;
    if (inter_slice && !pps.cabac && plan.outside_from >= count &&
        (run > 0 || (!last && (!random || enc.rng.percent(50)))))
        bw.put_ue(static_cast<uint32_t>(run));
}

// Distances of the picture numbered `cur` to the references.
void distances(const Encoder &enc, int cur, InterPicture &pic) {
    for (int r = 0; r < 2; r++) {
        pic.ref_dist[r] = (cur - enc.ref_pic_num[r]) & 0x1FF;
        pic.inv_dist[r] = pic.ref_dist[r] ? 512 / pic.ref_dist[r] : 0;
    }
}

// Hands out a reference as a decoder does.
void output_reference(Encoder &enc, int r, std::vector<Frame> &output) {
    output.push_back(enc.refs[r]);
    enc.last_output_num = enc.ref_pic_num[r];
    enc.last_output_display = enc.ref_display[r];
}

// The reference whose picture number follows the last one handed out, or -1.
int next_reference(const Encoder &enc) {
    const int next = (enc.last_output_num + 2) & 0x1FF;
    if (enc.ref_count > 0 && next == enc.ref_pic_num[0]) return 0;
    if (enc.ref_count > 1 && next == enc.ref_pic_num[1]) return 1;
    return -1;
}

// Codes one layer's picture with display index `display` as `kind` (I, P or
// B), then updates the references and hands out what a decoder would.
void code_layer(Encoder &enc, int display, char kind, bool keyframe, const Frame *source,
                std::vector<uint8_t> &stream, std::vector<Frame> &output) {
    const bool random = enc.opt.mode == EncMode::Random;
    const bool b_picture = kind == 'B' && enc.ref_count > 1;
    const bool p_picture = !b_picture && kind != 'I' && enc.ref_count > 0;
    const int slice_type = b_picture ? SLICE_B : p_picture ? SLICE_P : SLICE_I;
    const int cur = 2 * (display & 0xFF);
    BPicture bp;
    if (b_picture) {
        distances(enc, cur, bp.pic);
        bp.pic.ref_dist[0] = (enc.ref_pic_num[0] - cur) & 0x1FF;
        bp.pic.inv_dist[0] = bp.pic.ref_dist[0] ? 512 / bp.pic.ref_dist[0] : 0;
        bp.sym_scale = bp.pic.ref_dist[0] * bp.pic.inv_dist[1];
        bp.col_inv[0] = enc.col_inv[0];
        bp.col_inv[1] = enc.col_inv[1];
        bp.pic.field = enc.opt.field;
        enc.stats.b_pictures++;
    } else {
        InterPicture d;
        distances(enc, cur, d);
        for (int r = 0; r < 2; r++) enc.col_inv[r] = d.ref_dist[r] ? 16384 / d.ref_dist[r] : 0;
    }
    const int type = enc.layer  ? (keyframe ? NAL_SLICE_ENH_KEY : NAL_SLICE_ENH)
                     : keyframe ? NAL_SLICE_KEY
                                : NAL_SLICE;
    if (enc.sps.roi) enc.roi.index = region_index_map(enc.pps, enc.mb_width, enc.mb_height);
    bool first = true;
    for (const SlicePlan &plan : plan_slices(enc, slice_type != SLICE_I)) {
        SliceHeader sh = make_slice_header(enc, plan.addrs[0], keyframe, display, slice_type);
        // The offsets a slice without override keeps are shared by the
        // layers; a decoder of one layer never sees the other's, so each
        // layer picture sets its own.
        sh.lf_override = sh.lf_override || (enc.opt.svc && first);
        first = false;
        bp.pic.single_ref = sh.single_ref;
        BitWriter bw;
        if (enc.opt.bit_depth > 8)
            encode_slice<uint16_t>(enc, source, sh, plan, bp, bw);
        else
            encode_slice<uint8_t>(enc, source, sh, plan, bp, bw);
        put_nal(stream, type, bw, random ? &enc.rng : nullptr, enc.opt.encrypt ? &enc.opt.key : nullptr);
    }
    enc.pictures++;
    enc.recon.display = display;
    if (b_picture) {
        // B pictures are handed out as soon as they are complete.
        output.push_back(enc.recon);
        enc.last_output_num = cur;
        enc.last_output_display = display;
        return;
    }
    // A finished I or P picture restarts the slice count and the region
    // passes, becomes the newest reference and the co-located picture of the
    // B pictures that follow.
    enc.slice_number = 0;
    region_scan_start(enc.roi, enc.roi.index, enc.mb_width, static_cast<int>(enc.pps.roi_first.size()));
    enc.refs[1] = std::move(enc.refs[0]);
    enc.refs[0] = enc.recon;
    enc.ref_pic_num[1] = enc.ref_pic_num[0];
    enc.ref_pic_num[0] = cur;
    enc.ref_display[1] = enc.ref_display[0];
    enc.ref_display[0] = display;
    enc.ref_count = std::min(enc.ref_count + 1, 2);
    enc.col_mvs = enc.mvs;
    for (size_t i = 0; i < enc.col_types.size(); i++)
        enc.col_types[i] = static_cast<uint8_t>(enc.mb_info[i].type < 2 ? 0 : enc.mb_info[i].type);
    // The reference numbered after the last output, else the newest one: a
    // P picture after B pictures may so come out twice.
    const int r = next_reference(enc);
    output_reference(enc, r < 0 ? 0 : r, output);
}

// Codes the picture with display index `display` in every layer: the base
// picture, then the enhancement picture with the same parameter sets,
// number and type.
void code_picture(Encoder &enc, int display, char kind, const Frame *source, std::vector<uint8_t> &stream,
                  std::vector<Frame> &output) {
    const bool random = enc.opt.mode == EncMode::Random;
    send_parameter_sets(enc, stream);
    if (random) send_side_units(enc.rng, stream);
    const bool keyframe = enc.pictures == 0 || !random || enc.rng.percent(50);
    if (source && enc.enh) downscale_half(*source, enc.half_source);
    code_layer(enc, display, kind, keyframe, enc.enh && source ? &enc.half_source : source, stream, output);
    if (!enc.enh) return;
    Encoder &e = *enc.enh;
    e.sps = enc.sps;
    e.pps = enc.pps;
    if (e.sps.roi) map_regions_to_enhancement(e.pps, enc.mb_width, e.mb_width);
    // A decoder keeps the deblocking offsets and the slice count once for
    // both layers.
    e.lf_alpha = enc.lf_alpha;
    e.lf_beta = enc.lf_beta;
    e.slice_number = enc.slice_number;
    e.base = &enc.recon;
    code_layer(e, display, kind, keyframe, source, stream, output);
    enc.lf_alpha = e.lf_alpha;
    enc.lf_beta = e.lf_beta;
    enc.slice_number = e.slice_number;
    add_stats(enc.stats, e.stats);
    e.stats = PathStats{};
}

}  // namespace

void encoder_init(Encoder &enc, const EncoderOptions &opt) {
    init_kernels(opt.cpu_flags);
    init_layer(enc, opt, 0);
    if (!opt.svc) return;
    enc.enh = std::make_unique<Encoder>();
    init_layer(*enc.enh, opt, 1);
}

void encode_picture(Encoder &enc, const Frame *source, std::vector<uint8_t> &stream,
                    std::vector<Frame> &output) {
    const int display = enc.received++;
    const char kind = enc.opt.gop[static_cast<size_t>(display) % enc.opt.gop.size()];
    if (kind == 'B' && enc.received > 1) {
        enc.waiting.emplace_back(display, source ? *source : Frame{});
        return;
    }
    code_picture(enc, display, kind, source, stream, output);
    for (auto &w : enc.waiting) code_picture(enc, w.first, 'B', source ? &w.second : nullptr, stream, output);
    enc.waiting.clear();
}

void encode_finish(Encoder &enc, std::vector<uint8_t> &stream, std::vector<Frame> &output) {
    for (auto &w : enc.waiting)
        code_picture(enc, w.first, 'P', w.second.width ? &w.second : nullptr, stream, output);
    enc.waiting.clear();
    // A drain stops at a picture already handed out; a layer holds two
    // references. The base layer is drained first.
    for (Encoder *l = &enc; l; l = l->enh.get())
        for (int k = 0; k < 2; k++) {
            int r = next_reference(*l);
            if (r < 0 && l->ref_count > 0 && l->ref_pic_num[0] == 0) r = 0;
            if (r < 0 || l->ref_display[r] == l->last_output_display) break;
            output_reference(*l, r, output);
            output.back().drained = true;
        }
}

}  // namespace svacenc
