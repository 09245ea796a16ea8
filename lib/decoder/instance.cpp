// Library initialisation, version text, and the life cycle of an instance.
#include <cstring>

#include "decoder/decoder.h"
#include "decoder/lines.h"
#include "decoder/secure_params.h"
#include "dsp/dsp_init.h"
#include "mem/mem.h"
#include "security/crypto.h"

namespace {

bool g_initialised = false;
char g_version[64];

}  // namespace

int32_t VQ_SVACDEC_svac_dec_init(uint32_t cpu_flags) {
    svac_kernels_init(cpu_flags);
    VQ_SVACDEC_security_init(cpu_flags);
    g_initialised = true;
    return 0;
}

int32_t VQ_SVACDEC_svac_dec_deinit(void) { return 0; }

const char *VQ_SVACDEC_svac_dec_version(void) {
    std::snprintf(g_version, sizeof(g_version), "%d.%d.%s (%s %s)", 0, 1, "33860M", __DATE__, __TIME__);
    return g_version;
}

void *VQ_SVACDEC_svac_dec_open(void) {
    if (!g_initialised) {
        std::puts("lib not init");
        return nullptr;
    }
    auto *dec = static_cast<SvacDecoder *>(VQ_SVACDEC_svac_mallocz(sizeof(SvacDecoder)));
    if (!dec) return nullptr;
    for (SvacLayerState &l : dec->layers) {
        l.mb.picture_complete = 1;
        l.last_output_num = -1;
        svac_reset_mb_caches(&l.mb);
    }
    svac_security_open(dec);
    dec->prev_frame_num = -1;
    dec->frame_num = -1;
    dec->last_sps_id = -1;
    dec->field_parity = -1;
    return dec;
}

void VQ_SVACDEC_svac_end(SvacDecoder *dec) {
    for (SvacLayerState &l : dec->layers) {
        VQ_SVACDEC_frame_put(&l.cur_frame);
        VQ_SVACDEC_frame_put(&l.output_frame);
        VQ_SVACDEC_frame_put(&l.ref_frame[0]);
        VQ_SVACDEC_frame_put(&l.ref_frame[1]);
        VQ_SVACDEC_frame_pool_uninit(&l.pool);
        svac_free_lines(&l.mb);
    }
    VQ_SVACDEC_svac_freep(&dec->svc_scratch);
    VQ_SVACDEC_svac_freep(&dec->scratch);
    VQ_SVACDEC_svac_freep(&dec->edge_emu_buffer);
    VQ_SVACDEC_svac_freep(&dec->nal_buffer);
    dec->nal_buffer_size = 0;
    svac_free_param_sets(dec);
    svac_security_close(dec);
}

void VQ_SVACDEC_svac_dec_close(void *decoder) {
    if (!decoder) return;
    auto *dec = static_cast<SvacDecoder *>(decoder);
    VQ_SVACDEC_svac_end(dec);
    VQ_SVACDEC_svac_free(dec);
}
