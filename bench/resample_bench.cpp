// Times ShrinkBitmap and EnlargeBitmap, fast beside literal, on 12 MP and
// 24 MP photo-like pictures: shrink to 50 %, shrink to width 800, enlarge to
// 150 %. The literal enlarger is timed on a crop and scaled per megapixel.
// With --job PHOTO.jpg it times instead the whole per-photo job (load,
// decode, resample, encode, save) against the codec alone (the same without
// resampling, at the photo's own size).
// Not run by ctest; run by hand:
//   build-<dir>/bench/resample_bench [--fast-only | --job PHOTO.jpg]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EnlargeBitmap.h"
#include "EnlargeBitmapLiteral.h"
#include "JpegImage.h"
#include "ShrinkBitmap.h"
#include "ShrinkBitmapLiteral.h"

using namespace vizuvod;

namespace {

// Smooth shapes plus sensor-like noise, in the decoder's 24-bit format.
TBitmap PhotoLike(int w, int h) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(w, h);
  std::mt19937 random(42);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const double base = 128 + 90 * std::sin(x * 0.004 + y * 0.001) * std::cos(y * 0.003);
      for (int ch = 0; ch < 3; ++ch) {
        const int v = int(base * (0.7 + 0.15 * ch)) + int(random() % 13) - 6;
        row[3 * x + ch] = std::uint8_t(std::min(std::max(v, 0), 255));
      }
    }
  }
  return b;
}

double Seconds(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of a few runs, to keep a busy machine's noise out.
double Best(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(f));
  return best;
}

void Report(const char* what, const char* version, double seconds, double sourceMP, double outMP,
            const char* note = "") {
  std::printf("  %-22s %-8s %9.1f ms  %7.1f src MP/s  %7.1f out MP/s %s\n", what, version,
              seconds * 1000, sourceMP / seconds, outMP / seconds, note);
}

void Shrink(const TBitmap& source, int dw, int dh, const char* what, bool literal) {
  const double srcMP = source.Width() * double(source.Height()) / 1e6,
               outMP = dw * double(dh) / 1e6;
  auto run = [&](auto fn) {
    return Best(3, [&] {
      TBitmap S = source, D;
      D.SetSize(dw, dh);
      TBitmap* R = nullptr;
      fn(S, D, R, TRowHooks{});
    });
  };
  Report(what, "fast", run(ShrinkBitmap), srcMP, outMP);
  if (literal) Report(what, "literal", run(ShrinkBitmapLiteral), srcMP, outMP);
}

void Enlarge(const TBitmap& source, float scale, const char* what, bool withLiteral) {
  const float s = float(int(std::lround(scale * 100)) / 100.0);
  auto outMP = [&](const TBitmap& b) {
    return std::nearbyint(b.Width() * double(s)) * std::nearbyint(b.Height() * double(s)) / 1e6;
  };
  const double srcMP = source.Width() * double(source.Height()) / 1e6;
  const double fast = Best(2, [&] {
    auto V = std::make_shared<TBitmap>(source);
    EnlargeBitmap(V, "percent", s, s, 0, 0);
  });
  Report(what, "fast", fast, srcMP, outMP(source));
  if (!withLiteral) return;
  // The literal version runs at a couple of MP/s: a 0.25 MP crop, scaled up.
  TBitmap crop = source;
  crop.SetSize(500, 500);
  const double literal = Seconds([&] {
    auto V = std::make_shared<TBitmap>(crop);
    EnlargeBitmapLiteral(V, "percent", s, s, 0, 0);
  });
  const double perOutMP = literal / outMP(crop);
  Report(what, "literal", perOutMP * outMP(source), srcMP, outMP(source), "(from a 500x500 crop)");
}

// The batch run's step for one photo, with `resize` between decode and encode.
void Job(const std::string& photo, const std::string& out,
         const std::function<const TBitmap&(std::shared_ptr<TBitmap>&)>& resize) {
  TJPEGImage J;
  J.LoadFromFile(photo);
  auto S = std::make_shared<TBitmap>();
  S->Assign(J);
  const TBitmap& result = resize(S);
  TJPEGImage K;
  K.Assign(result);
  K.SaveToFile(out);
}

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The cases run in turns, so that a change in the machine's load touches
// all of them alike; each figure is the median of its turns, in processor
// time (the machine is shared) beside wall time.
int Jobs(const std::string& photo) {
  const std::string out =
      (std::filesystem::temp_directory_path() / "resample-bench-out.jpg").string();
  TJPEGImage J;
  J.LoadFromFile(photo);
  const int w = J.Width(), h = J.Height();
  std::printf("%s: %d x %d\n", photo.c_str(), w, h);
  TBitmap D;
  TBitmap* R = nullptr;
  auto shrinkTo = [&](int dw, int dh) {
    return [&, dw, dh](std::shared_ptr<TBitmap>& S) -> const TBitmap& {
      D = TBitmap();
      D.SetSize(dw, dh);
      ShrinkBitmap(*S, D, R);
      return *R;
    };
  };
  struct Case {
    const char* name;
    std::function<const TBitmap&(std::shared_ptr<TBitmap>&)> resize;
    double target;
    std::vector<double> cpu, wall;
  };
  std::vector<Case> cases{
      {"codec alone", [](std::shared_ptr<TBitmap>& S) -> const TBitmap& { return *S; }, 0, {}, {}},
      {"50 %", shrinkTo(int(std::nearbyint(w * 0.5)), int(std::nearbyint(h * 0.5))), 1.0, {}, {}},
      {"width 800", shrinkTo(800, int(std::nearbyint(h * 800.0 / w))), 0.8, {}, {}},
      {"150 %",
       [](std::shared_ptr<TBitmap>& S) -> const TBitmap& {
         EnlargeBitmap(S, "percent", 1.5f, 1.5f, 0, 0);
         return *S;
       },
       3.5,
       {},
       {}}};
  for (int turn = 0; turn < 7; ++turn)
    for (Case& c : cases) {
      const double cpu = CpuSeconds();
      c.wall.push_back(Seconds([&] { Job(photo, out, c.resize); }));
      c.cpu.push_back(CpuSeconds() - cpu);
    }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double codecCpu = median(cases[0].cpu), codecWall = median(cases[0].wall);
  for (const Case& c : cases) {
    std::printf("  %-12s cpu %7.1f ms = %.2f x codec   wall %7.1f ms = %.2f x codec", c.name,
                median(c.cpu) * 1000, median(c.cpu) / codecCpu, median(c.wall) * 1000,
                median(c.wall) / codecWall);
    if (c.target > 0) std::printf("   (aim at most %.1f)", c.target);
    std::printf("\n");
  }
  std::filesystem::remove(out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--job") return Jobs(argv[2]);
  const bool literal = argc < 2 || std::string(argv[1]) != "--fast-only";
  for (const auto& [w, h] : {std::pair{4000, 3000}, std::pair{6000, 4000}}) {
    std::printf("%d x %d (%.0f MP), 24-bit\n", w, h, w * double(h) / 1e6);
    const TBitmap source = PhotoLike(w, h);
    Shrink(source, w / 2, h / 2, "shrink 50 %", literal);
    Shrink(source, 800, int(std::lround(h * 800.0 / w)), "shrink to width 800", literal);
    Enlarge(source, 1.5f, "enlarge 150 %", literal);
  }
  return 0;
}
