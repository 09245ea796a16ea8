#include "decoder/extension.h"

#include "decoder/decoder.h"

namespace {

enum ExtensionId : uint32_t {
    EXT_ROI = 1,
    EXT_OPAQUE = 2,
    EXT_ALERT = 3,
    EXT_TIME = 4,
    EXT_END = 0x80,
};

bool fits(const SvacBitReader *br, int64_t bits) { return svac_br_bits_left(br) >= bits; }

// Returns false when the extension runs past the payload end; its values are
// then not stored.
bool time_extension(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    if (!fits(br, 32 + 5 + 6 + 6 + 14 + 1 + 8)) return false;
    svac_br_skip(br, 32);
    SvacDecExtInfo t = *dec->ext_info;
    t.hour = svac_br_read(br, 5);
    t.minute = svac_br_read(br, 6);
    t.second = svac_br_read(br, 6);
    t.time_fraction = svac_br_read(br, 14);
    if (svac_br_read1(br)) {
        if (!fits(br, 7 + 4 + 5 + 8)) return false;
        t.year = svac_br_read(br, 7) + 2000;
        t.month = svac_br_read(br, 4);
        t.day = svac_br_read(br, 5);
    }
    if (!fits(br, 8)) return false;
    t.time_extra = svac_br_read(br, 8);
    t.flags |= 2;
    *dec->ext_info = t;
    return true;
}

bool skip_counted(SvacBitReader *br, int count_bits, int pad_bits, int64_t bits_per_item) {
    if (!fits(br, 32 + count_bits + pad_bits)) return false;
    svac_br_skip(br, 32);
    const int64_t count = svac_br_read(br, count_bits);
    svac_br_skip(br, pad_bits);
    if (!fits(br, count * bits_per_item)) return false;
    svac_br_skip(br, static_cast<int>(count * bits_per_item));
    return true;
}

bool roi_extension(SvacBitReader *br) { return skip_counted(br, 4, 4, 32); }
bool alert_extension(SvacBitReader *br) { return skip_counted(br, 6, 2, 24); }

bool opaque_extension(SvacBitReader *br) {
    if (!fits(br, 32 + 8)) return false;
    svac_br_skip(br, 32);
    const uint32_t count = svac_br_read(br, 4);
    svac_br_skip(br, 4);
    for (uint32_t i = 0; i < count; i++) {
        if (!fits(br, 8)) return false;
        const int bytes = svac_br_read(br, 8);
        if (!fits(br, 8 * bytes)) return false;
        svac_br_skip(br, 8 * bytes);
    }
    return true;
}

}  // namespace

// The loop trusts identifiers and counts but never reads past the payload end:
// an extension that does not fit ends the NAL unit.
void svac_decode_extension(SvacDecoder *dec) {
    SvacBitReader *br = &dec->br;
    while (fits(br, 8)) {
        bool ok;
        switch (svac_br_read(br, 8)) {
            case EXT_TIME:
                ok = time_extension(dec);
                break;
            case EXT_ROI:
                ok = roi_extension(br);
                break;
            case EXT_OPAQUE:
                ok = opaque_extension(br);
                break;
            case EXT_ALERT:
                ok = alert_extension(br);
                break;
            default:
                ok = false;
                break;  // 0x80 ends the unit; unknown ids abandon it
        }
        if (!ok) return;
    }
}
