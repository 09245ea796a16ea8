// The stream driver: cuts the caller's bytes into NAL units at start codes,
// removes emulation prevention, deciphers protected payloads, dispatches by
// NAL unit type and hands out at most one picture per call.
#include <algorithm>
#include <cstring>

#include "decoder/decoder.h"
#include "decoder/extension.h"
#include "decoder/output.h"
#include "decoder/param_sets.h"
#include "decoder/secure_params.h"
#include "decoder/slice.h"
#include "mem/mem.h"
#include "security/crypto.h"

namespace {

bool is_start_code(const uint8_t *p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// Offset where the payload stops (next start code or zero padding), or -1;
// `has_ep` tells that the stop is an emulation-prevention sequence instead.
// Looks at every second byte.
int32_t find_payload_end(const uint8_t *b, int32_t n, bool *has_ep) {
    *has_ep = false;
    int32_t i = 0;
    while (i + 1 < n) {
        if (b[i] == 0) {
            if (i > 0 && b[i - 1] == 0) i--;
            if (i + 2 < n && b[i + 1] == 0 && b[i + 2] <= 3) {
                *has_ep = b[i + 2] == 3;
                return i;
            }
        }
        i += 2;
    }
    return -1;
}

// Copies the payload without its emulation-prevention bytes; returns the
// bytes written and sets the source bytes read.
int32_t unescape_payload(const uint8_t *src, int32_t n, uint8_t *dst, int32_t *read) {
    int32_t s = 0, w = 0;
    while (s < n) {
        if (s + 2 < n && src[s] == 0 && src[s + 1] == 0 && src[s + 2] <= 3) {
            if (src[s + 2] != 3) break;
            dst[w++] = 0;
            dst[w++] = 0;
            s += 3;
        } else {
            dst[w++] = src[s++];
        }
    }
    *read = s;
    return w;
}

// Payload size in bits without trailing zero bytes, the stop bit and the
// bits after it.
int32_t payload_bits(const uint8_t *b, int32_t len) {
    while (len > 1 && b[len - 1] == 0) len--;
    if (len <= 0) return 0;
    const uint8_t last = b[len - 1];
    const int pos = last ? __builtin_ctz(last) + 1 : 0;
    return 8 * len - pos;
}

bool can_decipher(const SvacDecoder *dec) {
    return dec->nal_encrypted && dec->sec.encryption_flag && dec->sec.cipher;
}

// One NAL unit as the driver hands it on: header values in the decoder, the
// payload unescaped and deciphered.
struct NalUnit {
    const uint8_t *payload;  // null when its buffer could not be allocated
    int32_t len;
    int32_t bits;  // without the stop bit and what follows it
};

// Reads the NAL unit whose start code is at data[p]: header, payload end,
// emulation prevention and deciphering. Returns the bytes after the start
// code that the unit takes.
int32_t read_nal_unit(SvacDecoder *dec, const uint8_t *data, int32_t length, int32_t p, NalUnit *u) {
    const uint8_t header = data[p + 3];
    dec->nal_ref_flag = (header >> 6) & 1;
    dec->nal_unit_type = (header >> 2) & 15;
    dec->nal_encrypted = (header >> 1) & 1;
    dec->nal_ext_flag = header & 1;
    // A header extension byte cut off by the end of the input is not
    // there to be consumed: the count must stay within the caller's bytes.
    const int32_t h = std::min(dec->nal_ext_flag ? 2 : 1, length - (p + 3));
    const uint8_t *src = data + p + 3 + h;
    const int32_t n = length - (p + 3) - h;

    bool has_ep;
    const int32_t end = find_payload_end(src, n, &has_ep);
    int32_t consumed;
    if (!has_ep) {
        u->len = end >= 0 ? end : n;
        consumed = u->len + h;
        u->payload = src;
        if (can_decipher(dec)) {
            dec->nal_buffer = static_cast<uint8_t *>(
                VQ_SVACDEC_svac_fast_realloc(dec->nal_buffer, &dec->nal_buffer_size, u->len));
            if (dec->nal_buffer) VQ_SVACDEC_crypto_decrypt(dec->sec.cipher, dec->nal_buffer, src, u->len);
            u->payload = dec->nal_buffer;
        }
    } else {
        dec->nal_buffer =
            static_cast<uint8_t *>(VQ_SVACDEC_svac_fast_realloc(dec->nal_buffer, &dec->nal_buffer_size, n));
        u->payload = dec->nal_buffer;
        int32_t read = n;
        u->len = 0;
        if (dec->nal_buffer) {
            u->len = unescape_payload(src, n, dec->nal_buffer, &read);
            if (can_decipher(dec))
                VQ_SVACDEC_crypto_decrypt(dec->sec.cipher, dec->nal_buffer, dec->nal_buffer, u->len);
        }
        consumed = read + h;
    }
    u->bits = u->payload ? payload_bits(u->payload, u->len) : 0;
    return 3 + consumed;
}

// Hands the unit to its parser: 0 to go on, or a negative error that ends
// the call.
int dispatch_nal_unit(SvacDecoder *dec, const NalUnit &u, int32_t *got_picture) {
    const int32_t type = dec->nal_unit_type;
    if (type >= NAL_SLICE_BASE && type <= NAL_SLICE_ENH_KEY) dec->layer = type >= NAL_SLICE_ENH ? 1 : 0;
    const bool parsed =
        (type >= NAL_SLICE_BASE && type <= NAL_EXTENSION) || (type >= NAL_SPS && type <= NAL_SECURITY);
    if (!parsed) return 0;
    // An empty payload carries no syntax: the unit is skipped.
    if (u.payload && u.len == 0) return 0;
    if (!svac_br_init(&dec->br, u.payload, u.bits)) return SVAC_ERR_INVALID;
    dec->payload_end = u.payload + u.len;

    switch (type) {
        case NAL_SPS:
            return decode_seq_parameter_set(dec);
        case NAL_PPS:
            return decode_picture_parameter_set(dec);
        case NAL_SECURITY:
            VQ_SVACDEC_decode_secure_parameter_set(dec);
            return 0;
        case NAL_EXTENSION:
            svac_decode_extension(dec);
            return 0;
        default:
            break;
    }

    SvacLayerState &l = svac_cur_layer(dec);
    if ((type == NAL_SLICE_BASE_KEY || type == NAL_SLICE_ENH_KEY) && !l.keyframe_seen) {
        VQ_SVACDEC_frame_put(&l.ref_frame[0]);
        VQ_SVACDEC_frame_put(&l.ref_frame[1]);
        l.keyframe_seen = 1;
    }
    if (!l.keyframe_seen) return 0;
    const int r = decode_slice(dec);
    if (r < 0) return r;
    if (r == 0) {
        *got_picture = svac_choose_output(svac_cur_layer(dec), dec->pic_type == PIC_B) ? 1 : 0;
    }
    return 0;
}

}  // namespace

int32_t VQ_SVACDEC_svac_dec_decode(SvacDecoder *dec, int32_t *got_picture, const uint8_t *data,
                                   int32_t length) {
    *got_picture = 0;
    VQ_SVACDEC_frame_put(&dec->layers[0].output_frame);
    VQ_SVACDEC_frame_put(&dec->layers[1].output_frame);
    if (!data) length = 0;

    int32_t p = 0;
    for (;;) {
        if (p + 3 >= length) return p;
        while (!is_start_code(data + p)) {
            p++;
            if (p + 3 >= length) return p;
        }
        if (*got_picture) return p;
        NalUnit unit;
        p += read_nal_unit(dec, data, length, p, &unit);
        if (int r = dispatch_nal_unit(dec, unit, got_picture); r < 0) return r;
    }
}
