// Per-picture MD5 lists, shared by svacdec (-o x.md5, --verify) and svacenc
// (the MD5 of its reconstruction).
//
// List format: one line per output picture, in output order, holding the
// lowercase hex MD5 of the picture's canonical bytes (picture.h): Y, then Cb,
// then Cr (no chroma for 4:0:0), row by row, width x height samples with the
// reported height, 8-bit samples as bytes, 10-bit samples as 16-bit
// little-endian words. The digest comes from the library's digest interface.
//
// Typical use:
//   Md5ListWriter w;
//   if (!w.open("out.md5", &err)) ...
//   w.add(picture_view(decoder_output));            // or a PictureView of your planes
//   if (!w.close(&err)) ...
//
//   std::vector<std::string> expected;
//   if (!read_md5_list("ref.md5", &expected, &err)) ...
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "picture.h"

namespace svactool {

// MD5 of the picture's canonical bytes. False when the picture is not valid
// or the digest is unavailable.
bool picture_md5(const PictureView &pic, uint8_t digest[16]);

// The same as 32 lowercase hex digits; empty on failure.
std::string picture_md5_hex(const PictureView &pic);
std::string picture_md5_hex(const SvacDecOutput &out);

// Lowercase hex of any byte string.
std::string to_hex(const uint8_t *bytes, size_t size);

// Writes an MD5 list, one line per picture added.
class Md5ListWriter {
  public:
    Md5ListWriter() = default;
    Md5ListWriter(const Md5ListWriter &) = delete;
    Md5ListWriter &operator=(const Md5ListWriter &) = delete;
    ~Md5ListWriter();

    // "-" writes to standard output.
    bool open(const std::string &path, std::string *error);
    // Writes to a stream the caller owns and closes.
    void attach(std::FILE *f);
    bool add(const PictureView &pic, std::string *error);
    bool add(const SvacDecOutput &out, std::string *error) { return add(picture_view(out), error); }
    bool close(std::string *error);
    int count() const { return count_; }

  private:
    std::FILE *file_ = nullptr;
    bool owned_ = false;
    int count_ = 0;
};

// Reads an MD5 list ("-" for standard input). Blank lines and lines starting
// with '#' are ignored; every other line must start with 32 hex digits
// (stored lowercase), optionally followed by white space and anything else,
// so `md5sum` output is accepted too.
bool read_md5_list(const std::string &path, std::vector<std::string> *list, std::string *error);

// The same over text already in memory; `name` is used in error messages.
bool parse_md5_list(const std::string &text, const std::string &name, std::vector<std::string> *list,
                    std::string *error);

}  // namespace svactool
