/* SVAC video decoder: host interface.
 *
 * Typical use:
 *   VQ_SVAC_Dec_Init(VQ_SVAC_Dec_GetCPUCaps());
 *   void *dec = VQ_SVAC_Dec_Open();
 *   loop: VQ_SVAC_Dec_Decode(dec, &in, &out, &ext), advancing in.data by the
 *         returned count; a picture is in `out` when out.got_picture is 1
 *   at the end: VQ_SVAC_Get_LastFrame(dec, layer, &out) until got_picture is 0
 *   VQ_SVAC_Dec_Close(dec);
 *
 * This header is self-contained and compiles as C99 and as C++.
 */
#ifndef SVACDEC_H
#define SVACDEC_H

#include <stdint.h>

#if defined(_WIN32)
#define SVACDEC_API
#elif defined(__GNUC__)
#define SVACDEC_API __attribute__((visibility("default")))
#else
#define SVACDEC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What the host hands to one decoding call. */
typedef struct SvacDecInput {
    uint8_t *data;       /* one or more NAL units with their start codes */
    int32_t length;      /* bytes at data */
    uint32_t layer_mask; /* bit 0 base layer, bit 1 enhancement layer; 0 and 3 mean both */
} SvacDecInput;

/* A decoded picture. The planes belong to the decoder. */
typedef struct SvacDecOutput {
    uint8_t *plane[3];         /* top-left sample of Y, Cb, Cr; only plane[0] for 4:0:0 */
    int32_t stride[3];         /* line strides in bytes */
    int32_t width;             /* luma samples, a multiple of 16 */
    int32_t height;            /* luma lines after the display adjustment */
    int32_t got_picture;       /* 1 when this record describes a picture */
    int32_t layer;             /* 0 base layer, 1 enhancement layer */
    int32_t chroma_format_idc; /* 0 = 4:0:0, 1 = 4:2:0, 2 = 4:2:2 */
    int32_t bit_depth;         /* 8 or 10; 10-bit samples are 16-bit words */
} SvacDecOutput;

/* Time-stamp extension data met during one decoding call. */
typedef struct SvacDecExtInfo {
    uint32_t flags; /* bit value 2: a time extension was parsed during the call */
    uint32_t year;
    uint32_t month;
    uint32_t day;
    uint32_t hour;
    uint32_t minute;
    uint32_t second;
    uint32_t time_fraction;
    uint32_t time_extra;
} SvacDecExtInfo;

/* Fills the process-wide kernel tables; call once before any Open. */
SVACDEC_API int32_t VQ_SVAC_Dec_Init(uint32_t cpu_flags);
SVACDEC_API int32_t VQ_SVAC_Dec_DeInit(void);
SVACDEC_API const char *VQ_SVAC_Dec_GetVersion(void);
SVACDEC_API uint32_t VQ_SVAC_Dec_GetCPUCaps(void);

SVACDEC_API void *VQ_SVAC_Dec_Open(void);
SVACDEC_API void VQ_SVAC_Dec_Close(void *decoder);

/* Returns the bytes consumed (0 or more) or a negative error. */
SVACDEC_API int32_t VQ_SVAC_Dec_Decode(void *decoder, SvacDecInput *in, SvacDecOutput *out,
                                       SvacDecExtInfo *ext);
/* Hands out the next pending reference picture of a layer at the end of a stream. */
SVACDEC_API int32_t VQ_SVAC_Get_LastFrame(void *decoder, int32_t layer, SvacDecOutput *out);
/* Key for enciphered streams; must come before the security parameter set. */
SVACDEC_API int32_t VQ_SVAC_Set_Key(void *decoder, const uint8_t *key, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* SVACDEC_H */
