// The batch run driven by a fake window: target sizes, which cases write,
// progress and counter, cancel, the run's own copy of the list, re-entrance
// and failures.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

struct TSize {
  int width, height;
  bool operator==(const TSize&) const = default;
};

TSize PhotoSize(const std::string& path) {
  TJPEGImage J;
  J.LoadFromFile(path);
  TBitmap B;
  B.Assign(J);  // a full decode, so a truncated file fails here
  return {B.Width(), B.Height()};
}

void PrintTo(const TSize& s, std::ostream* os) { *os << s.width << "x" << s.height; }

// Page 2 and page 3 of the window, recording what the run does to them.
class TFakeWindow : public TBatchWindow {
 public:
  explicit TFakeWindow(TFixedSettings s) : settings(std::move(s)) {}

  TFixedSettings settings;
  std::vector<int> overall;
  std::vector<std::string> counter;
  int photoProgressCalls = 0;
  int pumps = 0;
  int pumpsSinceOverall = 0;
  // Runs inside each pump, like a click handled while the run pumps messages.
  std::function<void()> onPump;

  TResizeMode Mode() const override { return settings.Mode(); }
  int P() const override { return settings.P(); }
  int N() const override { return settings.N(); }
  std::string FitSideText() const override { return settings.FitSideText(); }
  std::string FitSideItem(int index) const override { return settings.FitSideItem(index); }
  void SetOverallProgress(int position) override {
    overall.push_back(position);
    pumpsSinceOverall = 0;
  }
  void SetProcessedCount(const std::string& text) override { counter.push_back(text); }
  void SetPhotoProgress(int) override { ++photoProgressCalls; }
  void ProcessMessages() override {
    ++pumps;
    ++pumpsSinceOverall;
    if (onPump) onPump();
  }
};

// A folder of photos p01.jpg, p02.jpg ..., scanned into the photo list.
struct TPhotoFolder {
  TempDir dir;
  std::vector<std::string> photos;

  TPhotoFolder(int count, int width, int height) {
    for (int i = 1; i <= count; ++i) {
      photos.push_back(dir / Name(i));
      WritePhoto(photos.back(), width, height);
    }
    ScanAgain();
  }
  void ScanAgain() { ScanPhotoFolder(dir.path().string()); }
  std::string Output(int i) const { return dir / ("Resize of " + Name(i)); }
  // Two digits, so the case-blind name order is the numeric order.
  static std::string Name(int i) { return (i < 10 ? "p0" : "p") + std::to_string(i) + ".jpg"; }
  int OutputCount() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
      n += e.path().filename().string().rfind("Resize of ", 0) == 0;
    return n;
  }
};

TEST(BatchRun, TargetSizes) {
  struct Case {
    const char* what;
    TFixedSettings settings;
    TSize source, target;
  };
  const Case cases[] = {
      // 500.5 and 333.5 round to even.
      {"50 % of 1001x667", TFixedSettings::Percent(50), {1001, 667}, {500, 334}},
      // 16.5 goes to the even neighbour.
      {"33 % of 50x50", TFixedSettings::Percent(33), {50, 50}, {16, 16}},
      // 150 * 0.07 and 350 * 0.07 land on halves only in extended precision.
      {"7 % of 150x350", TFixedSettings::Percent(7), {150, 350}, {10, 24}},
      {"150 % of 10x6", TFixedSettings::Percent(150), {10, 6}, {15, 9}},
      // A side that rounds to 0 becomes 1 instead of failing the photo.
      {"1 % of 40x300", TFixedSettings::Percent(1), {40, 300}, {1, 3}},
      {"width 800 of 1600x1067", TFixedSettings::FitWidth(800), {1600, 1067}, {800, 534}},
      {"height 5 of 8x1000", TFixedSettings::FitHeight(5), {8, 1000}, {1, 5}},
      // (3 / 10) * 95 is 28.5 in extended precision, a hair less in double.
      {"width 3 of 10x95", TFixedSettings::FitWidth(3), {10, 95}, {3, 29}},
      {"height 3 of 95x10", TFixedSettings::FitHeight(3), {95, 10}, {29, 3}},
      {"width 64 of 64x48 (scale 1)", TFixedSettings::FitWidth(64), {64, 48}, {64, 48}},
      {"width 96 of 64x48", TFixedSettings::FitWidth(96), {64, 48}, {96, 72}},
      {"height 600 of 400x300", TFixedSettings::FitHeight(600), {400, 300}, {800, 600}},
      {"height 100 of 301x200", TFixedSettings::FitHeight(100), {301, 200}, {150, 100}},
      {"height 48 of 64x48 (scale 1)", TFixedSettings::FitHeight(48), {64, 48}, {64, 48}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WritePhoto(dir / "photo.jpg", c.source.width, c.source.height);
    ASSERT_TRUE(ResizePhoto(dir / "photo.jpg", c.settings));
    EXPECT_EQ(PhotoSize(dir / "Resize of photo.jpg"), c.target);
    EXPECT_EQ(PhotoSize(dir / "photo.jpg"), c.source) << "the photo itself is never changed";
  }
}

TEST(BatchRun, SettingsThatMatchNoCaseDecodeAndCountButWriteNothing) {
  TFixedSettings unknownSide = TFixedSettings::FitWidth(10);
  unknownSide.fitSide = "по ширине";  // compared exactly, case included
  TFixedSettings emptySide = TFixedSettings::FitHeight(10);
  emptySide.fitSide = "";  // the box starts with no text
  for (const TFixedSettings& settings : {TFixedSettings::Percent(100), unknownSide, emptySide}) {
    TPhotoFolder folder(3, 20, 20);
    TFakeWindow window(settings);
    EXPECT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
    EXPECT_EQ(window.counter, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(folder.OutputCount(), 0);
  }
  // The photos are decoded all the same: a broken one still fails.
  TPhotoFolder folder(1, 20, 20);
  std::ofstream(folder.photos[0], std::ios::trunc) << "not a photo";
  TFakeWindow window(TFixedSettings::Percent(100));
  EXPECT_THROW(BatchResizeRun(window), Exception);
}

TEST(BatchRun, OverallProgressRoundsHalvesToEven) {
  TPhotoFolder folder(8, 16, 12);
  TFakeWindow window(TFixedSettings::Percent(50));
  ASSERT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  // 12.5, 37.5, 62.5 and 87.5 go to the even neighbour.
  EXPECT_EQ(window.overall, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
  EXPECT_EQ(window.counter, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
  EXPECT_GT(window.photoProgressCalls, 0)
      << "the resampler reaches ProgressBar2 through the window";
  EXPECT_GT(window.pumps, 2 * 8) << "two pumps per photo and more inside the resampler";
  EXPECT_EQ(folder.OutputCount(), 8);
}

TEST(BatchRun, EmptyListReturnsAtOnce) {
  TempDir dir;
  ScanPhotoFolder(dir.path().string());
  TFakeWindow window(TFixedSettings::Percent(50));
  CancelRequested = true;
  EXPECT_EQ(BatchResizeRun(window), TRunResult::rrEmpty);
  EXPECT_TRUE(window.overall.empty());
  EXPECT_EQ(window.pumps, 0);
  EXPECT_FALSE(CancelRequested) << "cleared when the run starts";
}

TEST(BatchRun, CancelIsSeenBeforeTheNextPhoto) {
  TPhotoFolder folder(10, 24, 16);
  TFakeWindow window(TFixedSettings::Percent(50));
  // "Отменить процесс" pressed while photo 3 is being resampled: a pump after
  // the one that precedes the cancel check.
  window.onPump = [&] {
    if (window.overall.back() == 30 && window.pumpsSinceOverall > 1) CancelRequested = true;
  };
  CancelRequested = true;  // left over from an earlier run; Start clears it
  EXPECT_EQ(BatchResizeRun(window), TRunResult::rrCancelled);
  EXPECT_EQ(window.counter.back(), "3");
  EXPECT_EQ(window.overall.back(), 40) << "photo 4's step ran up to the cancel check";
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(fs::exists(folder.Output(i)), i <= 3) << i;

  // A second run starts again from the first photo and overwrites its files.
  std::ofstream(folder.Output(1), std::ios::trunc) << "stale";
  TFakeWindow again(TFixedSettings::Percent(25));
  EXPECT_EQ(BatchResizeRun(again), TRunResult::rrFinished);
  EXPECT_EQ(PhotoSize(folder.Output(1)), (TSize{6, 4}));
  EXPECT_EQ(folder.OutputCount(), 10);

  // Scanned again, the folder lists the results as photos too.
  folder.ScanAgain();
  EXPECT_EQ(PhotoCount, 20);
}

TEST(BatchRun, RunKeepsTheListItStartedWith) {
  TPhotoFolder folder(3, 16, 16);
  TempDir other;
  WritePhoto(other / "other.jpg", 16, 16);
  TFakeWindow window(TFixedSettings::Percent(50));
  // A scan made from page 1 while the run pumps messages.
  window.onPump = [&] {
    if (window.counter.size() == 1) ScanPhotoFolder(other.path().string());
  };
  EXPECT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  EXPECT_EQ(window.overall, (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(folder.OutputCount(), 3);
  EXPECT_FALSE(fs::exists(other / "Resize of other.jpg"));

  // The new list serves the next run.
  TFakeWindow next(TFixedSettings::Percent(50));
  EXPECT_EQ(BatchResizeRun(next), TRunResult::rrFinished);
  EXPECT_TRUE(fs::exists(other / "Resize of other.jpg"));
}

TEST(BatchRun, SecondStartDuringARunIsIgnored) {
  TPhotoFolder folder(2, 16, 16);
  TFakeWindow window(TFixedSettings::Percent(50));
  std::vector<TRunResult> inner;
  window.onPump = [&] {
    EXPECT_TRUE(BatchRunActive());
    TFakeWindow second(TFixedSettings::Percent(50));
    inner.push_back(BatchResizeRun(second));
    EXPECT_TRUE(second.overall.empty());
  };
  EXPECT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  ASSERT_FALSE(inner.empty());
  for (TRunResult r : inner) EXPECT_EQ(r, TRunResult::rrIgnored);
  EXPECT_EQ(window.counter, (std::vector<std::string>{"1", "2"}));
  EXPECT_FALSE(BatchRunActive());
}

TEST(BatchRun, SettingsAreReadAnewAtEachCase) {
  // Changed to 200 % while the 50 % shrink pumps messages: the shrunk file is
  // written, then the enlarging case sees 200 and replaces it.
  TPhotoFolder folder(1, 20, 10);
  TFakeWindow window(TFixedSettings::Percent(50));
  window.onPump = [&] {
    if (window.photoProgressCalls > 0) window.settings.percent = 200;
  };
  EXPECT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  EXPECT_EQ(PhotoSize(folder.Output(1)), (TSize{40, 20}));
}

TEST(BatchRun, NonPositiveSettingsAreRefusedBeforeAnyPhoto) {
  TFixedSettings pixelsZero = TFixedSettings::FitWidth(0);
  TFixedSettings pixelsNegative = TFixedSettings::FitHeight(-3);
  TFixedSettings unknownSideZero = TFixedSettings::FitHeight(0);
  unknownSideZero.fitSide = "";
  for (const TFixedSettings& settings : {TFixedSettings::Percent(0), TFixedSettings::Percent(-20),
                                         pixelsZero, pixelsNegative, unknownSideZero}) {
    const auto warning = RunSettingsWarning(settings);
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find("больше нуля"), std::string::npos) << *warning;

    TPhotoFolder folder(2, 16, 16);
    TFakeWindow window(settings);
    EXPECT_EQ(BatchResizeRun(window), TRunResult::rrRefused);
    EXPECT_TRUE(window.overall.empty());
    EXPECT_EQ(folder.OutputCount(), 0);
  }
  // Only the active mode's value counts.
  TFixedSettings percentWithZeroPixels = TFixedSettings::Percent(50);
  TFixedSettings pixelsWithZeroPercent = TFixedSettings::FitWidth(10);
  for (const TFixedSettings& settings : {percentWithZeroPixels, pixelsWithZeroPercent,
                                         TFixedSettings::Percent(100), TFixedSettings::Percent(1)})
    EXPECT_FALSE(RunSettingsWarning(settings));
}

TEST(BatchRun, SettingChangedToZeroDuringARunFailsThatPhoto) {
  TPhotoFolder folder(3, 16, 16);
  TFakeWindow window(TFixedSettings::Percent(50));
  window.onPump = [&] {
    if (window.counter.size() == 1) window.settings.percent = 0;
  };
  EXPECT_THROW(BatchResizeRun(window), EInvalidArgument);
  EXPECT_EQ(folder.OutputCount(), 1);
  EXPECT_FALSE(BatchRunActive());
}

TEST(BatchRun, FailureEndsTheRunAtThatPhoto) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> spoil;
  };
  const Case cases[] = {
      {"text named .jpg",
       [](const std::string& p) { std::ofstream(p, std::ios::trunc) << "hello"; }},
      {"empty file", [](const std::string& p) { std::ofstream(p, std::ios::trunc); }},
      {"removed after the scan", [](const std::string& p) { fs::remove(p); }},
      {"output name taken by a folder",
       [](const std::string& p) {
         fs::create_directory(fs::path(p).parent_path() /
                              ("Resize of " + fs::path(p).filename().string()));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPhotoFolder folder(4, 16, 16);
    c.spoil(folder.photos[2]);
    TFakeWindow window(TFixedSettings::Percent(50));
    try {
      BatchResizeRun(window);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_EQ(window.overall.back(), 75) << "the bar keeps the failing photo's value";
    EXPECT_EQ(window.counter.back(), "2");
    EXPECT_TRUE(fs::is_regular_file(folder.Output(1)));
    EXPECT_TRUE(fs::is_regular_file(folder.Output(2)));
    EXPECT_FALSE(fs::is_regular_file(folder.Output(3)));
    EXPECT_FALSE(fs::exists(folder.Output(4)));
    EXPECT_FALSE(BatchRunActive());
  }
}

TEST(BatchRun, OutputNameSitsBesideThePhoto) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/a/Фото/dsc01.jpg", "/home/a/Фото/Resize of dsc01.jpg"},
      {"/home/a/Фото//dsc01.jpg", "/home/a/Фото//Resize of dsc01.jpg"},
      {"/x.jpg", "/Resize of x.jpg"},
      {"rel/Resize of x.jpg", "rel/Resize of Resize of x.jpg"},
      {"x.jpg", "Resize of x.jpg"},
  };
  for (const auto& [path, output] : cases) EXPECT_EQ(ResizedPhotoPath(path), output);
}

TEST(BatchRun, ErrorBoxTextEndsWithAFullStop) {
  const std::pair<std::string, std::string> cases[] = {
      {"JPEG error #53", "JPEG error #53."},
      {"Cannot open file /a/b.jpg", "Cannot open file /a/b.jpg."},
      {"Already stopped.", "Already stopped."},
      {"Why?", "Why?."},   // '?' sorts after '.'
      {"Stop!", "Stop!"},  // '!' sorts before '.'
      {"(x)", "(x)"},
      {"a/", "a/."},
      {"Ошибка", "Ошибка."},
      {"", ""},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(ErrorBoxText(message), shown) << message;
  EXPECT_EQ(ErrorBoxText(EReadError()), "Stream read error.");
}

}  // namespace

namespace {

// The step as vizuvod-batch takes it: several results from one decode, each
// named by its own size, the plan matching what is then written, and a plan
// refused writing nothing.
TEST(ProcessPhoto, SeveralResultsPlannedThenWrittenLikeSingleOnes) {
  TempDir dir;
  const std::string photo = dir / "photo.jpg";
  WritePhoto(photo, 120, 90);
  const TFixedSettings half = TFixedSettings::Percent(50), wide = TFixedSettings::FitWidth(200);
  const TResultNamer named = [](const std::string& p, int w, int h) {
    return p + "." + std::to_string(w) + "x" + std::to_string(h) + ".jpg";
  };
  TPhotoRequest request;
  request.photo = photo;
  request.results = {{&half, named, 0, {}}, {&wide, named, 75, {}}};

  TPhotoStep step(request);
  const TPhotoOutcome dry = step.Plan();
  const std::vector<TResultOutcome> planned = dry.results;
  ASSERT_EQ(planned.size(), 2u);
  EXPECT_EQ(planned[0].path, photo + ".60x45.jpg");
  EXPECT_EQ(planned[1].path, photo + ".200x150.jpg");
  EXPECT_EQ(dry.width, 120);
  EXPECT_FALSE(fs::exists(planned[0].path) || fs::exists(planned[1].path));

  const TPhotoOutcome done = step.Run();
  ASSERT_EQ(done.results.size(), 2u);
  EXPECT_EQ(done.bytes, fs::file_size(photo));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(done.results[k].path, planned[k].path);
    EXPECT_EQ(done.results[k].bytes, fs::file_size(planned[k].path));
  }
  // The first result is the wizard's file byte for byte; the second had its own quality.
  ASSERT_TRUE(ResizePhoto(photo, half));
  EXPECT_EQ(ReadFile(done.results[0].path), ReadFile(dir / "Resize of photo.jpg"));
  ASSERT_TRUE(ResizePhoto(photo, wide));
  EXPECT_LT(done.results[1].bytes, fs::file_size(dir / "Resize of photo.jpg"));
}

}  // namespace
