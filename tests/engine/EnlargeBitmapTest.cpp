// EnlargeBitmap: the worked cells (including the white read past the edge),
// the sizes each mode gives, the progress positions and the refusals, run
// against both the fast routine and the literal one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Errors.h"
#include "resample/EnlargeBitmap.h"
#include "resample/literal/EnlargeBitmapLiteral.h"

using namespace vizuvod;

namespace {

using EnlargeFn = void (*)(std::shared_ptr<TBitmap>&, const std::string&, float, float, float,
                           float, const TRowHooks&);
struct Impl {
  const char* name;
  EnlargeFn fn;
};
using Rows = std::vector<std::vector<int>>;

std::shared_ptr<TBitmap> Grey(const Rows& grey) {
  return std::make_shared<TBitmap>(
      MakeBitmap24(int(grey[0].size()), int(grey.size()), [&](int x, int y) {
        const int v = grey[y][x];
        return RGBColor(v, v, v);
      }));
}

Rows GreyRows(const TBitmap& b) {
  Rows out(b.Height(), std::vector<int>(b.Width()));
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColorValue c = b.Pixel(x, y);
      EXPECT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) << x << "," << y;
      out[y][x] = RedOf(c);
    }
  return out;
}

class EnlargeBoth : public ::testing::TestWithParam<Impl> {
 protected:
  Rows Percent(const Rows& grey, float scale) {
    auto V = Grey(grey);
    GetParam().fn(V, "percent", scale, scale, 0, 0, {});
    EXPECT_EQ(V->PixelFormat(), TPixelFormat::pfDevice);
    return GreyRows(*V);
  }
};

TEST_P(EnlargeBoth, WorkedCells) {
  EXPECT_EQ(Percent({{0, 90}, {30, 120}}, 1.5f), (Rows{{0, 60, 90}, {20, 80, 110}, {30, 90, 120}}));
  // The right column and bottom row blend with the white past the edge;
  // 177.5, 127.5 and 152.5 round half to even.
  EXPECT_EQ(Percent({{0, 100}}, 2), (Rows{{0, 50, 100, 178}, {128, 152, 178, 216}}));
  EXPECT_EQ(Percent({{0}}, 2), (Rows{{0, 128}, {128, 191}}));
}

TEST_P(EnlargeBoth, TenByTenAtOnePointNineOvershootsAndClamps) {
  Rows grey(10, std::vector<int>(10, 0));
  for (auto& row : grey) std::fill(row.begin() + 7, row.end(), 255);
  const Rows out = Percent(grey, 1.9f);
  ASSERT_EQ(out.size(), 19u);
  std::vector<int> inner(19, 255), last(19, 255);
  std::fill(inner.begin(), inner.begin() + 12, 0);
  inner[12] = 134;
  std::fill(last.begin(), last.begin() + 12, 134);
  last[12] = 198;
  for (int y = 0; y < 18; ++y) EXPECT_EQ(out[y], inner) << "row " << y;
  EXPECT_EQ(out[18], last);
}

TEST_P(EnlargeBoth, ScaleOneCopiesEveryPixelOfEveryFormat) {
  // A short palette: indices past its end read black, in both versions.
  std::vector<TPaletteEntry> palette;
  for (int i = 0; i < 200; ++i)
    palette.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)});
  const TBitmap grey8 = MakeBitmap8(7, 5, palette, [](int x, int y) { return 37 * x + 11 * y; });
  const TBitmap device =
      DeviceCopy(MakeBitmap24(7, 5, [](int x, int y) { return RGBColor(3 * x, 40 * y, x * y); }));
  const TBitmap rgb =
      MakeBitmap24(7, 5, [](int x, int y) { return RGBColor(x * y, 9 * x, 50 * y); });
  for (const TBitmap* source : std::vector<const TBitmap*>{&grey8, &device, &rgb}) {
    auto V = std::make_shared<TBitmap>(*source);
    GetParam().fn(V, "size", 0, 0, 7, 0, {});
    ASSERT_EQ(V->Width(), 7);
    ASSERT_EQ(V->Height(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(V->Pixel(x, y), source->Pixel(x, y)) << x << "," << y;
  }
}

TEST_P(EnlargeBoth, ProgressOncePerRowThenPump) {
  for (const auto& [rows, expected] : std::vector<std::pair<int, std::vector<std::string>>>{
           {3, {"0", "pump", "50", "pump", "100", "pump"}},
           {1, {"100", "pump"}},
           {5, {"0", "pump", "25", "pump", "50", "pump", "75", "pump", "100", "pump"}}}) {
    auto V = Grey(Rows(rows, std::vector<int>(2, 9)));
    std::vector<std::string> calls;
    GetParam().fn(
        V, "percent", 1, 1, 0, 0,
        {[&](int p) { calls.push_back(std::to_string(p)); }, [&] { calls.push_back("pump"); }});
    EXPECT_EQ(calls, expected) << rows << " rows";
  }
}

TEST_P(EnlargeBoth, OtherModeTextGivesTheEmptyPicture) {
  for (const char* mode : {"Percent", "SIZE", "", "percent ", "px"}) {
    auto V = Grey({{1, 2}, {3, 4}});
    const auto source = V;
    int hooks = 0;
    GetParam().fn(V, mode, 2, 2, 10, 10, {[&](int) { ++hooks; }, [&] { ++hooks; }});
    EXPECT_NE(V, source);
    EXPECT_EQ(V->Width(), 0);
    EXPECT_EQ(V->Height(), 0);
    EXPECT_EQ(hooks, 0);
  }
}

TEST_P(EnlargeBoth, RefusesEmptyOrAbsurdSizesAndKeepsTheSource) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* mode;
    float sx, sy, w, h;
    bool tooBig;
  };
  for (const Case& c : std::vector<Case>{{"percent", 0, 0, 0, 0, false},
                                         {"percent", 2, 0, 0, 0, false},
                                         {"percent", -1.5f, 1.5f, 0, 0, false},
                                         {"percent", 0.1f, 2, 0, 0, false},  // 0.3 rounds to 0
                                         {"percent", nan, 2, 0, 0, false},
                                         {"size", 0, 0, 0, 0, false},
                                         {"size", 0, 0, -10, 0, false},
                                         {"size", 0, 0, 0, -10, false},
                                         {"size", 0, 0, 0.4f, 0, false},
                                         {"percent", inf, 2, 0, 0, true},
                                         {"percent", 1e30f, 1e30f, 0, 0, true},
                                         {"percent", 40000, 40000, 0, 0, true},
                                         {"size", 0, 0, 3e9f, 0, true}}) {
    auto V = Grey({{1, 2, 3}, {4, 5, 6}});
    const auto source = V;
    int hooks = 0;
    const auto call = [&] {
      GetParam().fn(V, c.mode, c.sx, c.sy, c.w, c.h, {[&](int) { ++hooks; }, [&] { ++hooks; }});
    };
    if (c.tooBig)
      EXPECT_THROW(call(), EOutOfResources) << c.mode << " " << c.sx << " " << c.w;
    else
      EXPECT_THROW(call(), EInvalidArgument) << c.mode << " " << c.sx << " " << c.w << " " << c.h;
    EXPECT_EQ(V, source);
    EXPECT_EQ(hooks, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(, EnlargeBoth,
                         ::testing::Values(Impl{"Fast", EnlargeBitmap},
                                           Impl{"Literal", EnlargeBitmapLiteral}),
                         [](const auto& info) { return std::string(info.param.name); });

// The sizes and working scales each mode gives (shared by both versions).
TEST(EnlargeGeometry, SizesAndScalesPerMode) {
  using enlarge_detail::Geometry;
  struct Case {
    const char* mode;
    float sx, sy, w, h;
    int SW, SH, EW, EH;
    float scale;  // both working scales
  };
  const float p150 = float(150 / 100.0), p130 = float(130 / 100.0);
  for (const Case& c : std::vector<Case>{
           {"percent", p150, p150, 0, 0, 1001, 667, 1502, 1000, p150},
           {"percent", p130, p130, 0, 0, 15, 15, 19, 19, p130},
           {"size", 0, 0, 1500, 0, 1000, 667, 1500, 1000, 1.5f},
           {"size", 0, 0, 0, 600, 400, 300, 800, 600, 2.0f},
           {"size", 0, 0, 1000, 0, 333, 200, 1000, 601, float(1000.0L / 333)},
           {"size", 0, 0, 800, 800, 400, 300, 1067, 800, float(800.0L / 300)},  // height decides
           {"size", 0, 0, 640, 0, 640, 480, 640, 480, 1.0f}}) {
    const auto g = Geometry(c.mode, c.sx, c.sy, c.w, c.h, c.SW, c.SH);
    EXPECT_EQ(g.EW, c.EW) << c.mode << " " << c.SW << "x" << c.SH;
    EXPECT_EQ(g.EH, c.EH) << c.mode << " " << c.SW << "x" << c.SH;
    EXPECT_EQ(g.scaleX, c.scale);
    EXPECT_EQ(g.scaleY, c.scale);
  }
  // "percent" keeps its two scales as they are, even when they differ.
  const auto g = Geometry("percent", 1.25f, 3.0f, 0, 0, 8, 2);
  EXPECT_EQ(g.EW, 10);
  EXPECT_EQ(g.EH, 6);
  EXPECT_EQ(g.scaleX, 1.25f);
  EXPECT_EQ(g.scaleY, 3.0f);
}

}  // namespace
