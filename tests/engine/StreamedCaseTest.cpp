// A photo with one result is shrunk straight from the decoder's rows or
// enlarged straight into the encoder; with two results it is decoded whole
// and each result made from the held picture. Both roads must write the same
// bytes with the same progress and pump calls, and fail alike.
#include <gtest/gtest.h>

#include <memory>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"
#include "resample/EnlargeBitmap.h"
#include "resample/ShrinkBitmap.h"

using namespace vizuvod;

namespace {

struct TRun {
  std::vector<craft::Bytes> results;
  std::vector<std::string> warnings;
  std::vector<int> calls;  // progress positions, -1 for a pump
  std::string failure;
};

// The photo asked for `copies` results of the same settings.
TRun Resized(const std::string& photo, const TRunSettings& settings, int copies,
             bool refuse = false) {
  TRun run;
  TPhotoRequest request;
  request.photo = photo;
  request.refuseDamaged = refuse;
  for (int i = 0; i < copies; ++i)
    request.results.push_back(
        {&settings,
         [i](const std::string& p, int, int) { return p + ".r" + std::to_string(i); },
         0,
         {}});
  const TRowHooks hooks{[&](int p) { run.calls.push_back(p); }, [&] { run.calls.push_back(-1); }};
  try {
    const TPhotoOutcome outcome = ProcessPhoto(request, hooks);
    for (const TPhotoWarning& w : outcome.warnings) run.warnings.push_back(w.text);
    for (const TResultOutcome& r : outcome.results) run.results.push_back(craft::ReadFile(r.path));
  } catch (const std::exception& e) {
    run.failure = e.what();
  }
  return run;
}

craft::Bytes Photo(int width, int height, J_COLOR_SPACE input, bool progressive = false) {
  craft::Options o;
  o.width = width, o.height = height, o.input = input, o.progressive = progressive;
  return craft::Encode(o);
}

}  // namespace

TEST(StreamedCase, SameBytesCallsAndFailuresAsTheHeldPicture) {
  const craft::Bytes baseline = Photo(61, 47, JCS_RGB);
  struct TPhoto {
    const char* name;
    craft::Bytes bytes;
  };
  const TPhoto photos[] = {
      {"baseline", baseline},
      {"progressive", Photo(61, 47, JCS_RGB, true)},
      {"grey", Photo(40, 33, JCS_GRAYSCALE)},
      {"cmyk", Photo(37, 29, JCS_CMYK)},
      {"truncated", craft::Truncated(baseline, baseline.size() * 2 / 3)},
      {"corrupt", craft::CorruptEntropy(baseline, craft::ScanStarts(baseline)[0] + 40, 30)},
      {"tiny", Photo(1, 2, JCS_RGB)},
      // Refused only once its rows are read: a second frame header after them.
      {"late failure", craft::BeforeEnd(baseline, craft::FrameSegment(baseline))},
  };
  const TFixedSettings settings[] = {TFixedSettings::Percent(50), TFixedSettings::Percent(3),
                                     TFixedSettings::FitWidth(20), TFixedSettings::Percent(150),
                                     TFixedSettings::FitHeight(70)};
  TempDir dir;
  for (const TPhoto& p : photos) {
    const std::string path = dir / (std::string(p.name) + ".jpg");
    craft::WriteFile(path, p.bytes);
    for (const TFixedSettings& s : settings)
      for (const bool refuse : {false, true}) {
        SCOPED_TRACE(std::string(p.name) + " " + std::to_string(s.percent) + "% " +
                     std::to_string(s.pixels) + "px" + (refuse ? " refusing damage" : ""));
        const TRun one = Resized(path, s, 1, refuse), two = Resized(path, s, 2, refuse);
        EXPECT_EQ(one.failure, two.failure);
        EXPECT_EQ(one.warnings, two.warnings);
        std::vector<int> twice = one.calls;
        if (one.failure.empty()) twice.insert(twice.end(), one.calls.begin(), one.calls.end());
        EXPECT_EQ(twice, two.calls);
        ASSERT_EQ(one.results.size() * 2, two.results.size());
        for (const craft::Bytes& r : two.results) EXPECT_EQ(one.results[0], r);
      }
  }
}

namespace {

// Percentage 150 until the first pump, then fit the width to 20 pixels: the
// window's page changed while an enlargement ran.
class TChangingSettings : public TFixedSettings {
 public:
  TChangingSettings() { percent = 150, pixels = 20, fitSide = FitWidthItem; }
  TResizeMode Mode() const override {
    return changed ? TResizeMode::rmPixels : TResizeMode::rmPercent;
  }
  bool changed = false;
};

}  // namespace

TEST(StreamedCase, ACaseAfterAStreamedEnlargementStartsFromTheEnlargedPicture) {
  TempDir dir;
  const std::string path = dir / "p.jpg";
  craft::WriteFile(path, Photo(40, 30, JCS_RGB));
  TChangingSettings settings;
  const TRowHooks hooks{{}, [&] { settings.changed = true; }};
  ASSERT_TRUE(ResizePhoto(path, settings, hooks));

  TJPEGImage J;
  J.LoadFromFile(path);
  auto S = std::make_shared<TBitmap>();
  S->Assign(J);
  EnlargeBitmap(S, "percent", 1.5f, 1.5f, 0, 0);  // 60 x 45
  TBitmap D;
  TBitmap* R = nullptr;
  D.SetSize(20, 15);
  ShrinkBitmap(*S, D, R);
  EXPECT_EQ(craft::ReadFile(ResizedPhotoPath(path)), J.EncodedBytesOf(*R));
}
