// Copies of every kernel table, taken while they hold the portable kernels.
#pragma once

#include <vector>

#include "dsp/dct.h"
#include "dsp/loopfilter.h"
#include "dsp/mc.h"
#include "dsp/predict.h"
#include "dsp/quant.h"

namespace checkasm {

template <typename Fn, size_t Bytes>
std::vector<Fn> grab(const void *table) {
    const Fn *first = static_cast<const Fn *>(table);
    return std::vector<Fn>(first, first + Bytes / sizeof(Fn));
}
#define CHECKASM_GRAB(t) grab<std::remove_all_extents_t<decltype(t)>, sizeof(t)>(&t)

struct Snapshot {
    std::vector<SvacQpelFn> put_qpel = CHECKASM_GRAB(put_svac_qpel_pixels_tab);
    std::vector<SvacQpelFn> avg_qpel = CHECKASM_GRAB(avg_svac_qpel_pixels_tab);
    std::vector<SvacChromaMcFn> put_chroma = CHECKASM_GRAB(put_chroma_pixels_tab);
    std::vector<SvacChromaMcFn> avg_chroma = CHECKASM_GRAB(avg_chroma_pixels_tab);
    std::vector<SvacEdgeEmuFn> edge = CHECKASM_GRAB(emulated_edge_mc);
    std::vector<SvacIdctAddFn> idct4 = CHECKASM_GRAB(svac_idct4_add);
    std::vector<SvacIdctAddFn> idct8 = CHECKASM_GRAB(svac_idct8_add);
    std::vector<SvacDequantFn> dequant4 = CHECKASM_GRAB(svac_dequant4);
    std::vector<SvacDequantFn> dequant8 = CHECKASM_GRAB(svac_dequant8);
    std::vector<SvacLoopFilterFunc> lv = CHECKASM_GRAB(svac_filter_lv);
    std::vector<SvacLoopFilterFunc> lh = CHECKASM_GRAB(svac_filter_lh);
    std::vector<SvacLoopFilterFunc> cv = CHECKASM_GRAB(svac_filter_cv);
    std::vector<SvacLoopFilterFunc> ch = CHECKASM_GRAB(svac_filter_ch);
    std::vector<SvacIntraPredFn> l4 = CHECKASM_GRAB(intra_pred_l_4x4);
    std::vector<SvacIntraPredFn> l8 = CHECKASM_GRAB(intra_pred_l);
    std::vector<SvacIntraPredFn> c8 = CHECKASM_GRAB(intra_pred_c);
    std::vector<SvacIntraPredSvcFn> svc_l = CHECKASM_GRAB(intra_pred_svc_l);
    std::vector<SvacIntraPredSvcFn> svc_c = CHECKASM_GRAB(intra_pred_svc_c);
};

}  // namespace checkasm
