// Fillers that install the SSE2/SSSE3 kernels into the 8-bit rows of the
// kernel tables. Each lives in the unit of its instruction set; the hooks
// call them only when the feature word allows.
#pragma once

#include "dsp/dct.h"
#include "dsp/loopfilter.h"
#include "dsp/mc.h"
#include "dsp/predict.h"
#include "dsp/quant.h"

// Rows [0: 16x16, 1: 8x8][4 * y phase + x phase] of the 8-bit luma tables.
void svac_qpel_init_ssse3(SvacQpelFn put[2][16], SvacQpelFn avg[2][16]);
// Entries [0: 8 wide, 1: 4 wide] of the 8-bit chroma tables.
void svac_chroma_init_ssse3(SvacChromaMcFn put[4], SvacChromaMcFn avg[4]);
void svac_dct_init_sse2(SvacIdctAddFn *idct4, SvacIdctAddFn *idct8);
void svac_quant_init_sse2(SvacDequantFn *dequant4, SvacDequantFn *dequant8);
void svac_loopfilter_init_sse2(SvacLoopFilterFunc *lv, SvacLoopFilterFunc *lh, SvacLoopFilterFunc *cv,
                               SvacLoopFilterFunc *ch);
// The 8-bit modes of intra_pred_l_4x4, intra_pred_l and intra_pred_c.
void svac_predict_init_ssse3(SvacIntraPredFn l4[8], SvacIntraPredFn l8[8], SvacIntraPredFn c[7]);
