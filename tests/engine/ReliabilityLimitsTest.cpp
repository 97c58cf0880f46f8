// Bounds on what one photo may cost: files whose scans would keep the decoder
// busy for minutes, or whose coefficients would take gigabytes, are refused
// from their headers at once; a decode that is under way stops when the run
// is abandoned; damage the library only warns about is told to the caller.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <jerror.h>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Abandon.h"
#include "core/Errors.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"
#include "formats/SizeLimit.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace {

using Clock = std::chrono::steady_clock;

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A small file claiming width x height, with `extraScans` copies of its last
// scan: each costs a few bytes and a pass over the whole picture.
craft::Bytes Bomb(bool grey, bool subsampled, int width, int height, int extraScans) {
  craft::Options o;
  o.width = o.height = 16, o.progressive = true, o.flat = true;
  if (grey) o.input = JCS_GRAYSCALE;
  if (grey || !subsampled) o.lumaH = o.lumaV = 1;
  return craft::WithRepeatedLastScan(craft::WithFrame(craft::Encode(o), -1, -1, width, height),
                                     extraScans);
}

}  // namespace

// Each bomb is refused from its header in well under a second and without
// the memory it asks for; a file at the limits still decodes.
TEST(ReliabilityLimits, WorkAndMemoryBombsAreRefusedFromTheHeader) {
  struct TCase {
    const char* name;
    craft::Bytes bytes;
    int code;  // 0: decodes
  };
  const TCase cases[] = {
      // 500 scans of 16384 x 16384 meet the scan, pixel and memory limits.
      {"500 scans of 2^28 pixels", Bomb(true, false, 16384, 16384, 494), JERR_BAD_PROGRESSION},
      {"86 scans of 8192 x 8192", Bomb(true, false, 8192, 8192, 80), JERR_BAD_PROGRESSION},
      {"16384 x 16384 progressive 4:2:0", Bomb(false, true, 16384, 16384, 0),
       JERR_NO_BACKING_STORE},
      // 864 MB of coefficients, under the old 1 GiB cap of the library.
      {"12000 x 12000 progressive 4:4:4", Bomb(false, false, 12000, 12000, 0),
       JERR_NO_BACKING_STORE},
      {"scans within the work limit", Bomb(true, false, 2048, 2048, 100), 0},
  };
  TempDir dir;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "bomb.jpg";
    craft::WriteFile(path, c.bytes);
    const long before = PeakRssKiB();
    const auto start = Clock::now();
    const std::string failure = DecodeFailure(path, true);
    const auto took = Clock::now() - start;
    if (c.code == 0) {
      EXPECT_EQ(failure, "");
      continue;
    }
    EXPECT_TRUE(failure.starts_with("JPEG error #" + std::to_string(c.code) + ": ")) << failure;
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_LT(PeakRssKiB() - before, 32 * 1024);
  }
}

// A decode that takes seconds (just within the work limit) stops soon after
// AbandonRequested is set; so does a resampler in its rows.
TEST(ReliabilityLimits, AbandonStopsALongDecodeAndAResize) {
  TempDir dir;
  const std::string path = dir / "slow.jpg";
  craft::WriteFile(path, Bomb(true, false, 8192, 8192, 50));
  struct TAbandonLater {
    std::thread thread;
    explicit TAbandonLater(int ms)
        : thread([ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            AbandonRequested = true;
          }) {}
    ~TAbandonLater() {
      thread.join();
      AbandonRequested = false;
    }
  };
  {
    TAbandonLater later(200);
    const auto start = Clock::now();
    EXPECT_EQ(DecodeFailure(path), "Abandoned");
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  }
  // 10000 % of a small photo: the enlarger's rows notice it.
  craft::Options o;
  o.width = 64, o.height = 48;
  craft::WriteFile(path, craft::Encode(o));
  TAbandonLater later(100);
  const auto start = Clock::now();
  EXPECT_THROW(ResizePhoto(path, TFixedSettings::Percent(10000)), EAbandoned);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_FALSE(std::filesystem::exists(ResizedPhotoPath(path)));
}

// Damage the library completes (a cut, scrambled data) leaves its warnings
// with the decoded image; a sound file has none.
TEST(ReliabilityLimits, DamagedDataIsToldBySoundDataIsNot) {
  const std::pair<const char*, const char*> cases[] = {
      {"baseline-420", ""},
      {"progressive", ""},
      {"cut-mid-data", "Premature end of JPEG file"},
      {"progressive-cut-in-scan-3", "Premature end of JPEG file"},
      {"corrupt-entropy", "Corrupt JPEG data"},
  };
  TempDir dir;
  for (const auto& [name, warning] : cases) {
    SCOPED_TRACE(name);
    for (const auto& sample : craft::Catalogue()) {
      if (sample.name != name) continue;
      craft::WriteFile(dir / "p.jpg", sample.bytes);
      TJPEGImage J;
      J.LoadFromFile(dir / "p.jpg");
      TBitmap B;
      B.Assign(J);
      if (*warning == '\0') {
        EXPECT_TRUE(J.Warnings().empty()) << J.Warnings().front();
      } else {
        ASSERT_FALSE(J.Warnings().empty());
        EXPECT_TRUE(J.Warnings().front().starts_with(warning)) << J.Warnings().front();
      }
    }
  }
}

// Every encoder stops once its photo is abandoned, whatever the format,
// bounded in size or not: libwebp through its progress hook, libavif right
// before or after its encoding, a size limit between its encodings.
TEST(ReliabilityLimits, AbandonStopsEveryEncoder) {
  const TBitmap picture = PhotoPicture(64, 48);
  for (const TResultFormat format :
       {TResultFormat::rfJpeg, TResultFormat::rfWebp, TResultFormat::rfAvif})
    for (const bool limited : {false, true}) {
      SCOPED_TRACE(::testing::Message() << int(format) << " " << limited);
      const auto at = [format](int quality, int) {
        return MakeEncoder({.quality = quality, .format = format});
      };
      const auto encoder = limited ? SizeLimitedEncoder(at, 90, 100) : at(0, 0);
      AbandonRequested = true;
      EXPECT_THROW(encoder->Encode(picture), EAbandoned);
      AbandonRequested = false;
    }
}
