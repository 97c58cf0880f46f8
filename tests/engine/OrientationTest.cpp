// EXIF orientations applied to decoded pictures: where the stored corners
// end up for each of the eight values, in each pixel format, and that every
// turn is an exact permutation (undone by its inverse).
#include <gtest/gtest.h>

#include <cstring>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "metadata/Orientation.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace {

// A picture whose every pixel differs, in the given format.
TBitmap Numbered(int width, int height, TPixelFormat format) {
  TBitmap b;
  if (format == TPixelFormat::pf8bit) {
    std::vector<TPaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(255 - i), 7};
    b.SetPalette(palette);
  }
  b.SetPixelFormat(format);
  b.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int n = y * width + x;
      if (format == TPixelFormat::pf8bit)
        b.ScanLine(y)[x] = std::uint8_t(n);
      else
        b.SetPixel(x, y, RGBColor(n, n >> 8, 99));
    }
  return b;
}

struct TCorner {
  int x, y;  // 0 = left / top, 1 = right / bottom
};

}  // namespace

TEST(Orientation, StoredCornersLandWhereViewersShowThem) {
  // Where the stored top-left and top-right pixels appear once upright.
  const struct {
    int orientation;
    TCorner topLeft, topRight;
  } cases[] = {
      {1, {0, 0}, {1, 0}}, {2, {1, 0}, {0, 0}}, {3, {1, 1}, {0, 1}}, {4, {0, 1}, {1, 1}},
      {5, {0, 0}, {0, 1}}, {6, {1, 0}, {1, 1}}, {7, {1, 1}, {1, 0}}, {8, {0, 1}, {0, 0}},
  };
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit, TPixelFormat::pfDevice})
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << "orientation " << c.orientation << " format " << int(format));
      const TBitmap stored = Numbered(5, 3, format);
      const TBitmap upright = OrientedBitmap(stored, c.orientation);
      ASSERT_EQ(upright.PixelFormat(), format);
      const bool swapped = SwapsSides(c.orientation);
      ASSERT_EQ(upright.Width(), swapped ? 3 : 5);
      ASSERT_EQ(upright.Height(), swapped ? 5 : 3);
      const int right = upright.Width() - 1, bottom = upright.Height() - 1;
      EXPECT_EQ(upright.Pixel(c.topLeft.x * right, c.topLeft.y * bottom), stored.Pixel(0, 0));
      EXPECT_EQ(upright.Pixel(c.topRight.x * right, c.topRight.y * bottom), stored.Pixel(4, 0));
    }
}

TEST(Orientation, EveryTurnIsUndoneByItsInverse) {
  const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6};
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit, TPixelFormat::pfDevice})
    for (int o = 1; o <= 8; ++o) {
      SCOPED_TRACE(testing::Message() << "orientation " << o << " format " << int(format));
      const TBitmap stored = Numbered(7, 4, format);  // odd width: row padding in play
      const TBitmap back = OrientedBitmap(OrientedBitmap(stored, o), inverse[o]);
      ASSERT_EQ(back.Width(), 7);
      for (int y = 0; y < 4; ++y)
        ASSERT_EQ(0, std::memcmp(back.ScanLine(y), stored.ScanLine(y),
                                 std::size_t(7) * TBitmap::BitsPerPixel(format) / 8));
      EXPECT_EQ(back.Palette(), stored.Palette());
    }
}

// An APP1 segment of EXIF whose IFD0 has one entry of count 1.
static craft::Bytes Exif(bool little, unsigned tag, unsigned type, unsigned value, char f = 'f') {
  craft::Bytes s = {0xFF, 0xE1, 0, 0x22, 'E', 'x', 'i', std::uint8_t(f), 0, 0};
  for (const auto& [v, n] : std::vector<std::pair<unsigned, int>>{{little ? 0x4949 : 0x4D4D, 2},
                                                                  {42, 2},
                                                                  {8, 4},
                                                                  {1, 2},
                                                                  {tag, 2},
                                                                  {type, 2},
                                                                  {1, 4},
                                                                  {value, 2},
                                                                  {0, 6}})
    for (int i = 0; i < n; ++i)
      s.push_back(std::uint8_t(std::uint64_t(v) >> 8 * (little ? i : n - 1 - i)));
  return s;
}

static craft::Bytes operator+(craft::Bytes a, const craft::Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Orientation, CarriedFromTheFirstExifSegmentOnly) {
  const craft::Bytes photo = craft::Encode({}), xmp = {0xFF, 0xE1, 0, 4, 'h', 't'};
  const struct {
    craft::Bytes segments;
    int expected;
    bool afterScan = false;
  } cases[] = {
      // clang-format off
      {Exif(true, 0x112, 3, 6), 6},        {Exif(false, 0x112, 3, 3), 3},
      {Exif(false, 0x112, 3, 2), 2},       {Exif(true, 0x112, 3, 1), 1},
      {Exif(true, 0x112, 3, 0), 1},        {Exif(false, 0x112, 3, 9), 1},
      {Exif(true, 0x112, 4, 6), 1},        {Exif(true, 0x110, 3, 6), 1},
      {Exif(true, 0x112, 3, 6, 'x'), 1},   {Exif(true, 0x112, 3, 6), 1, true},
      {xmp + Exif(true, 0x112, 3, 8), 8},  {Exif(true, 0x110, 3, 0) + Exif(true, 0x112, 3, 6), 1},
      // clang-format on
  };
  for (const auto& c : cases) {
    craft::Bytes file = photo;
    file.insert(c.afterScan ? file.end() - 2 : file.begin() + 2, c.segments.begin(),
                c.segments.end());
    EXPECT_EQ(CarriedOrientation(file), c.expected) << &c - cases;
  }
}

// The eight orientations end to end, through the wizard's step and the
// per-photo step of vizuvod-batch: a turned photo's result carries its tag
// right after the JFIF segment and is otherwise the result of the photo
// without one; kept metadata or turned pixels add no segment of their own.
TEST(Orientation, ResultsCarryThePhotosOrientation) {
  TempDir dir;
  const craft::Bytes photo = craft::Encode({});
  craft::WriteFile(dir / "plain.jpg", photo);
  const TFixedSettings half = TFixedSettings::Percent(50);
  ASSERT_TRUE(ResizePhoto(dir / "plain.jpg", half));
  const std::string plain = ReadFile(dir / "Resize of plain.jpg");
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    craft::Bytes turned = photo;
    const craft::Bytes exif = Exif(true, 0x112, 3, unsigned(o));
    turned.insert(turned.begin() + 2, exif.begin(), exif.end());
    craft::WriteFile(dir / "turned.jpg", turned);
    ASSERT_TRUE(ResizePhoto(dir / "turned.jpg", half));
    std::string expected = plain;
    if (o > 1) {
      const std::size_t app0 = 4 + (std::uint8_t(plain[4]) << 8 | std::uint8_t(plain[5]));
      const char segment[] =
          "\xFF\xE1\x00\x22"
          "Exif\0\0"
          "II*\0\x08\0\0\0"
          "\x01\0"
          "\x12\x01\x03\0\x01\0\0\0";
      expected.insert(app0, std::string(segment, sizeof segment - 1) + char(o) +
                                std::string("\0\0\0\0\0\0", 7));
    }
    EXPECT_EQ(ReadFile(dir / "Resize of turned.jpg"), expected);
    for (const bool keep : {false, true}) {
      TPhotoRequest request;
      request.photo = dir / "turned.jpg";
      request.results = {{&half, {}, 0, {}}};
      request.keepMetadata = keep;
      request.autoOrient = !keep;
      ProcessPhoto(request);
      const std::string made = ReadFile(dir / "Resize of turned.jpg");
      const std::string exifHeader("Exif\0\0", 6);
      std::size_t count = 0;
      for (std::size_t at = 0; (at = made.find(exifHeader, at)) != std::string::npos; ++at) ++count;
      EXPECT_EQ(count, keep ? 1u : 0u) << keep;
    }
  }
}
