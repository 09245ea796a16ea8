#include "regions.h"

#include <algorithm>
#include <cstdlib>

namespace svacenc {

bool parse_region_list(const std::string &text, std::vector<RegionRect> *out) {
    out->clear();
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('/', pos);
        if (end == std::string::npos) end = text.size();
        int v[4];
        size_t p = pos;
        for (int k = 0; k < 4; k++) {
            const size_t stop = k < 3 ? text.find(',', p) : end;
            if (stop == std::string::npos || stop > end || stop == p) return false;
            const std::string num = text.substr(p, stop - p);
            if (num.find_first_not_of("0123456789") != std::string::npos || num.size() > 5) return false;
            v[k] = std::atoi(num.c_str());
            p = stop + 1;
        }
        out->push_back({v[0], v[1], v[2], v[3]});
        pos = end + 1;
    }
    return true;
}

void set_regions(PicParams &pps, const std::vector<RegionRect> &rects, int mb_width) {
    pps.roi_first.clear();
    pps.roi_last.clear();
    for (const RegionRect &r : rects) {
        pps.roi_first.push_back(r.y * mb_width + r.x);
        pps.roi_last.push_back((r.y + r.h - 1) * mb_width + r.x + r.w - 1);
    }
}

void map_regions_to_enhancement(PicParams &pps, int base_mb_width, int enh_mb_width) {
    for (size_t i = 0; i < pps.roi_first.size(); i++) {
        const int x1 = pps.roi_first[i] % base_mb_width, y1 = pps.roi_first[i] / base_mb_width;
        const int x2 = pps.roi_last[i] % base_mb_width, y2 = pps.roi_last[i] / base_mb_width;
        pps.roi_first[i] = 2 * y1 * enh_mb_width + 2 * x1;
        pps.roi_last[i] = (2 * y2 + 1) * enh_mb_width + 2 * x2 + 1;
    }
}

std::vector<RegionRect> random_regions(Rng &rng, int mb_width, int mb_height, int max_count) {
    std::vector<RegionRect> rects;
    const int n = std::min(max_count, rng.percent(10) ? 0 : rng.range(1, 4));
    for (int i = 0; i < n; i++) {
        RegionRect r;
        if (i > 0 && rng.percent(30)) {
            // Overlapping an earlier one: the lower index owns the shared part.
            const RegionRect &o = rects[static_cast<size_t>(rng.range(0, i - 1))];
            r.x = std::clamp(o.x + rng.range(-1, 1), 0, mb_width - 1);
            r.y = std::clamp(o.y + rng.range(-1, 1), 0, mb_height - 1);
        } else {
            r.x = rng.percent(20) ? 0 : rng.range(0, mb_width - 1);  // often at the left or top edge
            r.y = rng.percent(20) ? 0 : rng.range(0, mb_height - 1);
        }
        r.w = rng.percent(25) ? mb_width - r.x : rng.range(1, mb_width - r.x);
        r.h = rng.percent(25) ? mb_height - r.y : rng.range(1, mb_height - r.y);
        rects.push_back(r);
    }
    return rects;
}

std::vector<int> region_index_map(const PicParams &pps, int mb_width, int mb_height) {
    std::vector<int> index(static_cast<size_t>(mb_width * mb_height), -1);
    for (int i = static_cast<int>(pps.roi_first.size()) - 1; i >= 0; i--) {
        const int fx = pps.roi_first[i] % mb_width, fy = pps.roi_first[i] / mb_width;
        const int lx = pps.roi_last[i] % mb_width, ly = pps.roi_last[i] / mb_width;
        for (int y = std::max(fy, 0); y <= std::min(ly, mb_height - 1); y++)
            for (int x = std::max(fx, 0); x <= std::min(lx, mb_width - 1); x++)
                index[static_cast<size_t>(y * mb_width + x)] = i;
    }
    return index;
}

std::vector<int> region_pass(const std::vector<int> &index, int g) {
    std::vector<int> addrs;
    for (size_t a = 0; a < index.size(); a++)
        if (index[a] == g) addrs.push_back(static_cast<int>(a));
    return addrs;
}

void region_scan_start(RegionScan &s, const std::vector<int> &index, int mb_width, int num_roi) {
    s.mb_width = mb_width;
    s.index = index;
    s.slice_top.assign(static_cast<size_t>(mb_width), 0);
    s.slice_left.assign(static_cast<size_t>(mb_width), 0);
    s.left_slice = 0;
    s.remaining = num_roi;
}

MbNeighbours region_neighbours(const RegionScan &s, int addr, int slice) {
    const int w = s.mb_width, x = addr % w, y = addr / w;
    const int g = s.index[static_cast<size_t>(addr)];
    auto same = [&](int a, int number) {
        return s.index[static_cast<size_t>(a)] == g && (g >= 0 || number == slice);
    };
    MbNeighbours n;
    n.left = x > 0 && same(addr - 1, s.slice_left[static_cast<size_t>(x - 1)]);
    n.top = y > 0 && same(addr - w, s.slice_top[static_cast<size_t>(x)]);
    n.top_right = y > 0 && x < w - 1 && same(addr - w + 1, s.slice_top[static_cast<size_t>(x + 1)]);
    n.top_left = y > 0 && x > 0 && same(addr - w - 1, s.left_slice);
    return n;
}

namespace {

// Steps from the finished macroblock `from` to `to` (the macroblock count
// when the pass is over), numbering the columns as a decoder does, and
// returns the availability at `to`.
MbNeighbours region_step(RegionScan &s, int from, int to, int slice) {
    const int w = s.mb_width;
    const size_t ox = static_cast<size_t>(from % w), nx = static_cast<size_t>(to % w);
    const int oy = from / w, ny = to / w;
    if (ny == oy + 1 && nx == ox) s.slice_top[ox] = slice;
    s.slice_left[ox] = slice;
    if (nx > 0) s.left_slice = s.slice_top[nx - 1];
    const MbNeighbours n =
        to < static_cast<int>(s.index.size()) ? region_neighbours(s, to, slice) : MbNeighbours{};
    // Both columns take the number only now, after the availability test.
    s.slice_top[ox] = slice;
    s.slice_top[nx] = slice;
    return n;
}

}  // namespace

MbNeighbours region_advance(RegionScan &s, int addr, int slice, bool outside_joins, int num_roi) {
    const int mbs = static_cast<int>(s.index.size());
    const int g = s.index[static_cast<size_t>(addr)];
    int next = addr + 1;
    while (next < mbs && s.index[static_cast<size_t>(next)] != g) next++;
    MbNeighbours nb = region_step(s, addr, next, slice);
    if (next < mbs || g < 0 || --s.remaining != 0 || !outside_joins) return nb;
    s.remaining = num_roi;
    next = 0;
    while (next < mbs && s.index[static_cast<size_t>(next)] != -1) next++;
    return next < mbs ? region_neighbours(s, next, slice) : nb;
}

}  // namespace svacenc
