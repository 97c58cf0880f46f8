// What a JPEG photo is read and written with, shared by the reader, the
// writer and TJPEGImage: the stored data and its header's size, and the
// settings (quality, grayscale, scale, progressive, ...) with their
// process-wide defaults.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Bitmap.h"

namespace vizuvod {

// The stored JPEG data: the encoded bytes and the header's size.
struct TJPEGData {
  std::vector<std::uint8_t> bytes;
  int width = 0;
  int height = 0;
  bool grayscale = false;
};

enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };

// Process-wide defaults each new TJPEGImage copies at creation.
struct TJPEGDefaults {
  int compressionQuality = 90;
  bool grayscale = false;
  TJPEGPerformance performance = TJPEGPerformance::jpBestQuality;
  // pf24bit, or pf8bit when the display works with 8 bits per pixel or fewer.
  TPixelFormat pixelFormat = TPixelFormat::pf24bit;
  bool progressiveDisplay = false;
  bool progressiveEncoding = false;
  bool optimizeCoding = false;  // Huffman tables made for the picture (progressive implies them)
  int scale = 0;                // scale_denom = 1 << scale
  bool smoothing = true;
  // An EXIF orientation (2-8, see CarriedOrientation) the encoded result
  // states in an APP1 segment of its own right after its JFIF header, so a
  // viewer shows it as the photo was shown. 0 (or any other value): none,
  // and the bytes are those of a file without it.
  int carriedOrientation = 0;
};
inline TJPEGDefaults& JPEGDefaults() {
  static TJPEGDefaults defaults;
  return defaults;
}

}  // namespace vizuvod
