// Where the pictures of both layers of a stream go.
//   A name holding "%d" gives each layer its own file ("out%d.y4m" writes
//   out0.y4m and out1.y4m), opened when the layer's first picture arrives.
//   Otherwise one file: an MD5 list (or null) takes every picture in output
//   order, a yuv or y4m file only the pictures of one chosen layer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "muxer.h"

namespace svactool {

// True when the stream holds slices of the enhancement layer (NAL types 3, 4).
bool has_enhancement_slices(const uint8_t *data, size_t size);

class LayerOutputs {
  public:
    // `stream`, when given, is written instead of `path` ("-"). `raw_layer`
    // is the layer a single yuv or y4m file holds. False with `error` set.
    bool open(const std::string &path, const std::string &name, std::FILE *stream, int raw_layer,
              std::string *error);
    bool active() const { return active_; }
    // False on a write error or a file that cannot be created, error() set.
    bool write(const PictureView &pic);
    bool finish();
    // Pictures of another layer or geometry left out.
    int skipped() const;
    const std::string &error() const { return error_; }

  private:
    bool active_ = false;
    bool per_layer_ = false;
    int only_layer_ = -1;  // -1: every layer into the one file
    int left_out_ = 0;
    std::string path_, name_;
    std::unique_ptr<Muxer> muxer_[2];
    std::string error_;
};

}  // namespace svactool
