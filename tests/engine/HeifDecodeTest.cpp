// HEIC and AVIF photos: real ones from the corpus when it is there (sizes
// upright, never turned twice by their EXIF orientation), and damaged ones.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "BatchRun.h"
#include "Errors.h"
#include "PhotoCodec.h"
#include "PhotoStep.h"
#include "TestSupport.h"

using namespace vizuvod;
namespace fs = std::filesystem;

namespace {

// The decoding's failure, "" when it decoded.
std::string Failure(const std::string& path) {
  try {
    OpenDecoder(path, true)->Picture();
    return "";
  } catch (const EPhotoData& e) {
    return e.what();
  }
}

}  // namespace

TEST(HeifDecodeTest, CorpusPhotosComeUprightOnce) {
#ifndef VIZUVOD_HEIF
  GTEST_SKIP() << "built without HEIF";
#endif
  const fs::path corpus = CorpusDir() / "formats";
  if (CorpusDir().empty() || !fs::exists(corpus)) GTEST_SKIP() << "no formats corpus";
  const struct {
    const char* file;
    int width, height;  // upright; 0: its decoding fails
    bool note = false;  // an image sequence
    int exif = 1;       // the photo's own EXIF orientation, which is not applied
    bool icc = false;   // an ICC profile is read
  } cases[] = {
      {"iPhone8Plus_portrait_irot270.heic", 3024, 4032, false, 6, true},
      {"kimono_irot270.avif", 722, 1024},
      {"iPhoneXSMax_grid_DisplayP3.heic", 4032, 3024, false, 1, true},
      {"sofa_grid_1x5.avif", 1024, 770},
      {"CanonEOSR8_10bit_PQ.heic", 600, 400},
      {"cosmos_10bit_444_PQ.avif", 1024, 428},
      {"monochrome_1280x720.avif", 1280, 720},
      {"plum_blossom_8bit_alpha.avif", 2048, 2048},
      {"paris_icc_exif_xmp.avif", 403, 302, false, 1, true},
      {"sequence_256x144.heic", 256, 144, true},
      {"star_animated_alpha.avif", 0, 0},
      {"broken/corrupted_boxes.heic", 0, 0},
      {"broken/truncated_mdat.heic", 0, 0},
      {"broken/meta_size_zero.avif", 0, 0},
  };
  const TFixedSettings tenth = TFixedSettings::Percent(10);
  for (const auto& c : cases) {
    if (!fs::exists(corpus / c.file)) continue;
    TempDir dir;  // results are written beside the photo, never into the corpus
    const std::string photo = dir / "p.heic";
    fs::copy_file(corpus / c.file, photo);
    if (c.width == 0) {
      EXPECT_EQ(Failure(photo).rfind("HEIF error: ", 0), 0u) << c.file << Failure(photo);
      continue;
    }
    const TPhotoMetadata metadata = OpenDecoder(photo, true)->Metadata();
    EXPECT_EQ(metadata.Orientation(), c.exif) << c.file;
    EXPECT_EQ(!metadata.IccProfile().empty(), c.icc) << c.file;
    for (const bool autoOrient : {false, true}) {
      TPhotoRequest r;
      r.photo = photo, r.results = {{&tenth, {}, 0, {}}}, r.anyFormat = true;
      r.keepMetadata = true, r.autoOrient = autoOrient;
      const TPhotoOutcome outcome = ProcessPhoto(r);
      ASSERT_EQ(outcome.results.size(), 1u) << c.file;
      EXPECT_EQ(outcome.results[0].width, (c.width + 5) / 10) << c.file;
      EXPECT_EQ(outcome.results[0].height, (c.height + 5) / 10) << c.file;
      const std::string written = ReadFile(outcome.results[0].path);
      EXPECT_EQ(TPhotoMetadata::Read({written.begin(), written.end()}).Orientation(), 1) << c.file;
      bool noted = false;
      for (const TPhotoWarning& w : outcome.warnings) noted |= w.kind == TWarningKind::wkFrames;
      EXPECT_EQ(noted, c.note) << c.file;
    }
  }
  // The transparent corner of the alpha photo lies over white.
  if (fs::exists(corpus / "plum_blossom_8bit_alpha.avif")) {
    const TBitmap picture = OpenDecoder(corpus / "plum_blossom_8bit_alpha.avif", true)->Picture();
    const std::uint8_t* corner = picture.ScanLine(0);
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 3 * 255);
  }
}

TEST(HeifDecodeTest, DamagedFilesFailClearlyAndFast) {
  TempDir dir;
  // An ftyp of HEIC brands with no meta box after it; then that cut short.
  const std::string head(
      "\0\0\0\x18"
      "ftypheic\0\0\0\0mif1heic",
      24);
  const std::string cases[] = {head + std::string(100, '\x5a'), head.substr(0, 16)};
  for (const std::string& bytes : cases) {
    std::ofstream(dir / "d.heic", std::ios::binary) << bytes;
    const auto started = std::chrono::steady_clock::now();
#ifdef VIZUVOD_HEIF
    EXPECT_EQ(Failure(dir / "d.heic").rfind("HEIF error: ", 0), 0u) << Failure(dir / "d.heic");
#else
    EXPECT_NE(Failure(dir / "d.heic").find("reads no HEIF"), std::string::npos);
#endif
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  }
}
