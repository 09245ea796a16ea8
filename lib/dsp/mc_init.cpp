// The motion compensation kernel tables: portable kernels first, then the
// x86 hook may replace 8-bit entries with faster kernels of identical output.
#include <utility>

#include "dsp/dsp_init.h"
#include "dsp/mc.h"

SvacQpelFn put_svac_qpel_pixels_tab[3][2][16];
SvacQpelFn avg_svac_qpel_pixels_tab[3][2][16];
SvacChromaMcFn put_chroma_pixels_tab[3][4];
SvacChromaMcFn avg_chroma_pixels_tab[3][4];
SvacEdgeEmuFn emulated_edge_mc[2];

namespace {

// Fills row [size] of one bit depth: position 4 * y + x holds phase (x, y).
template <typename Pixel, int N, size_t... Pos>
void fill_qpel(SvacQpelFn *put, SvacQpelFn *avg, std::index_sequence<Pos...>) {
    ((put[Pos] = &put_svac_qpel<Pixel, N, Pos % 4, Pos / 4>), ...);
    ((avg[Pos] = &avg_svac_qpel<Pixel, N, Pos % 4, Pos / 4>), ...);
}

template <typename Pixel>
void fill_depth(int depth_index) {
    fill_qpel<Pixel, 16>(put_svac_qpel_pixels_tab[depth_index][0], avg_svac_qpel_pixels_tab[depth_index][0],
                         std::make_index_sequence<16>());
    fill_qpel<Pixel, 8>(put_svac_qpel_pixels_tab[depth_index][1], avg_svac_qpel_pixels_tab[depth_index][1],
                        std::make_index_sequence<16>());
    SvacChromaMcFn *put = put_chroma_pixels_tab[depth_index], *avg = avg_chroma_pixels_tab[depth_index];
    put[0] = &put_chroma_mc<Pixel, 8>;
    put[1] = &put_chroma_mc<Pixel, 4>;
    put[2] = &put_chroma_mc<Pixel, 2>;
    put[3] = &put_chroma_mc<Pixel, 1>;
    avg[0] = &avg_chroma_mc<Pixel, 8>;
    avg[1] = &avg_chroma_mc<Pixel, 4>;
    avg[2] = &avg_chroma_mc<Pixel, 2>;
    avg[3] = &avg_chroma_mc<Pixel, 1>;
}

}  // namespace

void VQ_SVACDEC_mc_init(uint32_t cpu_flags) {
    fill_depth<uint8_t>(0);
    fill_depth<uint16_t>(2);
    emulated_edge_mc[0] = emulated_edge_mc_c;
    emulated_edge_mc[1] = emulated_edge_mc_16_c;
    VQ_SVACDEC_mc_init_x86(cpu_flags);
}
