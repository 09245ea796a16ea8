#include <string>

#include "encoder.h"

namespace svacenc {

namespace {

bool regions_valid(const EncoderOptions &opt, std::string *error) {
    if (!opt.roi) {
        if (opt.roi_qp < 0 && !opt.roi_skip) return true;
        *error = "--roi-qp and --roi-skip need --roi";
        return false;
    }
    if (opt.slices) {
        *error = "--slices and --roi exclude each other (slices follow the region passes)";
        return false;
    }
    if (opt.roi_qp > 55 || opt.roi_qp < -1) {
        *error = "region qp must be between 0 and 55";
        return false;
    }
    // Rectangles are given in base-layer macroblocks.
    const int half = opt.svc ? 2 : 1;
    const int mbw = (opt.width / half + 15) / 16, mbh = (opt.height / half + 15) / 16;
    // A decoder keeps at most half the macroblock count of regions.
    const size_t limit = static_cast<size_t>(mbw * mbh / 2);
    if (opt.roi_random) return true;
    if (opt.roi_rects.empty() || opt.roi_rects.size() > limit) {
        *error = limit == 0 ? std::string("a picture of one macroblock holds no region")
                            : "between 1 and " + std::to_string(limit) + " regions fit a picture of " +
                                  std::to_string(mbw) + "x" + std::to_string(mbh) + " macroblocks";
        return false;
    }
    for (const RegionRect &r : opt.roi_rects) {
        if (r.w < 1 || r.h < 1 || r.x + r.w > mbw || r.y + r.h > mbh) {
            *error = "region " + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) +
                     "," + std::to_string(r.h) + " must be at least 1x1 and lie inside the picture of " +
                     std::to_string(mbw) + "x" + std::to_string(mbh) + " macroblocks";
            return false;
        }
        if (!region_codes_short(r, mbw, opt.svc)) {
            *error = "regions must end before macroblock " + std::to_string(kLongCode - 1) + " of each layer";
            return false;
        }
    }
    return true;
}

}  // namespace

bool region_codes_short(const RegionRect &r, int base_mb_width, bool svc) {
    const int64_t x = r.x + r.w - 1, y = r.y + r.h - 1;
    const int64_t last = svc ? (2 * y + 1) * 2 * base_mb_width + 2 * x + 1 : y * base_mb_width + x;
    return last < kLongCode - 1;
}

bool validate_options(const EncoderOptions &opt, std::string *error) {
    if (opt.width < 1 || opt.height < 1 || opt.width > 8192 || opt.height > 8192) {
        *error = "picture size must be between 1x1 and 8192x8192";
        return false;
    }
    if (opt.chroma_format_idc < 0 || opt.chroma_format_idc > 2) {
        *error = "chroma format must be 400, 420 or 422";
        return false;
    }
    if (opt.bit_depth != 8 && opt.bit_depth != 10) {
        *error = "bit depth must be 8 or 10";
        return false;
    }
    if (opt.gop.empty()) {
        *error = "the GOP pattern is empty";
        return false;
    }
    for (char c : opt.gop) {
        if (c != 'I' && c != 'P' && c != 'B') {
            *error = std::string("unknown picture type '") + c + "' in the GOP pattern";
            return false;
        }
    }
    if (opt.svc && (opt.width % 32 || opt.height % 32)) {
        *error = "with --svc the size must halve into whole macroblocks: width and height multiples of 32";
        return false;
    }
    if (opt.svc_no_inter_layer && !opt.svc) {
        *error = "--svc-no-inter-layer needs --svc";
        return false;
    }
    // Slices split the base layer's pictures as well.
    const int half = opt.svc ? 2 : 1;
    const int mbs = ((opt.width / half + 15) / 16) * ((opt.height / half + 15) / 16);
    if (opt.slices < 0 || opt.slices > mbs) {
        *error = "slice count must be between 1 and the number of macroblocks";
        return false;
    }
    if (opt.qp > 55 || opt.qp < -1) {
        *error = "qp must be between 0 and 55";
        return false;
    }
    if (!regions_valid(opt, error)) return false;
    const size_t key_len = opt.key.key.size();
    if (opt.encrypt && opt.key.type == CIPHER_DES && key_len != 8) {
        *error = "a DES key has 8 bytes (16 hex digits)";
        return false;
    }
    if (opt.encrypt && opt.key.type == CIPHER_AES && key_len != 16 && key_len != 24 && key_len != 32) {
        *error = "an AES key has 16, 24 or 32 bytes (32, 48 or 64 hex digits)";
        return false;
    }
    if (opt.encrypt && opt.key.type != CIPHER_DES && opt.key.type != CIPHER_AES) {
        *error = "unknown cipher";
        return false;
    }
    return true;
}

int reported_height(int coded_width, int coded_height) {
    if (coded_width == 1920 && coded_height == 1088) return 1080;
    if (coded_width == 1280 && coded_height == 736) return 720;
    if (coded_width == 640 && coded_height == 368) return 360;
    if (coded_width == 960 && coded_height == 544) return 540;
    return coded_height;
}

int drained_height(int coded_width, int coded_height, bool svc) {
    if (coded_width == 1920 && coded_height == 1088) return 1080;
    if (coded_width == 1280 && coded_height == 736 && !svc) return 720;
    return coded_height;
}

}  // namespace svacenc
