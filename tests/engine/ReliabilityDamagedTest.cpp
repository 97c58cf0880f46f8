// Damaged, odd and hostile photos through one photo's whole step of the batch
// run (load, decode, shrink or enlarge, encode, save). Every file must either
// give a sound output or fail with one of the engine's errors and a clear
// text; never a crash, a hang, a half-written output, or a changed original.
// The files are made here (JpegCraft.h): sound files of every flavour, then
// cut, scrambled, or given a frame header the library refuses.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>

#include <jerror.h>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// What one file must come to.
struct TExpect {
  enum { Works, FailsAtLoad, FailsAtDecode } kind = Works;
  std::string text;  // the failure's text, for the failing kinds
};

TExpect Works() { return {TExpect::Works, ""}; }
TExpect LoadFails(int code) {
  return {TExpect::FailsAtLoad, "JPEG error #" + std::to_string(code)};
}
TExpect DecodeFails(int code) {
  return {TExpect::FailsAtDecode, "JPEG error #" + std::to_string(code)};
}
TExpect DecodeFails(std::string text) { return {TExpect::FailsAtDecode, std::move(text)}; }

// Every entry of the catalogue, by name. Warning-only damage (cut data,
// scrambled entropy bytes) decodes; what the library cannot do at all fails.
const std::map<std::string, TExpect>& Expectations() {
  static const std::map<std::string, TExpect> table = {
      {"baseline-420", Works()},
      {"progressive", Works()},
      {"baseline-444", Works()},
      {"baseline-422", Works()},
      {"baseline-440", Works()},
      {"grayscale", Works()},
      {"grayscale-progressive", Works()},
      {"cmyk", Works()},
      {"ycck", Works()},
      {"rgb-components", Works()},
      {"arithmetic", Works()},
      {"arithmetic-progressive", Works()},
      {"restart-markers", Works()},
      {"optimized-huffman", Works()},
      {"one-pixel", Works()},
      {"one-row", Works()},
      {"one-column", Works()},
      {"sof3-lossless", LoadFails(JERR_SOF_UNSUPPORTED)},
      {"sof9-arithmetic-flag-on-huffman-data", Works()},
      {"precision-12", LoadFails(JERR_BAD_PRECISION)},
      {"precision-16", LoadFails(JERR_BAD_PRECISION)},
      {"bomb-65000-baseline", DecodeFails("Out of system resources")},
      {"bomb-65000-progressive", DecodeFails("Out of system resources")},
      {"wide-65500x1", Works()},
      {"zero-width", LoadFails(JERR_EMPTY_IMAGE)},
      {"zero-height", LoadFails(JERR_EMPTY_IMAGE)},
      {"zero-bytes", DecodeFails(JERR_INPUT_EMPTY)},
      {"soi-only", LoadFails(JERR_NO_IMAGE)},
      {"header-cut", LoadFails(JERR_NO_IMAGE)},
      {"cut-before-data", Works()},
      {"cut-mid-data", Works()},
      {"no-eoi", Works()},
      {"corrupt-entropy", Works()},
      {"progressive-cut-in-scan-3", Works()},
      {"progressive-cut-in-dc-scan", Works()},
      {"progressive-600-scans", DecodeFails(JERR_BAD_PROGRESSION)},
      {"text", LoadFails(JERR_NO_SOI)},
      {"png-signature", LoadFails(JERR_NO_SOI)},
      {"missing-huffman-tables", Works()},  // the library falls back on the standard tables
      {"missing-quant-tables", DecodeFails(JERR_NO_QUANT_TABLE)},
  };
  return table;
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// The catalogue and the table must not drift apart.
TEST(ReliabilityDamaged, EveryCatalogueEntryHasAnExpectation) {
  for (const auto& sample : craft::Catalogue())
    EXPECT_TRUE(Expectations().count(sample.name)) << sample.name;
  EXPECT_EQ(craft::Catalogue().size(), Expectations().size());
}

// Each file through the codec alone: the failure comes at the stage the
// table names, with its text; a working file decodes to its header's size.
TEST(ReliabilityDamaged, CodecStagesFailClearlyOrDecode) {
  TempDir dir;
  for (const auto& sample : craft::Catalogue()) {
    SCOPED_TRACE(sample.name);
    const TExpect& want = Expectations().at(sample.name);
    const std::string path = dir / (sample.name + ".jpg");
    craft::WriteFile(path, sample.bytes);
    TJPEGImage J;
    std::string loadFailure, decodeFailure;
    try {
      J.LoadFromFile(path);
    } catch (const Exception& e) {
      loadFailure = e.what();
    }
    if (loadFailure.empty()) {
      TBitmap B;
      try {
        B.Assign(J);
        EXPECT_EQ(B.Width(), J.Data()->width);
        EXPECT_EQ(B.Height(), J.Data()->height);
        EXPECT_TRUE(B.PixelFormat() == TPixelFormat::pf24bit ||
                    B.PixelFormat() == TPixelFormat::pf8bit);
      } catch (const Exception& e) {
        decodeFailure = e.what();
      }
    }
    EXPECT_EQ(loadFailure, want.kind == TExpect::FailsAtLoad ? want.text : "");
    EXPECT_EQ(decodeFailure, want.kind == TExpect::FailsAtDecode ? want.text : "");
  }
}

// Each file as one photo of a run, shrunk and enlarged: a sound output of the
// right size, or a failure and no output; the original never changes and no
// temporary file stays behind.
TEST(ReliabilityDamaged, RunStepGivesWholeOutputOrNone) {
  const TFixedSettings settings[] = {TFixedSettings::Percent(50), TFixedSettings::Percent(150),
                                     TFixedSettings::FitWidth(20), TFixedSettings::FitHeight(40)};
  for (const auto& sample : craft::Catalogue()) {
    const TExpect& want = Expectations().at(sample.name);
    for (const TFixedSettings& s : settings) {
      // Fitting a 65500 x 1 picture to a height only builds a giant picture
      // for the encoder to refuse, as 150 % already shows; not worth the time.
      if (sample.name == "wide-65500x1" && s.Mode() == TResizeMode::rmPixels) continue;
      SCOPED_TRACE(sample.name + " P=" + std::to_string(s.P()) + " N=" + std::to_string(s.N()));
      TempDir dir;
      const std::string path = dir / "photo.jpg";
      craft::WriteFile(path, sample.bytes);
      std::string failure;
      try {
        EXPECT_TRUE(ResizePhoto(path, s));
      } catch (const Exception& e) {
        failure = e.what();
      }
      EXPECT_EQ(craft::ReadFile(path), sample.bytes);
      // 150 % of a picture 65500 wide passes the format's widest picture:
      // the encoder refuses it and nothing is written.
      const bool tooWide = sample.name == "wide-65500x1" && s.P() == 150;
      if (want.kind != TExpect::Works || tooWide) {
        EXPECT_EQ(failure,
                  tooWide ? "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG) : want.text);
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"photo.jpg"});
        continue;
      }
      ASSERT_EQ(failure, "");
      EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Resize of photo.jpg", "photo.jpg"}));
      TJPEGImage in, out;
      in.LoadFromFile(path);
      out.LoadFromFile(ResizedPhotoPath(path));
      TBitmap decoded;
      decoded.Assign(out);  // the whole output decodes: it is complete
      EXPECT_GE(decoded.Width(), 1);
      EXPECT_GE(decoded.Height(), 1);
      if (s.Mode() == TResizeMode::rmPercent && s.P() == 50) {
        EXPECT_EQ(decoded.Width(), std::max(1, int(std::nearbyint(in.Data()->width * 0.5L))));
      } else if (s.Mode() == TResizeMode::rmPixels) {
        EXPECT_EQ(s.FitSideText() == FitWidthItem ? decoded.Width() : decoded.Height(), s.N());
      }
      EXPECT_EQ(in.settings.progressiveEncoding, out.settings.progressiveEncoding);
    }
  }
}

// Tiny files claiming giant pictures, in every scan layout, are refused at
// once and without taking the machine's memory; the limit leaves every real
// photo alone (2^28 pixels, 16384 x 16384).
TEST(ReliabilityDamaged, DecompressionBombsAreRefusedQuicklyAndCheaply) {
  TempDir dir;
  craft::Options o;
  o.width = 16, o.height = 16;
  struct TCase {
    const char* name;
    craft::Options options;
    int width, height;
  };
  craft::Options progressive = o, gray = o, cmyk = o, arith = o;
  progressive.progressive = true;
  gray.input = JCS_GRAYSCALE, gray.lumaH = gray.lumaV = 1;
  cmyk.input = JCS_CMYK, cmyk.lumaH = cmyk.lumaV = 1;
  arith.arithmetic = true, arith.progressive = true;
  const TCase cases[] = {
      {"baseline", o, 65000, 65000},       {"progressive", progressive, 65000, 65000},
      {"grey", gray, 65535, 65535},        {"cmyk", cmyk, 65535, 65535},
      {"arithmetic", arith, 65000, 65000}, {"just over the limit", progressive, 16385, 16384},
      {"wide", progressive, 65535, 4097},  {"tall", o, 4097, 65535},
  };
  const long before = PeakRssKiB();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "bomb.jpg";
    const craft::Bytes bytes =
        craft::WithFrame(craft::Encode(c.options), -1, -1, c.width, c.height);
    ASSERT_LT(bytes.size(), 4000u);
    craft::WriteFile(path, bytes);
    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
      ResizePhoto(path, TFixedSettings::Percent(50));
    } catch (const Exception& e) {
      failure = e.what();
    }
    // Past the format's 65500 pixels a side the library refuses the header
    // itself; below it the codec's pixel limit does.
    const bool beyondFormat = c.width > 65500 || c.height > 65500;
    EXPECT_EQ(failure, beyondFormat ? "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG)
                                    : "Out of system resources");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(fs::exists(ResizedPhotoPath(path)));
  }
  // Refused before any picture or coefficient memory was taken.
  EXPECT_LT(PeakRssKiB() - before, 64 * 1024);
}

// Settings can ask for a giant picture too: 100000 % of a 64 x 48 photo
// (64000 x 48000, 9 GB) is refused as too big, not attempted.
TEST(ReliabilityDamaged, EnlargingBeyondThePictureLimitFailsCleanly) {
  TempDir dir;
  craft::Options o;
  o.width = 64, o.height = 48;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, craft::Encode(o));
  const long before = PeakRssKiB();
  std::string failure;
  try {
    ResizePhoto(path, TFixedSettings::Percent(100000));
  } catch (const Exception& e) {
    failure = e.what();
  }
  EXPECT_EQ(failure, "Out of system resources");
  EXPECT_FALSE(fs::exists(ResizedPhotoPath(path)));
  EXPECT_LT(PeakRssKiB() - before, 64 * 1024);
}

// A progressive file may repeat scans without end: a few bytes each, yet each
// makes the decoder pass over the whole picture again (a 130 KB file of 2,000
// scans of a 4096 x 4096 picture kept the decoder busy for half a minute).
// Real files have a dozen scans; past the codec's limit the file is refused.
TEST(ReliabilityDamaged, EndlessScansAreRefusedInsteadOfDecodedForMinutes) {
  TempDir dir;
  craft::Options o;
  o.width = 512, o.height = 512;
  o.input = JCS_GRAYSCALE, o.lumaH = o.lumaV = 1, o.progressive = true, o.flat = true;
  const craft::Bytes sound = craft::Encode(o);
  struct TCase {
    int extraScans;
    bool refused;
  };
  for (const TCase c : {TCase{0, false}, TCase{50, false}, TCase{5000, true}, TCase{60000, true}}) {
    SCOPED_TRACE(c.extraScans);
    const std::string path = dir / "scans.jpg";
    craft::WriteFile(path, craft::WithRepeatedLastScan(sound, c.extraScans));
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = DecodeFailure(path);
    EXPECT_EQ(failure, c.refused ? "JPEG error #" + std::to_string(JERR_BAD_PROGRESSION) : "");
    // Generous for a loaded machine; without the limit 60,000 scans take minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

// A systematic sweep: sound files of several flavours cut at every length,
// and with every byte before the entropy data set to 0x00, 0xFF and its
// complement. Each variant must load and decode, or fail with an engine
// error; a decoded picture has its header's size.
TEST(ReliabilityDamaged, EveryCutAndEveryHeaderByteFailsCleanlyOrDecodes) {
  TempDir dir;
  const std::string path = dir / "v.jpg";
  std::vector<craft::Bytes> sources;
  for (const char* name : {"baseline-420", "progressive", "grayscale", "ycck",
                           "arithmetic-progressive", "restart-markers"})
    for (const auto& s : craft::Catalogue())
      if (s.name == name) sources.push_back(s.bytes);
  ASSERT_EQ(sources.size(), 6u);

  int tried = 0, decoded = 0;
  std::map<std::string, int> failures;
  auto attempt = [&](const craft::Bytes& bytes) {
    ++tried;
    craft::WriteFile(path, bytes);
    try {
      TJPEGImage J;
      J.LoadFromFile(path);
      TBitmap B;
      B.Assign(J);
      EXPECT_EQ(B.Width(), J.Data()->width);
      EXPECT_EQ(B.Height(), J.Data()->height);
      ++decoded;
    } catch (const Exception& e) {
      ++failures[e.what()];
    }
  };
  for (const craft::Bytes& source : sources) {
    for (std::size_t keep = 0; keep < source.size(); ++keep)
      attempt(craft::Truncated(source, keep));
    const std::size_t headerEnd = craft::ScanStarts(source).front();
    for (std::size_t at = 2; at < headerEnd; ++at)
      for (const int value : {0x00, 0xFF, source[at] ^ 0xFF}) {
        craft::Bytes changed = source;
        changed[at] = std::uint8_t(value);
        attempt(changed);
      }
  }
  std::printf("%d variants: %d decoded, %zu kinds of failure\n", tried, decoded, failures.size());
  for (const auto& [text, count] : failures) std::printf("  %5d x %s\n", count, text.c_str());
  EXPECT_GT(decoded, 0);
  for (const auto& [text, count] : failures)
    EXPECT_TRUE(text.starts_with("JPEG error #") || text == "Out of system resources") << text;
}
