// The writing side of the JPEG codec: a picture's rows encoded one at a time
// through libjpeg into bytes in memory, with an orientation of its own when
// asked. The per-photo step's JPEG encoder (MakeJpegEncoder, declared in
// PhotoCodec.h) is built on it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Bitmap.h"
#include "formats/jpeg/JpegSettings.h"

namespace vizuvod {

// Encodes a picture whose rows arrive top to bottom, with an image's
// settings (quality, grayscale, progressive, optimized coding, carried
// orientation). format is the rows' layout: pfDevice (blue, green, red,
// unused) or pf24bit. Write leaves by EAbandoned once the photo is abandoned.
class TJPEGRowWriter {
 public:
  TJPEGRowWriter(const TJPEGDefaults& settings, int width, int height, TPixelFormat format);
  ~TJPEGRowWriter();
  TJPEGRowWriter(const TJPEGRowWriter&) = delete;
  TJPEGRowWriter& operator=(const TJPEGRowWriter&) = delete;
  // False for a size the library refuses to start on.
  static bool Takes(int width, int height);

  void Write(const std::uint8_t* row);
  // The encoded bytes, once every row is written.
  std::vector<std::uint8_t> Finish();

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace vizuvod
