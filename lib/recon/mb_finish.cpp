#include "recon/mb_finish.h"

#include "recon/deblock.h"
#include "recon/intra_recon.h"
#include "recon/macroblock.h"

namespace {

SvacFilterParams filter_params(const SvacReconCtx &ctx, const SvacMacroblock *mb, uint32_t type) {
    SvacFilterParams f;
    f.dst_y = mb->dst_y;
    f.dst_u = mb->dst_u;
    f.dst_v = mb->dst_v;
    f.neighbour_flags = mb->neighbour_flags;
    f.qp = static_cast<uint32_t>(mb->qp);
    f.prev_qp = static_cast<uint32_t>(mb->prev_qp);
    f.top_qp = mb->top_qp[mb->mb_x];
    f.cbp = static_cast<uint32_t>(mb->cbp);
    f.prev_cbp = static_cast<uint32_t>(mb->prev_cbp);
    f.top_cbp = mb->top_cbp[mb->mb_x];
    f.mb_type = type;
    f.prev_type = static_cast<uint32_t>(mb->prev_type);
    f.top_type = mb->top_type[mb->mb_x];
    f.lf_disable_flag = static_cast<uint32_t>(ctx.lf_disable_flag);
    f.stride_y = mb->stride_y;
    f.stride_c = mb->stride_c;
    f.chroma_format_idc = static_cast<uint32_t>(ctx.chroma_format_idc);
    f.bit_depth_idx = static_cast<uint32_t>(ctx.bit_depth_idx);
    f.lf_alpha_offset = ctx.lf_alpha_offset;
    f.lf_beta_offset = ctx.lf_beta_offset;
    f.mb_x = mb->mb_x;
    f.mb_y = mb->mb_y;
    return f;  // the motion cache is read in place by svac_filter_mb
}

}  // namespace

void svac_finish_recon(const SvacReconCtx &ctx, const SvacReconFns *fns, SvacMacroblock *mb, uint32_t type) {
    fns->save_border(mb, ctx.chroma_format_idc > 0, ctx.chroma_format_idc == 2);
    const SvacFilterParams f = filter_params(ctx, mb, type);
    static_assert(sizeof mb->mv_cache == 24 * sizeof(SvacMvEntry), "both lists in one run of entries");
    svac_filter_mb(f, mb->mv_cache[0]);
}
