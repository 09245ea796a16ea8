// The host functions: records in, records out; the work is done by the
// decoder's entry points.
#include <cstring>

#include "arch/x86/cpu.h"
#include "decoder/decoder.h"
#include "decoder/output.h"

namespace {

// Coded heights that stand for a smaller displayed height.
int32_t display_height(int32_t w, int32_t h, bool flushing, bool svc) {
    if (w == 1920 && h == 1088) return 1080;
    if (w == 1280 && h == 736 && (!flushing || !svc)) return 720;
    if (!flushing) {
        if (w == 640 && h == 368) return 360;
        if (w == 960 && h == 544) return 540;
    }
    return h;
}

void fill_output(const SvacDecoder *dec, const SvacFrame *f, int32_t layer, SvacDecOutput *out,
                 bool flushing) {
    const SvacSeqParams *sps = dec->cur_sps;
    out->layer = layer;
    out->width = f->width;
    out->got_picture = 1;
    // The frame, not the current sequence set, says what its planes hold: a
    // later set of the same size may have another format.
    out->chroma_format_idc = f->format % 100 - 1;
    out->bit_depth = f->format > 100 ? 10 : 8;
    for (int i = 0; i < 3; i++) {
        out->plane[i] = f->plane[i];
        out->stride[i] = f->stride[i];
    }
    out->height = display_height(f->width, f->height, flushing, sps && sps->svc_flag);
}

}  // namespace

extern "C" {

SVAC_EXPORT int32_t VQ_SVAC_Dec_Init(uint32_t cpu_flags) { return VQ_SVACDEC_svac_dec_init(cpu_flags); }
SVAC_EXPORT int32_t VQ_SVAC_Dec_DeInit(void) { return VQ_SVACDEC_svac_dec_deinit(); }
SVAC_EXPORT const char *VQ_SVAC_Dec_GetVersion(void) { return VQ_SVACDEC_svac_dec_version(); }
SVAC_EXPORT uint32_t VQ_SVAC_Dec_GetCPUCaps(void) { return VQ_SVACDEC_get_cpu_flags_x86(); }
SVAC_EXPORT void *VQ_SVAC_Dec_Open(void) { return VQ_SVACDEC_svac_dec_open(); }
SVAC_EXPORT void VQ_SVAC_Dec_Close(void *decoder) { VQ_SVACDEC_svac_dec_close(decoder); }

SVAC_EXPORT int32_t VQ_SVAC_Dec_Decode(void *decoder, SvacDecInput *in, SvacDecOutput *out,
                                       SvacDecExtInfo *ext) {
    auto *dec = static_cast<SvacDecoder *>(decoder);
    dec->layer_mask = in->layer_mask;
    dec->ext_info = ext;
    ext->flags = 0;
    int32_t ready = 0;
    const int32_t r = VQ_SVACDEC_svac_dec_decode(dec, &ready, in->data, in->length);
    if (!ready) {
        out->got_picture = 0;
        return r;
    }
    fill_output(dec, dec->layers[dec->layer].output_frame, dec->layer, out, false);
    return r;
}

SVAC_EXPORT int32_t VQ_SVAC_Get_LastFrame(void *decoder, int32_t layer, SvacDecOutput *out) {
    out->got_picture = 0;
    if (layer != 0 && layer != 1) return SVAC_ERR_INVALID;
    auto *dec = static_cast<SvacDecoder *>(decoder);
    SvacLayerState &l = dec->layers[layer];
    const int slot = svac_take_output_slot(l, true);
    if (slot >= 0) fill_output(dec, l.ref_frame[slot], layer, out, true);
    return 0;
}

SVAC_EXPORT int32_t VQ_SVAC_Set_Key(void *decoder, const uint8_t *key, uint32_t length) {
    auto *dec = static_cast<SvacDecoder *>(decoder);
    const uint32_t n = length < SVAC_KEY_MAX ? length : SVAC_KEY_MAX;
    if (key && n) std::memcpy(dec->sec.key, key, n);
    dec->sec.key_len = n;
    return 0;
}

}  // extern "C"
