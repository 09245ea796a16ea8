#include "stream_units.h"

#include "nal_writer.h"

namespace svacenc {

namespace {

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

// Regions of a new picture set: the given ones or random ones, with their
// quantiser and whether P pictures skip the macroblocks outside them.
void choose_regions(Encoder &enc) {
    const EncoderOptions &o = enc.opt;
    PicParams &p = enc.pps;
    Rng &rng = enc.rng;
    const bool random = o.mode == EncMode::Random;
    const int limit = enc.mb_width * enc.mb_height / 2;  // a decoder's region arrays hold no more
    std::vector<RegionRect> rects = o.roi_rects;
    if (o.roi_random) {
        rects = random_regions(rng, enc.mb_width, enc.mb_height, limit);
        std::erase_if(rects,
                      [&](const RegionRect &r) { return !region_codes_short(r, enc.mb_width, o.svc); });
    }
    set_regions(p, rects, enc.mb_width);
    // Without regions the set carries neither flag nor quantiser.
    p.roi_skip = !p.roi_first.empty() && (o.roi_skip || (random && rng.percent(50)));
    p.roi_el = random && rng.percent(50);
    p.roi_qp = o.roi_qp >= 0 ? o.roi_qp : random ? rng.range(0, 55) : p.pic_qp;
}

}  // namespace

void put_nal(std::vector<uint8_t> &stream, int type, BitWriter &bw, Rng *rng, const CipherKey *key) {
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
        p.cabac = o.cabac;
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
        if (o.roi) choose_regions(enc);
        // A picture set restarts the slice count and the region passes (of
        // both layers).
        for (Encoder *l = &enc; l; l = l->enh.get()) {
            l->slice_number = 0;
            l->roi.left_slice = 0;
            l->roi.remaining = static_cast<int>(p.roi_first.size());
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

}  // namespace svacenc
