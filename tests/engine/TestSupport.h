// Helpers shared by the engine tests: scratch folders and small pictures.
#pragma once

#include <filesystem>
#include <string>

#include "Bitmap.h"

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
