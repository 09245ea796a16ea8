#include "layer_outputs.h"

#include "nal_split.h"

namespace svactool {

bool has_enhancement_slices(const uint8_t *data, size_t size) {
    for (size_t p = find_start_code(data, size, 0); p + 3 < size; p = find_start_code(data, size, p + 3)) {
        const int type = (data[p + 3] >> 2) & 15;
        if (type == 3 || type == 4) return true;
    }
    return false;
}

bool LayerOutputs::open(const std::string &path, const std::string &name, std::FILE *stream, int raw_layer,
                        std::string *error) {
    const size_t mark = path.find("%d");
    per_layer_ = !stream && mark != std::string::npos;
    path_ = path;
    name_ = name.empty() ? muxer_for_path(path) : name;
    if (per_layer_) {
        // Each file is created at its layer's first picture; the name is
        // checked now so that a bad one fails before decoding.
        if (name_.empty()) {
            *error = "cannot tell the output format of " + path +
                     " (use .yuv, .y4m, .md5, /dev/null or --muxer NAME)";
            return false;
        }
    } else {
        muxer_[0] = stream ? open_muxer_stream(stream, name, MuxerOptions(), error)
                           : open_muxer(path, name, MuxerOptions(), error);
        if (!muxer_[0]) return false;
        if (name_ == "yuv" || name_ == "y4m") only_layer_ = raw_layer;
    }
    active_ = true;
    return true;
}

bool LayerOutputs::write(const PictureView &pic) {
    const int layer = pic.layer == 1 ? 1 : 0;
    if (only_layer_ >= 0 && layer != only_layer_) {
        left_out_++;
        return true;
    }
    std::unique_ptr<Muxer> &m = muxer_[per_layer_ ? layer : 0];
    if (!m) {
        const size_t mark = path_.find("%d");
        const std::string path = path_.substr(0, mark) + std::to_string(layer) + path_.substr(mark + 2);
        m = open_muxer(path, name_, MuxerOptions(), &error_);
        if (!m) return false;
    }
    if (m->write(pic)) return true;
    error_ = m->error();
    return false;
}

bool LayerOutputs::finish() {
    bool ok = true;
    for (auto &m : muxer_)
        if (m && !m->finish()) {
            if (error_.empty()) error_ = m->error();
            ok = false;
        }
    return ok;
}

int LayerOutputs::skipped() const {
    int n = left_out_;
    for (const auto &m : muxer_)
        if (m) n += m->skipped();
    return n;
}

}  // namespace svactool
