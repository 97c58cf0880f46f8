// Times ShrinkBitmap and EnlargeBitmap, fast beside literal, on 12 MP and
// 24 MP photo-like pictures: shrink to 50 %, shrink to width 800, enlarge to
// 150 %. The literal enlarger is timed on a crop and scaled per megapixel.
// With --job PHOTO.jpg it times instead the whole per-photo job (load,
// decode, resample, encode, save) against the codec alone (the same without
// resampling, at the photo's own size).
// The fast versions run once per kernel path, in turns. With --kernels it
// times each kernel alone on every path, on rows of a 6000-pixel-wide photo.
// Not run by ctest; run by hand:
//   build-<dir>/bench/resample_bench [--fast-only | --kernels [NAME] | --job PHOTO.jpg]
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

#include "formats/jpeg/JpegImage.h"
#include "resample/EnlargeBitmap.h"
#include "resample/Kernels.h"
#include "resample/ShrinkBitmap.h"
#include "resample/literal/EnlargeBitmapLiteral.h"
#include "resample/literal/ShrinkBitmapLiteral.h"

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

// The best of three turns of every kernel path, the paths taken in turns.
void PerPath(const char* what, double sourceMP, double outMP,
             const std::function<double()>& seconds) {
  const std::vector<TKernelPath> paths = AvailableKernelPaths();
  std::vector<double> best(paths.size(), 1e30);
  for (int turn = 0; turn < 3; ++turn)
    for (std::size_t p = 0; p < paths.size(); ++p) {
      const TScopedKernelPath forced(paths[p]);
      best[p] = std::min(best[p], seconds());
    }
  for (std::size_t p = 0; p < paths.size(); ++p)
    Report(what, KernelPathName(paths[p]), best[p], sourceMP, outMP);
}

void Shrink(const TBitmap& source, int dw, int dh, const char* what, bool literal) {
  const double srcMP = source.Width() * double(source.Height()) / 1e6,
               outMP = dw * double(dh) / 1e6;
  auto run = [&](auto fn) {
    return Seconds([&] {
      TBitmap S = source, D;
      D.SetSize(dw, dh);
      TBitmap* R = nullptr;
      fn(S, D, R, TRowHooks{});
    });
  };
  PerPath(what, srcMP, outMP, [&] { return run(ShrinkBitmap); });
  if (literal) Report(what, "literal", Best(3, [&] { run(ShrinkBitmapLiteral); }), srcMP, outMP);
}

void Enlarge(const TBitmap& source, float scale, const char* what, bool withLiteral) {
  const float s = float(int(std::lround(scale * 100)) / 100.0);
  auto outMP = [&](const TBitmap& b) {
    return std::nearbyint(b.Width() * double(s)) * std::nearbyint(b.Height() * double(s)) / 1e6;
  };
  const double srcMP = source.Width() * double(source.Height()) / 1e6;
  PerPath(what, srcMP, outMP(source), [&] {
    return Seconds([&] {
      auto V = std::make_shared<TBitmap>(source);
      EnlargeBitmap(V, "percent", s, s, 0, 0);
    });
  });
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
  for (int turn = 0; turn < 15; ++turn)
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

// Each kernel alone on every path, on rows of a 6000-pixel-wide photo (the
// enlarger's at several scales): nanoseconds per output column, or per source
// pixel for the shrinker's kernels; the best of seven turns, paths in turns.
int KernelTimes(const std::string& only) {
  const int SW = 6000;
  std::mt19937 random(42);
  auto photoRow = [&](int y) {
    std::vector<std::uint8_t> row(3 * std::size_t(SW + 2) + 16, 255);
    for (int x = 0; x < SW; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const double base = 128 + 90 * std::sin(x * 0.004 + y * 0.001 + ch);
        row[3 * x + ch] = std::uint8_t(std::clamp(int(base) + int(random() % 13) - 6, 0, 255));
      }
    return row;
  };
  const std::vector<std::uint8_t> top = photoRow(0), bottom = photoRow(1), below = photoRow(2);
  std::vector<std::uint8_t> row = bottom, out;
  std::vector<std::uint16_t> sums(3 * SW);
  struct Case {
    std::string name;
    double units;
    std::function<void(const TResampleKernels&)> run;
  };
  std::vector<Case> cases{{"column sums", double(SW),
                           [&](const TResampleKernels& k) {
                             k.addToColumnSums(top.data(), sums.data(), 3 * SW, false);
                           }},
                          {"sharpen row", double(SW), [&](const TResampleKernels& k) {
                             k.sharpenRow(top.data(), row.data(), below.data(), 3 * SW);
                           }}};
  // The enlarger's per-column tables and one cell row's values, as it makes them.
  struct Scale {
    float scale;
    int EW;
    std::vector<int> cell, offset;
    float slopeX[511];
    std::vector<float> I0, I1, sV;
  };
  std::vector<std::unique_ptr<Scale>> scales;
  for (float f : {1.5f, 2.0f, 3.0f, 7.77f}) {
    auto& a = *scales.emplace_back(std::make_unique<Scale>());
    a.scale = f;
    a.EW = int(std::nearbyint(SW * (long double)f));
    for (int i = 0; i < a.EW; ++i) {
      const int c = int(std::trunc((long double)i / f));
      a.cell.push_back(c);
      a.offset.push_back(i - int(std::nearbyint((long double)c * f)));
    }
    for (int d = -255; d <= 255; ++d) a.slopeX[d + 255] = float((long double)d / f);
    a.I0.resize(4 * std::size_t(a.EW));
    a.I1.resize(a.I0.size());
    a.sV.resize(a.I0.size());
    out.resize(std::max(out.size(), a.I0.size()));
    const std::string percent = " " + std::to_string(int(std::lround(f * 100))) + " %";
    auto rowValues = [&a](const TResampleKernels& k, const std::vector<std::uint8_t>& row,
                          std::vector<float>& I) {
      k.rowValues(row.data(), a.cell.data(), a.offset.data(), a.slopeX, a.scale, I.data(), a.EW);
    };
    rowValues(Kernels(), bottom, a.I1);
    rowValues(Kernels(), top, a.I0);
    auto verticalSlopes = [&a](const TResampleKernels& k) {
      k.verticalSlopes(a.I0.data(), a.I1.data(), a.scale, a.sV.data(), 4 * a.EW);
    };
    verticalSlopes(Kernels());
    cases.push_back(
        {"row values" + percent, double(a.EW),
         [&a, &top, rowValues](const TResampleKernels& k) { rowValues(k, top, a.I0); }});
    cases.push_back({"vertical slopes" + percent, double(a.EW), verticalSlopes});
    if (f != 1.5f) continue;
    cases.push_back(
        {"compose exact" + percent, double(a.EW), [&a, &out](const TResampleKernels& k) {
           k.composeRowExact(a.I0.data(), a.sV.data(), 1, out.data(), 4 * a.EW);
         }});
    cases.push_back(
        {"compose at origin" + percent, double(a.EW), [&a, &out](const TResampleKernels& k) {
           k.composeRowAtOrigin(a.I0.data(), out.data(), 4 * a.EW);
         }});
  }
  const std::vector<TKernelPath> paths = AvailableKernelPaths();
  std::printf("ns per column %-14s", "");
  for (TKernelPath p : paths) std::printf("%10s", KernelPathName(p));
  std::printf("   widest / next\n");
  for (const Case& c : cases) {
    if (c.name.find(only) == std::string::npos) continue;
    std::vector<double> best(paths.size(), 1e30);
    for (int turn = 0; turn < 15; ++turn)
      for (std::size_t p = 0; p < paths.size(); ++p) {
        const TScopedKernelPath forced(paths[p]);
        const TResampleKernels& k = Kernels();
        const int calls = 50;
        best[p] = std::min(best[p], Seconds([&] {
                                      for (int i = 0; i < calls; ++i) c.run(k);
                                    }) / calls);
      }
    std::printf("  %-25s", c.name.c_str());
    for (double b : best) std::printf("%10.3f", b * 1e9 / c.units);
    if (paths.size() > 1) std::printf("   %.2f", best.back() / best[paths.size() - 2]);
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--job") return Jobs(argv[2]);
  if (argc >= 2 && std::string(argv[1]) == "--kernels")
    return KernelTimes(argc >= 3 ? argv[2] : "");
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
