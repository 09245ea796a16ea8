// The intra prediction kernel tables.
#include "dsp/predict.h"

#include <algorithm>
#include <iterator>

#include "dsp/dsp_init.h"

SvacIntraPredFn intra_pred_l_4x4[24];
SvacIntraPredFn intra_pred_l[24];
SvacIntraPredFn intra_pred_c[21];
SvacIntraPredSvcFn intra_pred_svc_l[3];
SvacIntraPredSvcFn intra_pred_svc_c[3];

namespace {

// clang-format off
constexpr SvacIntraPredFn portable_l_4x4[24] = {
    intra_pred_vert_4x4, intra_pred_horiz_4x4, intra_pred_lp_4x4, intra_pred_down_left_4x4,
    intra_pred_down_right_4x4, intra_pred_lp_left_4x4, intra_pred_lp_top_4x4,
    intra_pred_dc_128_4x4,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // no 9-bit kernels
    intra_pred_vert_4x4_10b, intra_pred_horiz_4x4_10b, intra_pred_lp_4x4_10b,
    intra_pred_down_left_4x4_10b, intra_pred_down_right_4x4_10b, intra_pred_lp_left_4x4_10b,
    intra_pred_lp_top_4x4_10b, intra_pred_dc_128_4x4_10b,
};
// clang-format on

// clang-format off
constexpr SvacIntraPredFn portable_l[24] = {
    intra_pred_vert, intra_pred_horiz, intra_pred_lp, intra_pred_down_left,
    intra_pred_down_right, intra_pred_lp_left, intra_pred_lp_top, intra_pred_dc_128,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // no 9-bit kernels
    intra_pred_vert_10b, intra_pred_horiz_10b, intra_pred_lp_10b, intra_pred_down_left_10b,
    intra_pred_down_right_10b, intra_pred_lp_left_10b, intra_pred_lp_top_10b,
    intra_pred_dc_128_10b,
};
// clang-format on

// Chroma reuses the 8x8 luma kernels in its own mode order.
// clang-format off
constexpr SvacIntraPredFn portable_c[21] = {
    intra_pred_lp, intra_pred_horiz, intra_pred_vert, intra_pred_plane,
    intra_pred_lp_left, intra_pred_lp_top, intra_pred_dc_128,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // no 9-bit kernels
    intra_pred_lp_10b, intra_pred_horiz_10b, intra_pred_vert_10b, intra_pred_plane_10b,
    intra_pred_lp_left_10b, intra_pred_lp_top_10b, intra_pred_dc_128_10b,
};
// clang-format on

constexpr SvacIntraPredSvcFn portable_svc_l[3] = {intra_pred_svc8, intra_pred_svc8_9, intra_pred_svc8_10};
constexpr SvacIntraPredSvcFn portable_svc_c[3] = {intra_pred_svc4, intra_pred_svc4_9, intra_pred_svc4_10};

}  // namespace

void VQ_SVACDEC_predict_init(uint32_t cpu_flags) {
    std::copy(std::begin(portable_l_4x4), std::end(portable_l_4x4), intra_pred_l_4x4);
    std::copy(std::begin(portable_l), std::end(portable_l), intra_pred_l);
    std::copy(std::begin(portable_c), std::end(portable_c), intra_pred_c);
    std::copy(std::begin(portable_svc_l), std::end(portable_svc_l), intra_pred_svc_l);
    std::copy(std::begin(portable_svc_c), std::end(portable_svc_c), intra_pred_svc_c);
    VQ_SVACDEC_predict_init_x86(cpu_flags);
}
