// ShrinkBitmap: the worked cases of the box reduction and the in-place
// sharpening, run against both the fast routine and the literal one, plus
// the block-mean formula and the refusals of impossible sizes.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Errors.h"
#include "resample/ShrinkBitmap.h"
#include "resample/literal/ShrinkBitmapLiteral.h"

using namespace vizuvod;

namespace {

using ShrinkFn = void (*)(TBitmap&, TBitmap&, TBitmap*&, const TRowHooks&);

struct Impl {
  const char* name;
  ShrinkFn fn;
};

class ShrinkBoth : public ::testing::TestWithParam<Impl> {
 protected:
  // Shrinks a grey picture (values by row, top first) to dw x dh and gives
  // back the grey rows of the result (all three channels must agree).
  std::vector<std::vector<int>> ShrinkGrey(const std::vector<std::vector<int>>& grey, int dw,
                                           int dh, std::vector<int>* progress = nullptr) {
    TBitmap S = MakeBitmap24(int(grey[0].size()), int(grey.size()), [&](int x, int y) {
      const int v = grey[y][x];
      return RGBColor(v, v, v);
    });
    TBitmap D;
    D.SetSize(dw, dh);
    TBitmap* R = nullptr;
    TRowHooks hooks;
    if (progress) hooks.setProgress = [progress](int p) { progress->push_back(p); };
    GetParam().fn(S, D, R, hooks);
    EXPECT_EQ(R, &D);
    EXPECT_EQ(D.PixelFormat(), TPixelFormat::pf24bit);
    std::vector<std::vector<int>> out(dh, std::vector<int>(dw));
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) {
        const TColorValue c = D.Pixel(x, y);
        EXPECT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) << x << "," << y;
        out[y][x] = RedOf(c);
      }
    return out;
  }
};

using Rows = std::vector<std::vector<int>>;

TEST_P(ShrinkBoth, FiveByFiveToTwoByTwoAveragesUnevenBlocks) {
  Rows grey(5, std::vector<int>(5));
  for (int i = 0; i < 25; ++i) grey[i / 5][i % 5] = 10 * (i + 1);
  EXPECT_EQ(ShrinkGrey(grey, 2, 2), (Rows{{39, 64}, {164, 189}}));
}

TEST_P(ShrinkBoth, OnePixelWideShrinksInHeightOnly) {
  Rows grey;
  for (int v = 10; v <= 90; v += 10) grey.push_back({v});
  std::vector<int> progress;
  EXPECT_EQ(ShrinkGrey(grey, 1, 3, &progress), (Rows{{19}, {49}, {79}}));
  EXPECT_EQ(progress, std::vector<int>{100});  // one interior row, nothing to sharpen
}

TEST_P(ShrinkBoth, SharpeningWorksInPlaceOnDiagonals) {
  // Equal sizes: every block is one pixel, so averaging gives v - 1.
  Rows grey(4, std::vector<int>(5, 101));
  grey[1][2] = 161;
  EXPECT_EQ(ShrinkGrey(grey, 5, 4), (Rows{{100, 100, 100, 100, 100},
                                          {100, 100, 190, 100, 100},
                                          {100, 88, 100, 88, 100},
                                          {100, 100, 100, 100, 100}}));
}

TEST_P(ShrinkBoth, SharpeningClampsToByteRange) {
  EXPECT_EQ(ShrinkGrey({{1, 50, 1}, {50, 201, 50}, {1, 50, 1}}, 3, 3)[1][1], 255);
  EXPECT_EQ(ShrinkGrey({{101, 9, 101}, {9, 0, 9}, {101, 9, 101}}, 3, 3)[1][1], 0);
  // 12 - 16 = -4 truncates to 0; 12 - 8 = 4 gives 0 too; 12 - 4 = 8 gives 1.
  EXPECT_EQ(ShrinkGrey({{5, 0, 5}, {0, 2, 0}, {5, 0, 5}}, 3, 3)[1][1], 0);
  EXPECT_EQ(ShrinkGrey({{3, 0, 3}, {0, 2, 0}, {3, 0, 3}}, 3, 3)[1][1], 0);
  EXPECT_EQ(ShrinkGrey({{2, 0, 2}, {0, 2, 0}, {2, 0, 2}}, 3, 3)[1][1], 1);
}

TEST_P(ShrinkBoth, UniformGreyLosesOneLevelForEveryBlockSize) {
  for (const auto& [sw, sh, dw, dh] : std::vector<std::array<int, 4>>{
           {7, 7, 7, 7}, {40, 40, 3, 3}, {64, 64, 4, 4}, {100, 100, 3, 3}, {300, 300, 1, 1}}) {
    for (int v : {0, 1, 77, 255}) {
      const Rows out = ShrinkGrey(Rows(sh, std::vector<int>(sw, v)), dw, dh);
      for (const auto& row : out)
        for (int p : row) ASSERT_EQ(p, std::max(v - 1, 0)) << sw << "->" << dw << " v " << v;
    }
  }
}

TEST_P(ShrinkBoth, ProgressRoundsHalvesToEvenOverInteriorRows) {
  TBitmap S = MakeBitmap24(3, 804, [](int, int) { return 0u; });
  for (const auto& [dh, expectFirst] : std::vector<std::pair<int, std::vector<int>>>{
           {1, {}}, {2, {}}, {3, {100}}, {4, {50, 100}}, {402, {0, 0, 1}}}) {
    TBitmap D;
    D.SetSize(2, dh);  // width below 3: rows are walked, no pixel changes
    TBitmap* R = nullptr;
    std::vector<std::string> calls;
    TRowHooks hooks{[&](int p) { calls.push_back(std::to_string(p)); },
                    [&] { calls.push_back("pump"); }};
    GetParam().fn(S, D, R, hooks);
    ASSERT_EQ(calls.size(), std::size_t(2 * std::max(dh - 2, 0))) << dh;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (i % 2) {
        EXPECT_EQ(calls[i], "pump");
      } else if (i / 2 < expectFirst.size()) {
        EXPECT_EQ(calls[i], std::to_string(expectFirst[i / 2])) << "dh " << dh << " row " << i / 2;
      }
    }
    if (dh >= 3) {
      EXPECT_EQ(calls[calls.size() - 2], "100");
    }
  }
}

TEST_P(ShrinkBoth, ConvertsSourceOfOtherFormatsToTwentyFourBits) {
  std::vector<TPaletteEntry> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
  TBitmap S = MakeBitmap8(4, 4, palette, [](int x, int y) { return 40 * y + 10 * x + 1; });
  TBitmap D;
  D.SetSize(2, 2);
  TBitmap* R = nullptr;
  GetParam().fn(S, D, R, {});
  EXPECT_EQ(S.PixelFormat(), TPixelFormat::pf24bit);
  // Block (0,0) holds 1, 11, 41, 51: mean 26, one below for an exact mean.
  EXPECT_EQ(D.Pixel(0, 0), RGBColor(25, 25, 25));
  // Block (1,1) holds 101, 111, 141, 151: mean 126.
  EXPECT_EQ(D.Pixel(1, 1), RGBColor(125, 125, 125));
}

TEST_P(ShrinkBoth, RefusesImpossibleTargetsAndTouchesNothing) {
  for (const auto& [dw, dh] : std::vector<std::pair<int, int>>{
           {0, 5}, {5, 0}, {0, 0}, {-3, 5}, {11, 5}, {5, 11}, {100000, 1}}) {
    TBitmap S;
    S.SetSize(10, 10);  // device format, which a refused call must keep
    TBitmap D;
    D.SetSize(dw, dh);
    TBitmap dummy;
    TBitmap* R = &dummy;
    int hooks = 0;
    EXPECT_THROW(GetParam().fn(S, D, R, {[&](int) { ++hooks; }, [&] { ++hooks; }}),
                 EInvalidArgument)
        << dw << " x " << dh;
    EXPECT_EQ(R, &dummy);
    EXPECT_EQ(hooks, 0);
    EXPECT_EQ(S.PixelFormat(), TPixelFormat::pfDevice);
  }
}

INSTANTIATE_TEST_SUITE_P(, ShrinkBoth,
                         ::testing::Values(Impl{"Fast", ShrinkBitmap},
                                           Impl{"Literal", ShrinkBitmapLiteral}),
                         [](const auto& info) { return std::string(info.param.name); });

// The run tables keep the single-precision ratio's quirks: 10 -> 3 never
// reads the tenth pixel, 100 -> 30 starts 3, 3, 3, 4.
TEST(ShrinkRuns, FollowTheStoredRatio) {
  using shrink_detail::Ratio;
  using shrink_detail::Runs;
  EXPECT_LT(double(Ratio(10, 3)), 10.0 / 3);
  EXPECT_EQ(Runs(10, 3, Ratio(10, 3)), (std::vector<std::int32_t>{3, 3, 3}));
  const auto hundred = Runs(100, 30, Ratio(100, 30));
  EXPECT_EQ(std::vector<std::int32_t>(hundred.begin(), hundred.begin() + 7),
            (std::vector<std::int32_t>{3, 3, 3, 4, 3, 3, 4}));
  EXPECT_EQ(Runs(5, 2, Ratio(5, 2)), (std::vector<std::int32_t>{2, 3}));
  EXPECT_EQ(Runs(7, 7, Ratio(7, 7)), std::vector<std::int32_t>(7, 1));
  // Every run at least 1, and never past the picture, over many size pairs.
  for (int source = 1; source <= 300; source += 7)
    for (int target = 1; target <= source; target += 3) {
      const auto runs = Runs(source, target, Ratio(source, target));
      long total = 0;
      for (int r : runs) {
        ASSERT_GE(r, 1);
        total += r;
      }
      ASSERT_TRUE(total == source || total == source - 1) << source << "->" << target;
    }
}

// Blocks of up to 256 pixels keep 65535 div n; larger blocks, which that
// formula turned dark and then black, give the mean or one below it.
TEST(ShrinkBlockMean, UniformAndMixedBlocksOfAnySize) {
  using namespace shrink_detail;
  const std::int64_t sizes[] = {
      1,     2,     3,     100,     255,       256,           257,      1000,      10000,
      40000, 65535, 65536, 1 << 20, HugeBlock, HugeBlock + 1, 24000000, 100000000, 1431655765};
  for (std::int64_t n : sizes) {
    const TBlockScale f = BlockScale(n);
    for (std::uint64_t v : {0u, 1u, 2u, 128u, 254u, 255u})
      EXPECT_EQ(BlockMean(v * std::uint64_t(n), f), v ? v - 1 : 0) << "n " << n << " v " << v;
    std::mt19937_64 random{std::uint64_t(n)};
    for (int i = 0; i < 200; ++i) {
      const std::uint64_t sum = random() % (255 * std::uint64_t(n) + 1);
      const std::uint64_t mean = sum / std::uint64_t(n);
      const std::uint64_t got = BlockMean(sum, f);
      ASSERT_TRUE(got == mean || got + 1 == mean) << "n " << n << " sum " << sum << " got " << got;
    }
  }
  // The classic formula itself, for the small blocks.
  EXPECT_EQ(BlockMean(255 * 256, BlockScale(256)), (255u * 256 * (65535 / 256)) >> 16);
}

}  // namespace
