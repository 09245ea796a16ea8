// Picture outputs of the command-line tools behind one small interface:
//   null  discards the pictures (`/dev/null`);
//   yuv   raw planes, the canonical bytes of picture.h one picture after another;
//   y4m   YUV4MPEG2: a header, then FRAME and the canonical bytes per picture;
//   md5   the per-picture MD5 list of picture_md5.h.
// A raw file holds one geometry: yuv and y4m keep the layer, size and format
// of the first picture and skip pictures of any other (the other layer of a
// scalable stream), counting them in skipped(). md5 and null take every picture.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "picture.h"

namespace svactool {

struct MuxerOptions {
    int fps_num = 25;  // Y4M frame rate
    int fps_den = 1;
};

class Muxer {
  public:
    virtual ~Muxer() = default;
    // False on a write error, with error() set.
    virtual bool write(const PictureView &pic) = 0;
    // Flushes and, for a file the muxer opened, closes it. False on error.
    virtual bool finish() = 0;

    int written() const { return written_; }
    int skipped() const { return skipped_; }
    const std::string &error() const { return error_; }

  protected:
    int written_ = 0;
    int skipped_ = 0;
    std::string error_;
};

// The muxer name for an output path: "null" for /dev/null, else by extension
// (.yuv, .y4m, .md5); empty when the path does not tell.
std::string muxer_for_path(const std::string &path);

// True for "null", "yuv", "y4m" and "md5".
bool known_muxer(const std::string &name);

// Opens `path` with the named muxer, or the one its extension selects when
// `name` is empty. "-" writes to standard output and needs a name. Null with
// `error` set on failure.
std::unique_ptr<Muxer> open_muxer(const std::string &path, const std::string &name,
                                  const MuxerOptions &options, std::string *error);

// The named muxer over a stream the caller owns (not closed by finish()).
std::unique_ptr<Muxer> open_muxer_stream(std::FILE *stream, const std::string &name,
                                         const MuxerOptions &options, std::string *error);

}  // namespace svactool
