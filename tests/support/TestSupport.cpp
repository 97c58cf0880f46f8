#include "TestSupport.h"

#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"

namespace vizuvod {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vizuvod-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(std::random_device{}()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

TBitmap DeviceCopy(const TBitmap& source) {
  TBitmap d;
  d.SetSize(source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) d.SetPixel(x, y, source.Pixel(x, y));
  return d;
}

TBitmap PhotoPicture(int width, int height, int seed) {
  return MakeBitmap24(width, height, [&](int x, int y) {
    return RGBColor(((x / 7 + y / 5 + seed) % 3) * 100, y * 255 / height,
                    x * 255 / width + seed * 40);
  });
}

void WritePhoto(const std::string& path, int width, int height, int seed, bool progressive) {
  TJPEGImage jpeg;
  jpeg.settings.progressiveEncoding = progressive;
  jpeg.Assign(PhotoPicture(width, height, seed));
  jpeg.SaveToFile(path);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string DecodeFailure(const std::string& path, bool detailed) {
  try {
    TJPEGImage J;
    J.LoadFromFile(path);
    TBitmap B;
    B.Assign(J);
  } catch (const Exception& e) {
    return detailed ? e.Detailed() : e.what();
  }
  return "";
}

std::filesystem::path CorpusDir() {
  if (const char* dir = std::getenv("VIZUVOD_CORPUS"); dir && std::filesystem::is_directory(dir))
    return dir;
  return {};
}

// Every pixel byte of two pictures of the same format (padding excluded).
::testing::AssertionResult SameBytes(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
    return ::testing::AssertionFailure() << "size or format differs";
  const int bytes = a.Width() * TBitmap::BitsPerPixel(a.PixelFormat()) / 8;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < bytes; ++i)
      if (a.ScanLine(y)[i] != b.ScanLine(y)[i])
        return ::testing::AssertionFailure()
               << "row " << y << " byte " << i << ": " << int(a.ScanLine(y)[i]) << " vs "
               << int(b.ScanLine(y)[i]);
  return ::testing::AssertionSuccess();
}

}  // namespace vizuvod
