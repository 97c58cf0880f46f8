// encoder_bench: how long each result format takes to encode a 12 MP
// photo-like picture (smooth light, fine texture, hard edges) in one thread,
// and how many bytes it gives, at quality 90.
//
//   encoder_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/Formats.h"
#include "formats/PhotoCodec.h"

using namespace vizuvod;

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const int width = 4000, height = 3000;
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const double light = 0.5 + 0.4 * std::sin(x * 0.0011) * std::cos(y * 0.0017);
      const int texture = int((x * 7919 + y * 104729) % 23) - 11;
      const int edge = ((x / 250 + y / 180) % 2) * 40;
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] =
            std::uint8_t(std::clamp(int(light * (180 + 30 * c)) + texture + edge, 0, 255));
    }
  }
  for (TResultFormat format :
       {TResultFormat::rfJpeg, TResultFormat::rfWebp, TResultFormat::rfAvif}) {
    std::vector<double> ms;
    std::size_t bytes = 0;
    for (int i = 0; i < runs; ++i) {
      const auto start = std::chrono::steady_clock::now();
      bytes = MakeEncoder({.quality = 90, .format = format})->Encode(picture).size();
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-4s 12 MP at quality 90: %8.0f ms (median of %d), %zu bytes\n",
                ExtensionOf(format), ms[ms.size() / 2], runs, bytes);
  }
}
