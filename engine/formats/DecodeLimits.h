// The budgets every decoder holds to, whatever the format: checked against
// the header, before any pixel memory is taken, so a small file whose header
// claims a giant picture is refused at once.
#pragma once

#include <cstdint>
#include <string>

#include "core/Bitmap.h"

namespace vizuvod {

// Largest picture a decoder takes on: the bitmap's own limit.
inline constexpr std::uint64_t MaxDecodedPixels = TBitmap::MaxPixels;

// Working memory a decoder may take for one photo beside the picture it
// fills. For JPEG: files of more than one scan keep every coefficient of the
// picture (2 bytes a sample: 216 MB for a 36 MP photo without colour
// subsampling); a single-scan file needs a few rows. 512 MiB takes a 179 MP
// progressive photo with the usual subsampling, 89 MP without.
inline constexpr std::uint64_t MaxLibraryMemory = std::uint64_t(512) << 20;

// "<width> x <height>", as refusals name a picture.
inline std::string PictureSizeText(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace vizuvod
