// libFuzzer target: arbitrary bytes taken through one photo's whole life in
// the engine: load, decode, shrink, enlarge, encode, and a re-read of what
// was written. Any failure must be one of the engine's own error classes;
// anything else escaping (std::bad_alloc, a foreign exception), a sanitizer
// report or a written file that does not read back is a finding.
//
// The last three input bytes choose the decoder settings and the resize (libjpeg stops at the
// end-of-image marker, so trailing bytes do not disturb sound files); the
// rest is the photo file. Target sizes and decoded pixel counts are kept
// small so the fuzzer spends its time on odd data, not on big pictures.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/Bitmap.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "resample/EnlargeBitmap.h"
#include "resample/ShrinkBitmap.h"

using namespace vizuvod;

namespace {

// Pictures above this are not decoded here; they are slow, not interesting.
// Headers beyond the codec's own limit are still decoded, to exercise the
// refusal, which happens before any pixel memory is taken.
constexpr long long kMaxFuzzPixels = 1 << 18;
// The codec's own ceiling: headers above it are refused before decoding.
constexpr long long kCodecPixelLimit = (long long)TBitmap::MaxPixels;
constexpr long long kMaxEnlargedPixels = 1 << 18;
constexpr int kMaxShrinkSide = 64;

const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                     ? "/dev/shm"
                                     : std::filesystem::temp_directory_path();
    base /= "vizuvod-fuzz-" + std::to_string(::getpid());
    std::filesystem::create_directories(base);
    return base.string();
  }();
  return dir;
}

void WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// Encodes `picture`, saves it and reads it back: the file must decode to the
// same size.
void SaveAndReread(const TBitmap& picture, bool progressive, const std::string& out) {
  {
    TJPEGImage j;
    j.settings.progressiveEncoding = progressive;
    j.Assign(picture);
    j.SaveToFile(out);
  }
  if (picture.Width() < 1 || picture.Height() < 1) return;
  TJPEGImage back;
  back.LoadFromFile(out);
  TBitmap check;
  back.AssignTo(check);
  if (check.Width() != picture.Width() || check.Height() != picture.Height()) {
    std::fprintf(stderr, "written %dx%d, read back %dx%d\n", picture.Width(), picture.Height(),
                 check.Width(), check.Height());
    std::abort();
  }
}

void OnePhoto(const std::uint8_t* data, std::size_t size) {
  std::uint8_t knobs[3] = {0, 0, 0};
  if (size >= 3) {
    size -= 3;
    for (int i = 0; i < 3; ++i) knobs[i] = data[size + i];
  }
  const std::string in = ScratchDir() + "/in.jpg";
  const std::string out = ScratchDir() + "/Resize of in.jpg";
  WriteAll(in, data, size);

  TJPEGImage j;
  // The decoder's other settings: the 8-bit palette of low-colour displays,
  // grey output, the fast transform, and the reduced scales.
  if (knobs[0] & 8) j.settings.pixelFormat = TPixelFormat::pf8bit;
  if (knobs[0] & 16) j.settings.grayscale = true;
  if (knobs[0] & 32) j.settings.performance = TJPEGPerformance::jpBestSpeed;
  j.settings.scale = knobs[0] >> 6;
  j.LoadFromFile(in);
  const TJPEGData* header = j.Data();
  const long long pixels = header ? (long long)header->width * header->height : 0;
  if (pixels > kMaxFuzzPixels && pixels <= kCodecPixelLimit) return;

  auto source = std::make_shared<TBitmap>();
  j.AssignTo(*source);
  const int w = source->Width(), h = source->Height();
  if (w < 1 || h < 1) return;

  if (knobs[0] & 1) {
    // Shrink, the way the batch run does for a percentage below 100.
    TBitmap target, *result = nullptr;
    target.SetSize(1 + knobs[1] % std::min(w, kMaxShrinkSide),
                   1 + knobs[2] % std::min(h, kMaxShrinkSide));
    ShrinkBitmap(*source, target, result);
    SaveAndReread(*result, j.settings.progressiveEncoding, out);
  } else {
    // Enlarge by a percentage over 100 or to a pixel size, bounded.
    if (knobs[0] & 2) {
      const float scale = float(101 + knobs[1] % 200) / 100.0f;
      if ((long double)w * h * scale * scale > kMaxEnlargedPixels) return;
      EnlargeBitmap(source, "percent", scale, scale, 0, 0);
    } else if (knobs[0] & 4) {
      const int n = w + knobs[1] % 64;
      if ((long double)n * n / w * h > kMaxEnlargedPixels) return;
      EnlargeBitmap(source, "size", 0, 0, float(n), 0);
    } else {
      const int n = h + knobs[1] % 64;
      if ((long double)n * n / h * w > kMaxEnlargedPixels) return;
      EnlargeBitmap(source, "size", 0, 0, 0, float(n));
    }
    SaveAndReread(*source, j.settings.progressiveEncoding, out);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    OnePhoto(data, size);
  } catch (const Exception&) {
    // A clear failure of the engine's own kind: the expected outcome for junk.
  }
  return 0;
}
