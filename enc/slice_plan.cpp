#include "slice_plan.h"

#include <algorithm>
#include <numeric>

namespace svacenc {

namespace {

// First macroblock of each slice without regions (ascending, the first is 0).
std::vector<int> slice_starts(Encoder &enc) {
    const int mbs = std::min(enc.mb_width * enc.mb_height, kLongCode);
    int n = enc.opt.slices;
    const bool random = enc.opt.mode == EncMode::Random;
    if (n == 0) n = random ? std::min(mbs, enc.rng.percent(40) ? 1 : enc.rng.range(2, 4)) : 1;
    n = std::min(n, mbs);
    std::vector<int> starts{0};
    if (random) {
        // Distinct random split points: slices start anywhere in a row.
        std::vector<int> points;
        while (static_cast<int>(points.size()) < n - 1) {
            const int p = enc.rng.range(1, mbs - 1);
            if (std::find(points.begin(), points.end(), p) == points.end()) points.push_back(p);
        }
        std::sort(points.begin(), points.end());
        starts.insert(starts.end(), points.begin(), points.end());
    } else {
        const int all = enc.mb_width * enc.mb_height;
        for (int i = 1; i < n; i++)
            if (int64_t(all) * i / n < kLongCode) starts.push_back(static_cast<int>(int64_t(all) * i / n));
    }
    return starts;
}

// Appends the slices of one pass: random mode cuts it at up to two points
// (never where the first address would need a long code), real mode keeps
// it whole. `no_data` marks every macroblock as carrying none.
size_t cut_pass(Encoder &enc, const std::vector<int> &pass, bool may_cut, bool no_data,
                std::vector<SlicePlan> &plans) {
    std::vector<size_t> cuts{0};
    if (may_cut && enc.opt.mode == EncMode::Random && pass.size() > 1 && enc.rng.percent(50)) {
        for (int k = enc.rng.range(1, 2); k > 0; k--) {
            const size_t c = static_cast<size_t>(enc.rng.range(1, static_cast<int>(pass.size()) - 1));
            if (pass[c] < kLongCode && std::find(cuts.begin(), cuts.end(), c) == cuts.end())
                cuts.push_back(c);
        }
        std::sort(cuts.begin(), cuts.end());
    }
    for (size_t k = 0; k < cuts.size(); k++) {
        const size_t end = k + 1 < cuts.size() ? cuts[k + 1] : pass.size();
        SlicePlan p;
        p.addrs.assign(pass.begin() + static_cast<std::ptrdiff_t>(cuts[k]),
                       pass.begin() + static_cast<std::ptrdiff_t>(end));
        if (no_data) p.outside_from = 0;
        plans.push_back(std::move(p));
    }
    return cuts.size();
}

// Region shapes of the picture, for the path counts.
void count_regions(const Encoder &enc, PathStats &st) {
    const PicParams &pps = enc.pps;
    const int w = enc.mb_width, h = enc.mb_height;
    std::vector<int> cover(static_cast<size_t>(w * h), 0);
    for (size_t i = 0; i < pps.roi_first.size(); i++) {
        const int fx = pps.roi_first[i] % w, fy = pps.roi_first[i] / w;
        const int lx = pps.roi_last[i] % w, ly = pps.roi_last[i] / w;
        st.roi_edge_regions += fx == 0 || fy == 0 || lx == w - 1 || ly == h - 1;
        for (int y = fy; y <= ly; y++)
            for (int x = fx; x <= lx; x++) st.roi_overlaps += ++cover[static_cast<size_t>(y * w + x)] == 2;
    }
}

std::vector<SlicePlan> plan_region_slices(Encoder &enc, bool inter_picture) {
    const bool random = enc.opt.mode == EncMode::Random;
    Rng &rng = enc.rng;
    PathStats &st = enc.stats;
    const int n = static_cast<int>(enc.pps.roi_first.size());
    count_regions(enc, st);
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (random)
        for (int i = n - 1; i > 0; i--)
            std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(rng.range(0, i))]);
    // Outside macroblocks of a P or B picture that skips them carry no data;
    // a VLC slice of them cannot end early, so such a pass stays whole.
    const bool no_data = inter_picture && enc.pps.roi_skip;
    const std::vector<int> outside = region_pass(enc.roi.index, -1);
    bool outside_done = outside.empty();
    int remaining = enc.roi.remaining;  // region passes a decoder still counts down
    const int outside_at = random && !no_data ? rng.range(0, n) : n;
    std::vector<SlicePlan> plans;
    for (int k = 0; k <= n; k++) {
        if (k == outside_at && !outside_done) {
            cut_pass(enc, outside, !no_data || enc.pps.cabac, no_data, plans);
            outside_done = true;
            st.roi_outside_own++;
        }
        if (k == n) break;
        const std::vector<int> pass = region_pass(enc.roi.index, order[static_cast<size_t>(k)]);
        if (pass.empty()) {
            st.roi_empty_regions++;
            continue;
        }
        st.roi_split_passes += cut_pass(enc, pass, true, false, plans) > 1;
        // The end of the last region pass of such a picture leads the
        // slice on into the outside macroblocks, unless an arithmetic-coded
        // slice ends right there.
        if (--remaining == 0 && no_data) {
            remaining = n;
            if (!outside_done && !(enc.pps.cabac && random && rng.percent(25))) {
                SlicePlan &p = plans.back();
                p.outside_from = p.addrs.size();
                p.addrs.insert(p.addrs.end(), outside.begin(), outside.end());
                outside_done = true;
                st.roi_outside_joined++;
            }
        }
    }
    return plans;
}

}  // namespace

std::vector<SlicePlan> plan_slices(Encoder &enc, bool inter_picture) {
    if (enc.sps.roi) return plan_region_slices(enc, inter_picture);
    const std::vector<int> starts = slice_starts(enc);
    const int mbs = enc.mb_width * enc.mb_height;
    std::vector<SlicePlan> plans(starts.size());
    for (size_t s = 0; s < starts.size(); s++) {
        plans[s].addrs.resize(static_cast<size_t>((s + 1 < starts.size() ? starts[s + 1] : mbs) - starts[s]));
        std::iota(plans[s].addrs.begin(), plans[s].addrs.end(), starts[s]);
    }
    return plans;
}

}  // namespace svacenc
