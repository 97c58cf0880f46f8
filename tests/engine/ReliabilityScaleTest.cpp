// Big folders: the run's memory must not grow with the number of photos, and
// a folder of 20,000 tiny photos (twice the wizard's old list capacity) must
// scan and run to the end. The folders live on tmpfs where there is one, so
// the time goes to the engine and not to the disk's syncs.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "photo/BatchRun.h"
#include "photo/PhotoScan.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// A scratch folder on tmpfs when the machine has /dev/shm, else the usual one.
class TFastDir {
 public:
  TFastDir() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path_ = base / ("vizuvod-scale-" + std::to_string(::getpid()) + "-" +
                    std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~TFastDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

class TQuietWindow : public TBatchWindow {
 public:
  TResizeMode Mode() const override { return TResizeMode::rmPercent; }
  int P() const override { return 50; }
  int N() const override { return 0; }
  std::string FitSideText() const override { return ""; }
  std::string FitSideItem(int) const override { return ""; }
  void SetOverallProgress(int position) override { overall = position; }
  void SetProcessedCount(const std::string& text) override { count = text; }
  void SetPhotoProgress(int) override {}
  void ProcessMessages() override {}
  int overall = -1;
  std::string count;
};

void WritePhotos(const fs::path& dir, int count, const craft::Bytes& bytes) {
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "img%05d.jpg", i);
    craft::WriteFile((dir / name).string(), bytes);
  }
}

// Resident memory now, in KiB (not the peak: memory given back counts as gone).
long ResidentKiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

// One photo's images are released before the next: after 1,000 photos the
// process holds no more than after 10. Photos of 320 x 240 make a leak of
// one photo's pictures (about 0.4 MB) plain to see.
TEST(ReliabilityScale, MemoryStaysFlatAcrossAThousandPhotos) {
  craft::Options o;
  o.width = 320, o.height = 240;
  const craft::Bytes photo = craft::Encode(o);
  TQuietWindow window;

  TFastDir small;
  WritePhotos(small.path(), 10, photo);
  ASSERT_EQ(ScanPhotoFolder(small.path().string()), 10);
  ASSERT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  const long residentAfter10 = ResidentKiB(), peakAfter10 = PeakKiB();

  TFastDir big;
  WritePhotos(big.path(), 1000, photo);
  ASSERT_EQ(ScanPhotoFolder(big.path().string()), 1000);
  ASSERT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  EXPECT_EQ(window.count, "1000");
  const long residentAfter1000 = ResidentKiB(), peakAfter1000 = PeakKiB();

  std::printf("resident after 10 photos: %ld KiB, after 1000: %ld KiB; peak %ld KiB and %ld KiB\n",
              residentAfter10, residentAfter1000, peakAfter10, peakAfter1000);
  if (kMemoryIsQuarantined) GTEST_SKIP() << "memory figures are meaningless under AddressSanitizer";
  EXPECT_LT(residentAfter1000 - residentAfter10, 8 * 1024);
  EXPECT_LT(peakAfter1000 - peakAfter10, 8 * 1024);
}

// 20,000 photos of 8 x 8: all listed, all written, the count shown at the end.
TEST(ReliabilityScale, TwentyThousandTinyPhotosScanAndRun) {
  craft::Options o;
  o.width = 8, o.height = 8;
  TFastDir dir;
  WritePhotos(dir.path(), 20000, craft::Encode(o));
  ASSERT_EQ(ScanPhotoFolder(dir.path().string()), 20000);
  EXPECT_EQ(PhotoFiles.front(), (dir.path() / "img00000.jpg").string());
  EXPECT_EQ(PhotoFiles.back(), (dir.path() / "img19999.jpg").string());

  TQuietWindow window;
  ASSERT_EQ(BatchResizeRun(window), TRunResult::rrFinished);
  EXPECT_EQ(window.count, "20000");
  EXPECT_EQ(window.overall, 100);
  int outputs = 0;
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().filename().string().starts_with("Resize of ")) ++outputs;
  EXPECT_EQ(outputs, 20000);
  const craft::Bytes last = craft::ReadFile((dir.path() / "Resize of img19999.jpg").string());
  EXPECT_GT(last.size(), 100u);

  // The next scan lists the outputs as photos too: 40,000 entries.
  EXPECT_EQ(ScanPhotoFolder(dir.path().string()), 40000);
}
