// Regions of interest as the generator codes them: rectangles of
// macroblocks, each visited by a raster pass of its own (the macroblocks
// outside every region form one more pass), with neighbours confined to
// the pass. The bookkeeping of slice numbers is kept the way a decoder keeps
// it, since availability outside the regions depends on it.
#pragma once

#include <string>
#include <vector>

#include "headers.h"
#include "intra_modes.h"
#include "rng.h"

namespace svacenc {

// A rectangle in macroblocks.
struct RegionRect {
    int x = 0, y = 0, w = 1, h = 1;
};

// Parses "x,y,w,h[/x,y,w,h...]"; false for anything else.
bool parse_region_list(const std::string &text, std::vector<RegionRect> *out);

// The region corners of `pps` (first and last macroblock addresses).
void set_regions(PicParams &pps, const std::vector<RegionRect> &rects, int mb_width);

// Scalable streams: the corners of base-layer regions (`base_mb_width`
// wide) as the enhancement layer (`enh_mb_width` wide, twice the size)
// sees them: each region covers the same picture area.
void map_regions_to_enhancement(PicParams &pps, int base_mb_width, int enh_mb_width);

// Random rectangles: none, one, or several, overlapping ones and ones
// touching the picture edges among them; never more than `max_count`.
std::vector<RegionRect> random_regions(Rng &rng, int mb_width, int mb_height, int max_count);

// Region index of every macroblock: the lowest index of the rectangles that
// hold it, -1 outside all of them.
std::vector<int> region_index_map(const PicParams &pps, int mb_width, int mb_height);

// The addresses of one pass in raster order: region `g`, or -1 for the
// macroblocks outside every region.
std::vector<int> region_pass(const std::vector<int> &index, int g);

// Scan state of one layer while a picture with regions is coded.
struct RegionScan {
    int mb_width = 0;
    std::vector<int> index;                  // region index per address
    std::vector<int> slice_top, slice_left;  // slice number per column
    int left_slice = 0;                      // slice number seen for the upper-left neighbour
    int remaining = 0;                       // region passes to finish before the outside pass joins a slice
};

// At the start and after every I or P picture: numbers cleared, `remaining`
// = the region count.
void region_scan_start(RegionScan &s, const std::vector<int> &index, int mb_width, int num_roi);

// Availability at `addr` in slice number `slice`: a neighbour counts only in
// the same region; outside every region it must also carry the slice number.
MbNeighbours region_neighbours(const RegionScan &s, int addr, int slice);

// Steps past the finished macroblock `addr` as a decoder does: to the next
// macroblock of its pass or, after the last region pass of a picture whose
// outside macroblocks carry no data (`outside_joins`), on to the first
// outside one. Returns the availability there.
MbNeighbours region_advance(RegionScan &s, int addr, int slice, bool outside_joins, int num_roi);

}  // namespace svacenc
