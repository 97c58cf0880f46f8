// TJPEGImage against libjpeg used directly: the files it writes must be the
// library's own encoding of the picture, its decoded pixels the library's own
// decoding, and its failures the right errors with nothing lost on disk.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "formats/jpeg/JpegReader.h"
#include "formats/jpeg/JpegWriter.h"
#include "metadata/Orientation.h"

using namespace vizuvod;

namespace fs = std::filesystem;
using craft::Bytes;

namespace {

// ---- making and inspecting JPEG files with the library itself -------------

// A file to be made by the library's compressor; pixel() fills one pixel's
// components (as many as inputComponents) in the input colour space's order.
struct TTestFile {
  int width = 32, height = 24;
  J_COLOR_SPACE input = JCS_RGB;
  int inputComponents = 3;
  J_COLOR_SPACE stored = JCS_UNKNOWN;  // JCS_UNKNOWN: the library's default for input
  bool progressive = false;
  bool adobeMarker = true;
  int lumaSampling = 2;  // 2: two by two, 1: one by one
  std::function<void(int x, int y, std::uint8_t* px)> pixel;
};

Bytes Compress(jpeg_compress_struct& c, const std::function<void(JSAMPROW, int)>& row) {
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> buffer(std::size_t(c.image_width) * c.input_components);
  while (c.next_scanline < c.image_height) {
    row(buffer.data(), int(c.next_scanline));
    JSAMPROW p = buffer.data();
    jpeg_write_scanlines(&c, &p, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

Bytes MakeJpeg(const TTestFile& s) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.image_width = JDIMENSION(s.width);
  c.image_height = JDIMENSION(s.height);
  c.input_components = s.inputComponents;
  c.in_color_space = s.input;
  jpeg_set_defaults(&c);
  if (s.stored != JCS_UNKNOWN || s.input == JCS_UNKNOWN) jpeg_set_colorspace(&c, s.stored);
  c.write_Adobe_marker = s.adobeMarker && c.write_Adobe_marker;
  c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = s.lumaSampling;
  if (s.progressive) jpeg_simple_progression(&c);
  return Compress(c, [&](JSAMPROW row, int y) {
    for (int x = 0; x < s.width; ++x) s.pixel(x, y, row + x * s.inputComponents);
  });
}

// What encoding the picture as red-first rows with this system's settings gives.
Bytes ReferenceEncode(const TBitmap& b, bool progressive) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.image_width = JDIMENSION(b.Width());
  c.image_height = JDIMENSION(b.Height());
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  c.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&c, 90, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  return Compress(c, [&](JSAMPROW row, int y) {
    for (int x = 0; x < b.Width(); ++x) {
      const TColorValue v = b.Pixel(x, y);
      row[3 * x] = std::uint8_t(RedOf(v));
      row[3 * x + 1] = std::uint8_t(GreenOf(v));
      row[3 * x + 2] = std::uint8_t(BlueOf(v));
    }
  });
}

// The library's own red-first decoding with this system's settings.
std::vector<TColorValue> ReferenceDecode(const Bytes& bytes) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, bytes.data(), bytes.size());
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  d.dct_method = JDCT_FLOAT;
  d.do_block_smoothing = TRUE;
  jpeg_start_decompress(&d);
  std::vector<TColorValue> pixels;
  std::vector<std::uint8_t> row(std::size_t(d.output_width) * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW p = row.data();
    jpeg_read_scanlines(&d, &p, 1);
    for (std::size_t x = 0; x < d.output_width; ++x)
      pixels.push_back(RGBColor(row[3 * x], row[3 * x + 1], row[3 * x + 2]));
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return pixels;
}

// The frame header: its marker (0xC0 baseline, 0xC2 progressive), size,
// and each component's sampling byte (horizontal << 4 | vertical).
struct TFrame {
  int marker = 0, width = 0, height = 0;
  std::vector<int> sampling;
  std::size_t offset = 0;  // of the marker's length field
};

TFrame ReadFrame(const Bytes& b) {
  for (std::size_t i = 2; i + 9 < b.size();) {
    if (b[i] != 0xFF) break;
    const int m = b[i + 1];
    const std::size_t length = std::size_t(b[i + 2]) << 8 | b[i + 3];
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
      TFrame f{m, b[i + 7] << 8 | b[i + 8], b[i + 5] << 8 | b[i + 6], {}, i + 2};
      for (int k = 0; k < b[i + 9]; ++k) f.sampling.push_back(b[i + 11 + 3 * k]);
      return f;
    }
    i += 2 + length;
  }
  return {};
}

// The same file claiming another size.
Bytes WithClaimedSize(Bytes b, int width, int height) {
  const std::size_t at = ReadFrame(b).offset;
  b[at + 3] = std::uint8_t(height >> 8), b[at + 4] = std::uint8_t(height);
  b[at + 5] = std::uint8_t(width >> 8), b[at + 6] = std::uint8_t(width);
  return b;
}

void RgbPattern(int x, int y, std::uint8_t* p) {
  p[0] = std::uint8_t(x * 7), p[1] = std::uint8_t(y * 11), p[2] = std::uint8_t((x ^ y) * 5);
}

// ---- files and pictures ---------------------------------------------------

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TBitmap Noise(int width, int height, TPixelFormat format) {
  TBitmap b = MakeBitmap24(width, height, [](int x, int y) {
    return RGBColor(x * 37 + y * y, (x * y) ^ 0x5A, y * 13 - x);
  });
  if (format == TPixelFormat::pfDevice) return DeviceCopy(b);
  if (format == TPixelFormat::pf8bit) {
    std::vector<TPaletteEntry> palette;
    for (int i = 0; i < 200; ++i)  // indices 200-255 fall outside: black
      palette.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3)});
    return MakeBitmap8(width, height, palette, [](int x, int y) { return x * 31 + y * 17; });
  }
  return b;
}

std::vector<TColorValue> PixelsOf(const TBitmap& b) {
  std::vector<TColorValue> pixels;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) pixels.push_back(b.Pixel(x, y));
  return pixels;
}

// Loads and decodes a file made from bytes.
TBitmap Decode(const TempDir& dir, const Bytes& bytes, TJPEGImage* keep = nullptr) {
  craft::WriteFile(dir / "in.jpg", bytes);
  TJPEGImage local;
  TJPEGImage& j = keep ? *keep : local;
  j.LoadFromFile(dir / "in.jpg");
  TBitmap b;
  b.Assign(j);
  return b;
}

template <class E>
std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(no error)";
}

std::string JpegError(int code) { return "JPEG error #" + std::to_string(code); }

}  // namespace

// ---- encoding -------------------------------------------------------------

// Rows go to the library in the bitmap's own byte order; the file must be the
// very one a red-first copy of the picture gives, for every format and size.
TEST(JpegEncode, EqualsRedFirstEncodeByteForByte) {
  const TPixelFormat formats[] = {TPixelFormat::pf24bit, TPixelFormat::pfDevice,
                                  TPixelFormat::pf8bit};
  const std::pair<int, int> sizes[] = {{1, 1}, {17, 1}, {1, 9}, {33, 17}, {64, 48}};
  TempDir dir;
  for (TPixelFormat format : formats)
    for (auto [w, h] : sizes)
      for (bool progressive : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << int(format) << " " << w << "x" << h << " " << progressive);
        const TBitmap picture = Noise(w, h, format);
        TJPEGImage j;
        j.settings.progressiveEncoding = progressive;
        j.Assign(picture);
        j.SaveToFile(dir / "out.jpg");
        const Bytes saved = craft::ReadFile(dir / "out.jpg");
        EXPECT_EQ(saved, ReferenceEncode(picture, progressive));
        const TFrame f = ReadFrame(saved);
        EXPECT_EQ(f.marker, progressive ? 0xC2 : 0xC0);
        EXPECT_EQ(f.sampling, (std::vector<int>{0x22, 0x11, 0x11}));
        EXPECT_EQ(j.Data()->bytes, saved);
        EXPECT_EQ(j.Data()->width, w);
        // Rows were read in place: neither picture was converted or copied.
        EXPECT_EQ(picture.PixelFormat(), format);
        EXPECT_TRUE(j.Picture()->SharesPixelsWith(picture));
      }
}

TEST(JpegEncode, EmptyPictureSavesZeroBytesAndSizeIsFixed) {
  TempDir dir;
  TJPEGImage j;
  j.Assign(TBitmap());
  j.SaveToFile(dir / "empty.jpg");
  EXPECT_EQ(fs::file_size(dir / "empty.jpg"), 0u);
  EXPECT_EQ(ErrorOf<EInvalidGraphicOperation>([&] { j.SetWidth(5); }),
            "Cannot change the size of a JPEG image");
  EXPECT_EQ(ErrorOf<EInvalidGraphicOperation>([&] { j.SetHeight(5); }),
            "Cannot change the size of a JPEG image");
}

// ---- decoding ---------------------------------------------------------------

TEST(JpegDecode, EqualsLibraryDecodeInBlueGreenRed) {
  struct Case {
    int w, h;
    bool progressive;
    int sampling;
    int keepPercent = 100;  // a cut progressive file is where block smoothing shows
  } cases[] = {{37, 23, false, 2}, {37, 23, true, 2},  {40, 1, false, 2},    {1, 40, true, 1},
               {1, 1, false, 2},   {50, 30, false, 1}, {64, 64, true, 2, 40}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.progressive);
    TTestFile s;
    s.width = c.w, s.height = c.h, s.progressive = c.progressive, s.lumaSampling = c.sampling;
    s.pixel = RgbPattern;
    Bytes file = MakeJpeg(s);
    file.resize(file.size() * c.keepPercent / 100);
    TJPEGImage j;
    const TBitmap b = Decode(dir, file, &j);
    EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(b.Width(), c.w);
    EXPECT_EQ(b.Height(), c.h);
    EXPECT_EQ(PixelsOf(b), ReferenceDecode(file));
    EXPECT_EQ(j.Width(), c.w);

    // A second assignment copies without decoding again.
    TBitmap again;
    again.Assign(j);
    EXPECT_EQ(j.DecodeCount(), 1);
    EXPECT_TRUE(again.SharesPixelsWith(b));

    // The saved file is progressive exactly when the input was.
    EXPECT_EQ(j.settings.progressiveEncoding, c.progressive);
    j.Assign(b);
    j.SaveToFile(dir / "out.jpg");
    EXPECT_EQ(ReadFrame(craft::ReadFile(dir / "out.jpg")).marker, c.progressive ? 0xC2 : 0xC0);
  }
}

// Grey files always, and colour files when the display has 8 bits or fewer,
// become palette pictures of at most 236 colours close to the library's own
// decoding (dithering moves single pixels, so the mean error counts), and are
// saved again as three-component files.
TEST(JpegDecode, QuantisedToPalette) {
  struct Case {
    const char* name;
    bool grey;
    double meanError;
  } cases[] = {{"grey file", true, 1.0}, {"colour file on a palette display", false, 8.0}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestFile s;
    s.width = 64, s.height = 40;
    if (c.grey) s.input = JCS_GRAYSCALE, s.inputComponents = 1;
    s.pixel = [&](int x, int y, std::uint8_t* p) {
      p[0] = std::uint8_t(x * 4 + y);
      if (!c.grey) p[1] = 200, p[2] = std::uint8_t(y * 6);
    };
    const Bytes file = MakeJpeg(s);
    TJPEGImage j;
    if (!c.grey) j.settings.pixelFormat = TPixelFormat::pf8bit;
    const TBitmap b = Decode(dir, file, &j);
    EXPECT_EQ(j.Data()->grayscale, c.grey);
    ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_LE(b.Palette().size(), 236u);
    EXPECT_GE(b.Palette().size(), 100u);
    for (const TPaletteEntry& e : b.Palette())
      EXPECT_TRUE(!c.grey || (e.red == e.green && e.green == e.blue));
    const std::vector<TColorValue> reference = ReferenceDecode(file);
    const std::vector<TColorValue> got = PixelsOf(b);
    for (int (*channel)(TColorValue) : {RedOf, GreenOf, BlueOf}) {
      double error = 0;
      for (std::size_t i = 0; i < got.size(); ++i)
        error += std::abs(channel(got[i]) - channel(reference[i]));
      EXPECT_LT(error / double(got.size()), c.meanError);
    }

    j.Assign(b);
    j.SaveToFile(dir / "out.jpg");
    EXPECT_EQ(ReadFrame(craft::ReadFile(dir / "out.jpg")).sampling,
              (std::vector<int>{0x22, 0x11, 0x11}));
  }
}

// Ink files: Photoshop's (Adobe marker, inverted values), plain CMYK, and YCCK.
// Each stores the same colour, red 173, green 86, blue 43.
TEST(JpegDecode, FourComponentFilesBecomeRgb) {
  struct Case {
    const char* name;
    J_COLOR_SPACE stored;
    bool adobe;
    std::uint8_t ink[4];
  } cases[] = {{"adobe cmyk", JCS_CMYK, true, {200, 100, 50, 220}},
               {"plain cmyk", JCS_CMYK, false, {55, 155, 205, 35}},
               {"adobe ycck", JCS_YCCK, true, {200, 100, 50, 220}}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestFile s;
    s.width = 24, s.height = 1, s.input = JCS_CMYK, s.inputComponents = 4, s.stored = c.stored;
    s.adobeMarker = c.adobe;
    s.pixel = [&](int, int, std::uint8_t* p) { std::copy(c.ink, c.ink + 4, p); };
    const TBitmap b = Decode(dir, MakeJpeg(s));
    ASSERT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
    ASSERT_EQ(b.Width(), 24);
    for (int x = 0; x < 24; ++x) {
      EXPECT_NEAR(RedOf(b.Pixel(x, 0)), 173, 3);
      EXPECT_NEAR(GreenOf(b.Pixel(x, 0)), 86, 3);
      EXPECT_NEAR(BlueOf(b.Pixel(x, 0)), 43, 3);
    }
  }
}

TEST(JpegDecode, OtherComponentCountsAreRefused) {
  TempDir dir;
  for (int components : {2}) {  // the library writes no more than four
    TTestFile s;
    s.input = JCS_UNKNOWN, s.inputComponents = components, s.lumaSampling = 1;
    s.pixel = [&](int x, int, std::uint8_t* p) { std::fill(p, p + components, std::uint8_t(x)); };
    EXPECT_EQ(ErrorOf<EJPEG>([&] { Decode(dir, MakeJpeg(s)); }),
              JpegError(JERR_CONVERSION_NOTIMPL));
  }
}

TEST(JpegDecode, DamagedAndEmptyFiles) {
  TempDir dir;
  TTestFile s;
  s.width = 64, s.height = 64, s.pixel = RgbPattern;

  // Cut in the middle of the image data: completed as if the end had come.
  for (bool progressive : {false, true}) {
    s.progressive = progressive;
    Bytes file = MakeJpeg(s);
    file.resize(file.size() * 6 / 10);
    const TBitmap b = Decode(dir, file);
    EXPECT_EQ(b.Width(), 64);
    EXPECT_EQ(b.Height(), 64);
  }

  // Zero bytes load, then fail decoding with the library's code, each time.
  craft::WriteFile(dir / "empty.jpg", {});
  TJPEGImage empty;
  empty.LoadFromFile(dir / "empty.jpg");
  TBitmap b;
  EXPECT_EQ(ErrorOf<EJPEG>([&] { b.Assign(empty); }), JpegError(JERR_INPUT_EMPTY));
  EXPECT_EQ(ErrorOf<EJPEG>([&] { b.Assign(empty); }), JpegError(JERR_INPUT_EMPTY));
  EXPECT_EQ(empty.DecodeCount(), 2);

  // Text named .jpg fails while loading, its bytes kept.
  const std::string text = "just some words\n";
  craft::WriteFile(dir / "text.jpg", Bytes(text.begin(), text.end()));
  TJPEGImage t;
  EXPECT_EQ(ErrorOf<EJPEG>([&] { t.LoadFromFile(dir / "text.jpg"); }), JpegError(JERR_NO_SOI));
  EXPECT_EQ(t.Data()->bytes.size(), text.size());

  EXPECT_EQ(ErrorOf<EFOpenError>([&] { t.LoadFromFile(dir / "none.jpg"); }),
            "Cannot open file " + (dir / "none.jpg"));
  EXPECT_EQ(ErrorOf<EFOpenError>([&] { t.LoadFromFile(dir.path().string()); }),
            "Cannot open file " + dir.path().string());
}

// A file whose decoding may still fail once rows have come out is told
// apart: a marker after a single scan's coded data is read last. Where the
// answer is yes, a row-by-row decode indeed fails at its start or not at all.
TEST(JpegDecode, FailsOnlyBeforeItsRowsUnlessAMarkerFollowsTheOneScan) {
  TempDir dir;
  craft::Options o;
  o.width = 40, o.height = 24;
  const Bytes baseline = craft::Encode(o);
  o.restartRows = 1;
  const Bytes restarts = craft::Encode(o);
  o.restartRows = 0, o.progressive = true;
  const Bytes progressive = craft::Encode(o);
  Bytes junk = baseline;
  junk.insert(junk.end(), {0xFF, 0xC4, 'j', 'u', 'n', 'k'});
  struct {
    const char* name;
    Bytes bytes;
    bool early;
  } cases[] = {
      {"baseline", baseline, true},
      {"restart markers", restarts, true},
      {"cut short", craft::Truncated(baseline, baseline.size() * 2 / 3), true},
      {"bytes after the end", junk, true},
      {"fill bytes before the end", craft::BeforeEnd(baseline, {0xFF, 0xFF}), true},
      {"several scans, a frame header after them",
       craft::BeforeEnd(progressive, craft::FrameSegment(progressive)), true},
      {"a frame header after the scan", craft::BeforeEnd(baseline, craft::FrameSegment(baseline)),
       false},
      {"a comment after the scan", craft::BeforeEnd(baseline, {0xFF, 0xFE, 0, 3, 'x'}), false},
      {"no bytes", {}, false},
  };
  for (const auto& c : cases) {
    craft::WriteFile(dir / "p.jpg", c.bytes);
    TJPEGImage J;
    J.LoadFromFile(dir / "p.jpg");
    EXPECT_EQ(J.FailsOnlyBeforeItsRows(), c.early) << c.name;
    bool late = false;
    try {
      TJPEGRowReader rows(J.Data()->bytes, J.settings, J.inkToBgr);
      try {
        for (int y = 0; y < rows.Height(); ++y) rows.ReadBgr();
        rows.Finish();
      } catch (const std::exception&) {
        late = true;
      }
    } catch (const std::exception&) {
    }
    if (c.early) {
      EXPECT_FALSE(late) << c.name;
    }
  }
}

// A small file claiming a giant picture fails at once, without the memory.
TEST(JpegDecode, HugeClaimedSizesFailQuickly) {
  TempDir dir;
  TTestFile s;
  s.width = 16, s.height = 16, s.pixel = RgbPattern;
  const Bytes small = MakeJpeg(s);
  s.progressive = true, s.lumaSampling = 1;
  const Bytes progressive = MakeJpeg(s);

  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  // Past the format's own limit: refused when loading.
  EXPECT_EQ(ErrorOf<EJPEG>([&] { Decode(dir, WithClaimedSize(small, 65535, 65535)); }),
            JpegError(JERR_IMAGE_TOO_BIG));
  // Within the format, but far past any photo.
  EXPECT_EQ(ErrorOf<EOutOfResources>([&] { Decode(dir, WithClaimedSize(small, 60000, 60000)); }),
            "Out of system resources");
  // Within the picture limit, but the library would need 1.5 GB of coefficients.
  EXPECT_EQ(ErrorOf<EJPEG>([&] { Decode(dir, WithClaimedSize(progressive, 16000, 16000)); }),
            JpegError(JERR_NO_BACKING_STORE));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(elapsed, std::chrono::seconds(2));
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024);  // kilobytes
}

// ---- saving -----------------------------------------------------------------

TEST(JpegSave, LoadedBytesAreSavedUnchanged) {
  TempDir dir;
  TTestFile s;
  s.pixel = RgbPattern;
  const Bytes file = MakeJpeg(s);
  TJPEGImage j;
  Decode(dir, file, &j);
  j.SaveToFile(dir / "copy.jpg");
  EXPECT_EQ(craft::ReadFile(dir / "copy.jpg"), file);
}

// Sets a resource limit for one scope, restoring the old one afterwards.
class TLimit {
 public:
  TLimit(int resource, rlim_t soft) : resource_(resource) {
    getrlimit(resource_, &old_);
    rlimit limit = old_;
    limit.rlim_cur = soft;
    setrlimit(resource_, &limit);
  }
  ~TLimit() { setrlimit(resource_, &old_); }

 private:
  int resource_;
  rlimit old_{};
};

// Every failing save leaves the earlier file as it was and nothing else in
// the folder, keeps no half-encoded bytes, and names the file asked for.
TEST(JpegSave, FailureKeepsEarlierFileAndLeavesNothingBehind) {
  std::signal(SIGXFSZ, SIG_IGN);  // past the file size limit a write comes up short instead
  struct Case {
    const char* name;
    int width;
    int resource;  // limited during the save, or -1
    rlim_t limit;
    std::string expected;  // %s: the target's path
  } cases[] = {
      {"encoding fails", 65501, -1, 0, JpegError(JERR_IMAGE_TOO_BIG)},
      {"disk full", 64, RLIMIT_FSIZE, 1000, "Cannot write file %s: File too large"},
      {"cannot create", 8, RLIMIT_NOFILE, 0, "Cannot create file %s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir / "Resize of a.jpg";
    const Bytes earlier = {1, 2, 3, 4, 5};
    craft::WriteFile(target, earlier);
    TJPEGImage j;
    j.Assign(Noise(c.width, c.width == 65501 ? 1 : c.width, TPixelFormat::pf24bit));
    std::string error;
    try {
      std::optional<TLimit> limit;
      if (c.resource >= 0) limit.emplace(c.resource, c.limit);
      j.SaveToFile(target);
    } catch (const Exception& e) {
      error = e.what();
    }
    std::string expected = c.expected;
    if (auto at = expected.find("%s"); at != std::string::npos) expected.replace(at, 2, target);
    EXPECT_EQ(error, expected);
    EXPECT_EQ(craft::ReadFile(target), earlier);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"Resize of a.jpg"});
    if (c.width == 65501) {
      EXPECT_TRUE(j.Data()->bytes.empty());
    }
  }
}

TEST(JpegSave, PathsThatCannotBeCreated) {
  TempDir dir;
  TJPEGImage j;
  j.Assign(Noise(8, 8, TPixelFormat::pf24bit));
  const std::string missing = dir / "no such folder/Resize of a.jpg";
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { j.SaveToFile(missing); }),
            "Cannot create file " + missing);
  fs::create_directory(dir / "taken.jpg");
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { j.SaveToFile(dir / "taken.jpg"); }),
            "Cannot create file " + (dir / "taken.jpg"));
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"taken.jpg"});
  EXPECT_TRUE(fs::is_directory(dir / "taken.jpg"));
}

// A picture saved to a new file (with no photo loaded to give its
// permissions) gets those of any new file, whatever the umask.
TEST(JpegSave, NewFileGetsUsualPermissions) {
  TempDir dir;
  const std::string target = dir / "out.jpg";
  for (mode_t mask : {mode_t(022), mode_t(077), mode_t(002)}) {
    fs::remove(target);
    const mode_t old = ::umask(mask);
    TJPEGImage j;
    j.Assign(Noise(8, 8, TPixelFormat::pf24bit));
    j.SaveToFile(target);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(craft::ReadFile(target), j.Data()->bytes);
  }
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"out.jpg"});
}

// ---- real photos --------------------------------------------------------------

// Every real photo decodes to its header's size; damaged and rare files
// decode or fail with an engine error, never worse.
TEST(JpegCorpus, PhotosDecodeAndBrokenFilesFailCleanly) {
  const fs::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no photo corpus";
  for (const char* folder : {"photos", "broken", "exotic"}) {
    for (const auto& entry : fs::directory_iterator(corpus / folder)) {
      SCOPED_TRACE(entry.path().string());
      TJPEGImage j;
      TBitmap b;
      try {
        j.LoadFromFile(entry.path().string());
        b.Assign(j);
        EXPECT_EQ(b.Width(), j.Data()->width);
        EXPECT_EQ(b.Height(), j.Data()->height);
      } catch (const Exception& e) {
        EXPECT_NE(std::string(folder), "photos") << e.what();
      }
    }
  }
}

TEST(JpegEncode, CarriedOrientationIsOneApp1RightAfterTheJfifHeader) {
  // Value at offset 28.
  static constexpr char Segment[] =
      "\xFF\xE1\x00\x22"
      "Exif\0\0"
      "II\x2A\0\x08\0\0\0"
      "\x01\0"
      "\x12\x01\x03\0\x01\0\0\0"
      "?\0\0\0"
      "\0\0\0\0";
  const TBitmap picture = PhotoPicture(24, 16);
  for (const bool progressive : {false, true})
    for (int value = 0; value <= 9; ++value) {
      SCOPED_TRACE(testing::Message() << "value " << value << " progressive " << progressive);
      TJPEGImage image;
      image.settings.progressiveEncoding = progressive;
      Bytes expected = image.EncodedBytesOf(picture);
      if (value >= 2 && value <= 8) {
        const auto app0End = expected.begin() + 4 + (expected[4] << 8 | expected[5]);
        expected.insert(app0End, Segment, Segment + sizeof Segment - 1)[28] = std::uint8_t(value);
      }
      image.settings.carriedOrientation = value;
      TJPEGRowWriter writer(image.settings, 24, 16, TPixelFormat::pf24bit);
      for (int y = 0; y < 16; ++y) writer.Write(picture.ScanLine(y));
      EXPECT_EQ(writer.Finish(), expected);
      image.Assign(picture);
      EXPECT_EQ(image.EncodedBytes(), expected);
    }
}
