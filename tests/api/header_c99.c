/* A C99 host using nothing but the public header and the shared library. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "svacdec.h"

static int fail(const char *what) {
    printf("FAIL: %s\n", what);
    return 1;
}

int main(void) {
    SvacDecInput in;
    SvacDecOutput out;
    SvacDecExtInfo ext;
    void *dec;
    uint8_t bytes[] = {0, 0, 1};
    const char *v;

    /* Record layouts a host relies on. */
    if (offsetof(SvacDecInput, length) != sizeof(uint8_t *)) return fail("input layout");
    if (offsetof(SvacDecOutput, stride) != 3 * sizeof(uint8_t *)) return fail("output layout");
    if (sizeof(SvacDecExtInfo) != 9 * sizeof(uint32_t)) return fail("extension layout");

    if (VQ_SVAC_Dec_Open() != NULL) return fail("open before init");
    if (VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps()) != 0) return fail("init");
    v = VQ_SVAC_Dec_GetVersion();
    if (strncmp(v, "0.1.33860M (", 12) != 0) return fail("version");
    dec = VQ_SVAC_Dec_Open();
    if (!dec) return fail("open");

    memset(&out, 0x55, sizeof out);
    ext.flags = 7;
    in.data = bytes;
    in.length = 3;
    in.layer_mask = 0;
    if (VQ_SVAC_Dec_Decode(dec, &in, &out, &ext) != 0) return fail("decode of a bare start code");
    if (out.got_picture != 0 || ext.flags != 0) return fail("records after an empty call");
    if (VQ_SVAC_Get_LastFrame(dec, 2, &out) != -2 || out.got_picture != 0) return fail("bad layer");
    if (VQ_SVAC_Get_LastFrame(dec, 0, &out) != 0 || out.got_picture != 0) return fail("empty flush");
    if (VQ_SVAC_Set_Key(dec, bytes, 3) != 0) return fail("set key");
    VQ_SVAC_Dec_Close(dec);
    VQ_SVAC_Dec_Close(NULL);
    return VQ_SVAC_Dec_DeInit();
}
