// heif_floor: the floor of a folder of HEIC photos resized to JPEG, in one
// thread: libheif decoding every photo (through the engine's decoder, to
// the rows every format gives) plus libjpeg encoding every result at its own
// size, and nothing else.
//
//   heif_floor (--width N | --percent P) PHOTO...
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/TestSeams.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"
#include "formats/heif/HeifGrid.h"

using namespace vizuvod;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s (--width N | --percent P) PHOTO...\n", argv[0]);
    return 2;
  }
  const bool byWidth = std::string(argv[1]) == "--width";
  const int value = std::atoi(argv[2]);
  // libheif decodes each grid whole, as it does by itself.
  TScopedHook whole(HeifWholeGridHook(), true);
  const auto start = std::chrono::steady_clock::now();
  std::size_t bytes = 0;
  for (int i = 3; i < argc; ++i) {
    const TBitmap photo = OpenDecoder(argv[i], true, true)->Picture();
    const int w = byWidth ? value : int(std::lround(photo.Width() * value / 100.0));
    const int h = byWidth ? int(std::lround(double(photo.Height()) * value / photo.Width()))
                          : int(std::lround(photo.Height() * value / 100.0));
    // The result's size in rows of the photo's own pixels: what is encoded
    // costs what a resampled picture of that size costs.
    auto encoder = MakeEncoder({});
    encoder->Start(w, h, TPixelFormat::pf24bit);
    std::vector<std::uint8_t> row(std::size_t(w) * 3, 128);
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* from = photo.ScanLine(y % photo.Height());
      for (int x = 0; x < w && x < photo.Width(); ++x)
        for (int c = 0; c < 3; ++c) row[3 * x + c] = from[3 * x + c];
      encoder->Write(row.data());
    }
    bytes += encoder->Finish().size();
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f s, %zu bytes\n", s, bytes);
  return 0;
}
