// The fast ShrinkBitmap and EnlargeBitmap against their literal versions:
// many sizes, awkward scales, pictures that provoke exact ties, clamping and
// the white edge, in all three source formats. Every byte and every progress
// call must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "resample/EnlargeBitmap.h"
#include "resample/Kernels.h"
#include "resample/ShrinkBitmap.h"
#include "resample/literal/EnlargeBitmapLiteral.h"
#include "resample/literal/ShrinkBitmapLiteral.h"

using namespace vizuvod;

namespace {

enum class Picture { Random, Extremes, Gradient, Photo, Flat };
const char* Name(Picture p) {
  static const char* names[] = {"random", "extremes", "gradient", "photo", "flat"};
  return names[int(p)];
}

TColorValue Sample(Picture kind, int x, int y, std::mt19937& random) {
  switch (kind) {
    case Picture::Random: return random() & 0xFFFFFF;
    case Picture::Extremes: return (random() & 1) ? 0xFFFFFF : (random() & 1) ? 0 : 0x00FF00;
    case Picture::Gradient: return RGBColor(x * 7, y * 5, (x + y) * 3);
    case Picture::Photo: {
      const int base = int(128 + 100 * std::sin(x * 0.07) * std::cos(y * 0.05));
      const int noise = int(random() % 9) - 4;
      return RGBColor(std::clamp(base + noise, 0, 255), std::clamp(base / 2 + noise, 0, 255),
                      std::clamp(255 - base, 0, 255));
    }
    case Picture::Flat: break;
  }
  return RGBColor(200, 17, 255);
}

// A picture in the given format; pf8bit pictures are grey with a full palette.
TBitmap MakePicture(TPixelFormat format, int w, int h, Picture kind, std::mt19937& random) {
  TBitmap b = MakeBitmap24(w, h, [&](int x, int y) { return Sample(kind, x, y, random); });
  if (format == TPixelFormat::pfDevice) return DeviceCopy(b);
  if (format == TPixelFormat::pf8bit) {
    // Random pictures get a short palette: indices past its end read black.
    std::vector<TPaletteEntry> palette(kind == Picture::Random ? 200 : 256);
    for (std::size_t i = 0; i < palette.size(); ++i)
      palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
    return MakeBitmap8(w, h, palette, [&](int x, int y) { return GreenOf(b.Pixel(x, y)); });
  }
  return b;
}

struct Recorder {
  std::vector<int> calls;  // progress positions, -1 for a pump
  TRowHooks Hooks() {
    return {[this](int p) { calls.push_back(p); }, [this] { calls.push_back(-1); }};
  }
};

const TPixelFormat formats[] = {TPixelFormat::pf24bit, TPixelFormat::pf8bit,
                                TPixelFormat::pfDevice};

// The fast versions run once per kernel path this build and processor have.
void CompareShrink(const TBitmap& source, int dw, int dh, const std::string& what) {
  TBitmap S2 = source, D2;
  D2.SetSize(dw, dh);
  TBitmap* R2 = nullptr;
  Recorder literal;
  ShrinkBitmapLiteral(S2, D2, R2, literal.Hooks());
  for (TKernelPath path : AvailableKernelPaths()) {
    const TScopedKernelPath forced(path);
    TBitmap S1 = source, D1;
    D1.SetSize(dw, dh);
    TBitmap* R1 = nullptr;
    Recorder fast;
    ShrinkBitmap(S1, D1, R1, fast.Hooks());
    ASSERT_EQ(R1, &D1);
    ASSERT_TRUE(SameBytes(D1, D2)) << what << ", " << KernelPathName(path);
    ASSERT_TRUE(SameBytes(S1, S2)) << what << ", " << KernelPathName(path);
    ASSERT_EQ(fast.calls, literal.calls) << what;
  }
}

TEST(ShrinkSameness, RandomSizesPicturesAndFormats) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    const int sw = 1 + int(random() % 90), sh = 1 + int(random() % 90);
    const int dw = 1 + int(random() % sw), dh = 1 + int(random() % sh);
    const Picture kind = Picture(random() % 5);
    const TPixelFormat format = formats[random() % 3];
    const TBitmap source = MakePicture(format, sw, sh, kind, random);
    CompareShrink(source, dw, dh,
                  std::to_string(sw) + "x" + std::to_string(sh) + " -> " + std::to_string(dw) +
                      "x" + std::to_string(dh) + " " + Name(kind));
  }
}

TEST(ShrinkSameness, TypicalRatiosAndLargeBlocks) {
  std::mt19937 random(7);
  struct Case {
    int sw, sh, dw, dh;
  };
  for (const Case& c : std::vector<Case>{{640, 480, 320, 240},
                                         {641, 479, 320, 240},
                                         {1000, 300, 800, 240},
                                         {997, 401, 3, 402 / 3},
                                         {300, 300, 1, 1},  // a block of 90000 pixels
                                         {100, 90, 2, 2},   // blocks just above 256
                                         {17, 16, 1, 16},   // runs of 17
                                         {700, 300, 699, 299}}) {
    for (Picture kind : {Picture::Photo, Picture::Extremes, Picture::Flat}) {
      const TBitmap source = MakePicture(TPixelFormat::pf24bit, c.sw, c.sh, kind, random);
      CompareShrink(source, c.dw, c.dh, std::to_string(c.sw) + " -> " + std::to_string(c.dw));
    }
  }
}

TEST(KernelPaths, EveryPathAvailableCanBeForcedAndTheWidestIsTheDefault) {
  const std::vector<TKernelPath> paths = AvailableKernelPaths();
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths.front(), TKernelPath::kpScalar);
  EXPECT_EQ(ActiveKernelPath(), paths.back());
  for (TKernelPath path : paths) {
    const TScopedKernelPath forced(path);
    EXPECT_EQ(ActiveKernelPath(), path);
  }
  EXPECT_EQ(ActiveKernelPath(), paths.back());
}

// One block of more than 2^24 pixels takes the 64-bit sums and the 40-bit
// reciprocal; the mean must come out the same, and at most one below the
// exact one.
TEST(ShrinkSameness, BlockBeyondTwoToTheTwentyFour) {
  const TBitmap source = MakeBitmap24(
      4100, 4100, [](int x, int y) { return RGBColor(255, (x + y) & 0xFF, x % 7 == 0 ? 0 : 255); });
  TBitmap S1 = source, S2 = source, D1, D2;
  D1.SetSize(1, 1);
  D2.SetSize(1, 1);
  TBitmap *R1 = nullptr, *R2 = nullptr;
  ShrinkBitmap(S1, D1, R1);
  ShrinkBitmapLiteral(S2, D2, R2);
  ASSERT_TRUE(SameBytes(D1, D2));
  // White gives 254 (the mean less one); blue is 0 in 586 of the 4100
  // columns, an exact mean of 218.55.
  EXPECT_EQ(RedOf(D1.Pixel(0, 0)), 254);
  EXPECT_EQ(BlueOf(D1.Pixel(0, 0)), 218);
}

void CompareEnlarge(const TBitmap& source, const std::string& mode, float sx, float sy, float w,
                    float h, const std::string& what) {
  auto V2 = std::make_shared<TBitmap>(source);
  Recorder literal;
  EnlargeBitmapLiteral(V2, mode, sx, sy, w, h, literal.Hooks());
  for (TKernelPath path : AvailableKernelPaths()) {
    const TScopedKernelPath forced(path);
    auto V1 = std::make_shared<TBitmap>(source);
    Recorder fast;
    EnlargeBitmap(V1, mode, sx, sy, w, h, fast.Hooks());
    ASSERT_TRUE(SameBytes(*V1, *V2)) << what << ", " << KernelPathName(path);
    ASSERT_EQ(fast.calls, literal.calls) << what;

    // The same from source rows that arrive one by one, to a row sink.
    const int SW = source.Width(), SH = source.Height();
    const auto g = enlarge_detail::Geometry(mode, sx, sy, w, h, SW, SH);
    // A source that checks it is read top to bottom and finished once.
    struct TRows : TRowSource {
      const TBitmap& source;
      const std::string& what;
      std::vector<std::uint8_t> bgr;
      int asked = -1, finished = 0;
      TRows(const TBitmap& s, const std::string& w)
          : source(s), what(w), bgr(std::size_t(s.Width()) * 3) {}
      int Width() const override { return source.Width(); }
      int Height() const override { return source.Height(); }
      const std::uint8_t* Row(int r) override {
        EXPECT_GT(r, asked) << what;
        asked = r;
        for (int x = 0; x < source.Width(); ++x) {
          const TColorValue c = source.Pixel(x, r);
          bgr[3 * x] = BlueOf(c), bgr[3 * x + 1] = GreenOf(c), bgr[3 * x + 2] = RedOf(c);
        }
        return bgr.data();
      }
      void Finish() override { ++finished; }
    } arriving(source, what);
    int made = 0;
    TBitmap rows;
    rows.SetSize(g.EW, g.EH);
    Recorder streamed;
    EnlargeRows(
        arriving, g,
        [&](const std::uint8_t* row) { std::memcpy(rows.ScanLine(made++), row, 4 * g.EW); },
        streamed.Hooks());
    ASSERT_EQ(arriving.finished, 1) << what;
    ASSERT_TRUE(SameBytes(rows, *V1)) << what << " from rows, " << KernelPathName(path);
    ASSERT_EQ(streamed.calls, literal.calls) << what;
  }
}

// Scales that stress the arithmetic: ties at 2 and 4, rounding of the
// stored scale (1.3, 1.9, 3.003...), barely above 1, large, below 1.
const float awkwardScales[] = {1.3f,
                               1.9f,
                               float(1000.0L / 333),
                               1.0000001f,
                               1.0f,
                               7.77f,
                               1.5f,
                               2.0f,
                               4.0f,
                               2.5f,
                               1.25f,
                               0.999f,
                               0.7f,
                               1.29999995f,
                               13.0f,
                               float(150 / 100.0),
                               float(101 / 100.0),
                               3.0f,
                               16.0f,
                               23.7f};

TEST(EnlargeSameness, AwkwardScalesOnEveryPictureKind) {
  std::mt19937 random(1234);
  for (float scale : awkwardScales) {
    for (Picture kind : {Picture::Random, Picture::Extremes, Picture::Gradient, Picture::Photo}) {
      // About 0.03 MP of output per case keeps the literal version quick.
      const int side = std::max(2, int(170 / std::max(scale, 1.0f)));
      const int sw = side + int(random() % 5), sh = side - 1 + int(random() % 3);
      const TBitmap source = MakePicture(formats[random() % 3], sw, sh, kind, random);
      CompareEnlarge(source, "percent", scale, scale, 0, 0,
                     std::to_string(scale) + " " + Name(kind) + " " + std::to_string(sw));
    }
  }
}

TEST(EnlargeSameness, RandomScalesSizesAndModes) {
  std::mt19937 random(99);
  std::uniform_real_distribution<float> scale(1.0f, 8.0f);
  for (int round = 0; round < 120; ++round) {
    const int sw = 1 + int(random() % 40), sh = 1 + int(random() % 40);
    const TBitmap source =
        MakePicture(formats[random() % 3], sw, sh, Picture(random() % 4), random);
    const float sx = scale(random), sy = (random() & 1) ? sx : scale(random);
    const std::string what = std::to_string(sw) + "x" + std::to_string(sh) + " at " +
                             std::to_string(sx) + "," + std::to_string(sy);
    switch (round % 3) {
      case 0: CompareEnlarge(source, "percent", sx, sy, 0, 0, what); break;
      case 1: CompareEnlarge(source, "size", 0, 0, float(sw + int(random() % 200)), 0, what); break;
      case 2: CompareEnlarge(source, "size", 0, 0, 0, float(sh + int(random() % 200)), what); break;
    }
  }
}

// Scales whose 1 / scale is close to an integer make x / scaleX land next to
// whole numbers, where the extended quotient's rounding picks the cell.
TEST(EnlargeSameness, CellBoundariesNextToWholeNumbers) {
  std::mt19937 random(5);
  const TBitmap source = MakePicture(TPixelFormat::pf24bit, 60, 9, Picture::Random, random);
  for (float scale :
       {std::nextafter(2.0f, 3.0f), std::nextafter(2.0f, 0.0f), std::nextafter(3.0f, 0.0f),
        std::nextafter(1.5f, 0.0f), std::nextafter(5.0f, 9.0f)})
    CompareEnlarge(source, "percent", scale, scale, 0, 0, std::to_string(scale));
}

// Rows of a few columns end inside the kernels' first vector step: every
// width up to a few steps of two, four and eight columns.
TEST(EnlargeSameness, RowsAroundTheVectorSteps) {
  std::mt19937 random(11);
  const TBitmap source = MakePicture(TPixelFormat::pf24bit, 6, 3, Picture::Extremes, random);
  for (int width = 1; width <= 18; ++width)
    CompareEnlarge(source, "size", 0, 0, float(width), 0, "width " + std::to_string(width));
}

// Outside the bounds of the fast arithmetic the literal version runs; the
// result must not depend on which one was chosen.
TEST(EnlargeSameness, ExtremeScalesTakeTheLiteralRoute) {
  std::mt19937 random(3);
  const TBitmap tiny = MakePicture(TPixelFormat::pf24bit, 1, 2, Picture::Random, random);
  CompareEnlarge(tiny, "percent", 9000, 1, 0, 0, "9000 x 1");
  const TBitmap wide = MakePicture(TPixelFormat::pf24bit, 3, 1, Picture::Random, random);
  CompareEnlarge(wide, "percent", 1.5f, 9000, 0, 0, "1.5 x 9000");
}

}  // namespace

// Whole real photos, decoded as the run decodes them, through both versions:
// every shrink the wizard makes of them, and enlargements of the small ones
// (the literal enlarger makes about 2 MP a second).
TEST(PhotoSameness, CorpusPhotosGiveTheSameBytes) {
  const std::filesystem::path photos = CorpusDir() / "photos";
  if (CorpusDir().empty() || !std::filesystem::is_directory(photos))
    GTEST_SKIP() << "no photo corpus beside the project";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(photos)) {
    TJPEGImage J;
    TBitmap S;
    try {
      J.LoadFromFile(entry.path().string());
      S.Assign(J);
    } catch (const Exception&) {
      continue;  // files the codec refuses have nothing to resample
    }
    const std::string name = entry.path().filename().string();
    const long double pixels = static_cast<long double>(S.Width()) * S.Height();
    if (pixels > 20e6) continue;
    for (int percent : {50, 7}) {
      const int dw = std::max(1, int(std::nearbyint(S.Width() * (percent / 100.0L))));
      const int dh = std::max(1, int(std::nearbyint(S.Height() * (percent / 100.0L))));
      CompareShrink(S, dw, dh, name + " at " + std::to_string(percent) + " %");
    }
    if (pixels <= 320e3) CompareEnlarge(S, "percent", 1.5f, 1.5f, 0, 0, name + " at 150 %");
    const long double wider = (S.Width() + 97.0L) / S.Width();
    if (pixels * wider * wider <= 720e3)
      CompareEnlarge(S, "size", 0, 0, float(S.Width() + 97), 0, name + " wider by 97");
    ++compared;
  }
  EXPECT_GT(compared, 0);
}
