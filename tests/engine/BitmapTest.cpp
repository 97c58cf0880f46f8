#include <gtest/gtest.h>
#include <sys/resource.h>

#include "core/Bitmap.h"
#include "core/Errors.h"

using namespace vizuvod;

TEST(Bitmap, NewBitmapHasNoPixelsAndRefusesRows) {
  TBitmap b;
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pfDevice);
  try {
    b.ScanLine(0);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "Scan line index out of range");
  }
}

TEST(Bitmap, StridesArePaddedToFourBytes) {
  const int expected[] = {4, 8, 12, 12, 16};
  for (int w = 1; w <= 5; ++w)
    EXPECT_EQ(TBitmap::StrideFor(w, TPixelFormat::pf24bit), expected[w - 1]);
  EXPECT_EQ(TBitmap::StrideFor(5, TPixelFormat::pf8bit), 8);
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(3, 2);
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), -12);
}

TEST(Bitmap, NewPixelsAreWhiteAndOutsideReadsInvalid) {
  TBitmap b;
  b.SetWidth(3);
  b.SetHeight(2);
  b.SetPixelFormat(TPixelFormat::pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), 0x00FFFFFFu);
  for (auto [x, y] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}})
    EXPECT_EQ(b.Pixel(x, y), InvalidColor);
}

TEST(Bitmap, ResizeKeepsTopLeftAndWritesOutsideAreIgnored) {
  TBitmap b;
  b.SetSize(2, 2);
  b.SetPixel(0, 0, RGBColor(1, 2, 3));
  b.SetPixel(1, 1, RGBColor(4, 5, 6));
  b.SetPixel(2, 0, 0);
  b.SetSize(3, 1);
  EXPECT_EQ(b.Pixel(0, 0), RGBColor(1, 2, 3));
  EXPECT_EQ(b.Pixel(2, 0), 0x00FFFFFFu);
  EXPECT_EQ(b.Pixel(1, 1), InvalidColor);
}

TEST(Bitmap, PaletteConversionGivesBgrBytes) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf8bit);
  std::vector<TPaletteEntry> palette(6);
  palette[5] = {10, 20, 30};
  b.SetPalette(palette);
  b.SetSize(1, 1);
  b.ScanLine(0)[0] = 5;
  EXPECT_EQ(b.Pixel(0, 0), RGBColor(10, 20, 30));
  b.SetPixelFormat(TPixelFormat::pf24bit);
  const std::uint8_t* p = b.ScanLine(0);
  EXPECT_EQ(p[0], 30);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 10);
}

TEST(Bitmap, CopiesAreIndependentOnceWritten) {
  TBitmap a;
  a.SetPixelFormat(TPixelFormat::pf24bit);
  a.SetSize(2, 2);
  a.ScanLine(1)[0] = 9;
  TBitmap b = a;
  EXPECT_TRUE(b.SharesPixelsWith(a));
  b.ScanLine(0)[0] = 7;
  EXPECT_FALSE(b.SharesPixelsWith(a));
  EXPECT_EQ(a.Pixel(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(BlueOf(b.Pixel(0, 0)), 7);
  EXPECT_EQ(BlueOf(b.Pixel(0, 1)), 9);
}

// A sized picture that nobody has written yet reads white in every format,
// row by row and pixel by pixel, and its copies do not see each other's writes.
TEST(Bitmap, UnwrittenPicturesAreWhiteUntilWritten) {
  for (TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit}) {
    TBitmap a;
    a.SetPixelFormat(format);
    a.SetSize(5, 3);
    TBitmap b = a;
    EXPECT_EQ(a.Pixel(4, 2), 0x00FFFFFFu);
    b.SetPixel(4, 2, RGBColor(1, 2, 3));
    EXPECT_EQ(b.Pixel(4, 2), RGBColor(1, 2, 3));
    EXPECT_EQ(a.Pixel(4, 2), 0x00FFFFFFu);
    const TBitmap& c = a;
    EXPECT_EQ(c.ScanLine(2)[0], 0xFF);
    a.SetSize(6, 4);
    EXPECT_EQ(a.Pixel(5, 3), 0x00FFFFFFu);
    a.SetPixelFormat(format == TPixelFormat::pfDevice ? TPixelFormat::pf24bit
                                                      : TPixelFormat::pfDevice);
    EXPECT_EQ(a.Pixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(a.ScanLine(3)[2], 0xFF);
  }
}

TEST(Bitmap, HugeSizeFailsAndLeavesBitmapUnchanged) {
  TBitmap b;
  b.SetSize(4, 4);
  try {
    b.SetSize(1 << 30, 1 << 20);
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Out of system resources");
  }
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 4);
  EXPECT_EQ(b.Pixel(3, 3), 0x00FFFFFFu);
  // A picture just over the pixel limit is refused without trying to allocate it.
  EXPECT_THROW(b.SetSize(16385, 16384), EOutOfResources);
  EXPECT_NO_THROW(b.SetSize(16384, 3));
}

// Large pixel memory is handed from one picture to the next of about its size,
// so writing the next one faults in no fresh pages; a much smaller picture does
// not hold a large block, and a reused block still reads white where it is new.
TEST(Bitmap, LargePixelMemoryIsReusedByTheNextPictureOfItsSize) {
  auto faults = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
  };
  {
    TBitmap a;
    a.SetSize(4000, 1000);  // 16 MB
    a.ScanLine(0)[0] = 7;
  }
  TBitmap small;
  small.SetSize(1100, 1000);  // 4.4 MB: less than half
  small.ScanLine(0);
  TBitmap b;
  b.SetSize(3900, 1000);
  const long before = faults();
  b.ScanLine(0);  // the whole picture is written white here
  EXPECT_LT(faults() - before, 4);
  EXPECT_EQ(b.Pixel(0, 0), RGBColor(255, 255, 255));
}
