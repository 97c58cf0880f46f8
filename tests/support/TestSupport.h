// Helpers shared by the engine, batch and window tests: scratch folders,
// files, made-up pictures in every pixel format, and photos to resize.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace vizuvod {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A 24-bit picture whose pixels come from f(x, y) -> colour value.
template <class F>
TBitmap MakeBitmap24(int width, int height, F f) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const TColorValue c = f(x, y);
      row[3 * x] = std::uint8_t(BlueOf(c));
      row[3 * x + 1] = std::uint8_t(GreenOf(c));
      row[3 * x + 2] = std::uint8_t(RedOf(c));
    }
  }
  return b;
}

// An 8-bit picture with that palette, each pixel's index from index(x, y).
template <class F>
TBitmap MakeBitmap8(int width, int height, const std::vector<TPaletteEntry>& palette, F index) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf8bit);
  b.SetPalette(palette);
  b.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.ScanLine(y)[x] = std::uint8_t(index(x, y));
  return b;
}

// The picture in the device format, which is reached only through pixel writes.
TBitmap DeviceCopy(const TBitmap& source);

// A 24-bit picture of ramps and stripes that differ with the seed.
TBitmap PhotoPicture(int width, int height, int seed = 0);
// That picture saved as a JPEG photo, baseline or progressive.
void WritePhoto(const std::string& path, int width, int height, int seed = 0,
                bool progressive = false);

// Every pixel byte of two pictures of the same format (padding excluded).
::testing::AssertionResult SameBytes(const TBitmap& a, const TBitmap& b);

// The file's bytes, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// AddressSanitizer keeps freed memory in quarantine (256 MB), so resident
// memory says nothing about leaks there; its leak checker covers that build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryIsQuarantined = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMemoryIsQuarantined = true;
#else
inline constexpr bool kMemoryIsQuarantined = false;
#endif
#else
inline constexpr bool kMemoryIsQuarantined = false;
#endif

// Loads and decodes the file; the failure's what() (or Detailed() when
// asked), or "" when it decoded.
std::string DecodeFailure(const std::string& path, bool detailed = false);

// The corpus of real photos beside the project, or empty when it is absent.
std::filesystem::path CorpusDir();

}  // namespace vizuvod
