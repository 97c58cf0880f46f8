// codec_bench: how fast TJPEGImage decodes and encodes full-size photos.
//
//   codec_bench [FOLDER] [RUNS]
//
// Without a folder it makes photo-like pictures of 12 MP and 24 MP (smooth
// light, fine texture and hard edges, so the encoder works as hard as on a
// real photo), saves them baseline and progressive, and times them; with a
// folder it times every *.jpg in it. Each figure is the median of RUNS runs
// (default 5): decode is load + assign to a bitmap, encode is assign from the
// bitmap + save (which includes writing and syncing the file; the write alone
// is shown apart).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/jpeg/JpegImage.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

double MedianMs(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Smooth gradients of light, a texture of a few grey levels and sharp-edged
// shapes: compresses to about what a camera photo does at quality 90.
TBitmap PhotoLike(int width, int height) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(width, height);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = int(seed >> 28) - 8;
      const double fx = double(x) / width, fy = double(y) / height;
      const bool shape = ((x / 97 + y / 61) % 7 == 0) || std::hypot(fx - 0.6, fy - 0.4) < 0.15;
      const double light = 0.5 + 0.35 * std::sin(fx * 5.0 + fy * 3.0) * std::cos(fy * 4.0);
      int r = int(255 * light * (shape ? 0.4 : 1.0)) + grain;
      int g = int(255 * (1 - fy) * 0.8 + 30 * std::sin(x * 0.05)) + grain;
      int bl = int(255 * fx * (shape ? 1.0 : 0.6)) + grain;
      row[3 * x] = std::uint8_t(std::clamp(bl, 0, 255));
      row[3 * x + 1] = std::uint8_t(std::clamp(g, 0, 255));
      row[3 * x + 2] = std::uint8_t(std::clamp(r, 0, 255));
    }
  }
  return b;
}

void Report(const std::string& name, const fs::path& file, const fs::path& scratch, int runs) {
  TBitmap picture;
  bool progressive = false;
  const double decodeMs = MedianMs(runs, [&] {
    TJPEGImage j;
    j.LoadFromFile(file.string());
    picture.Assign(j);
    progressive = j.settings.progressiveEncoding;
  });
  std::vector<std::uint8_t> encoded;
  const fs::path out = scratch / "Resize of bench.jpg";
  const double encodeMs = MedianMs(runs, [&] {
    TJPEGImage j;
    j.settings.progressiveEncoding = progressive;
    j.Assign(picture);
    j.SaveToFile(out.string());
    encoded = j.Data()->bytes;
  });
  const double writeMs = MedianMs(runs, [&] { ReplaceFileWith(out.string(), encoded); });
  const double mp = double(picture.Width()) * picture.Height() / 1e6;
  std::printf(
      "%-28s %5.1f MP %-5s  decode %7.1f ms %6.1f MP/s   encode+save %7.1f ms %6.1f MP/s"
      "   (write %5.1f ms, %.2f MB)\n",
      name.c_str(), mp, progressive ? "prog" : "base", decodeMs, mp / decodeMs * 1000, encodeMs,
      mp / encodeMs * 1000, writeMs, encoded.size() / 1e6);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const fs::path scratch =
      fs::temp_directory_path() / ("codec_bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  try {
    if (argc > 1) {
      std::vector<fs::path> files;
      for (const auto& e : fs::directory_iterator(argv[1]))
        if (e.is_regular_file()) files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (const fs::path& f : files) {
        try {
          Report(f.filename().string(), f, scratch, runs);
        } catch (const Exception& e) {
          std::printf("%-28s skipped: %s\n", f.filename().string().c_str(), e.what());
        }
      }
    } else {
      for (auto [w, h] : {std::pair{4000, 3000}, std::pair{6000, 4000}}) {
        const TBitmap picture = PhotoLike(w, h);
        for (bool progressive : {false, true}) {
          const fs::path file = scratch / "source.jpg";
          TJPEGImage j;
          j.settings.progressiveEncoding = progressive;
          j.Assign(picture);
          j.SaveToFile(file.string());
          Report(std::to_string(w) + "x" + std::to_string(h) + " photo-like", file, scratch, runs);
        }
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "codec_bench: %s\n", e.what());
    fs::remove_all(scratch);
    return 1;
  }
  fs::remove_all(scratch);
  return 0;
}
