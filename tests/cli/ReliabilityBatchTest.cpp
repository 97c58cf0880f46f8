// vizuvod-batch against hostile folders, as a separate process: a folder of
// every damaged and odd photo, a disk that fills up, and the process's own
// peak memory over 10 and over 1,000 photos.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "BatchRun.h"
#include "JpegCraft.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder on tmpfs where there is one, so that a thousand outputs
// cost the engine's time and not the disk's syncs.
struct TFastDir {
  fs::path path;
  TFastDir() {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("vizuvod-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(path);
  }
  ~TFastDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  static inline int counter = 0;
};

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

}  // namespace

// Every flavour of the catalogue in one folder, two jobs, --keep-going: each
// sound or merely damaged photo is written whole, each refused one is named
// with its error, nothing else appears, no original changes.
TEST(ReliabilityBatch, FolderOfHostilePhotosKeepsGoingAndNamesEachFailure) {
  TempDir dir;
  std::vector<craft::Sample> samples = craft::Catalogue();
  for (const auto& s : samples) craft::WriteFile(dir / (s.name + ".jpg"), s.bytes);
  const TResult r = RunBatch({"--width", "20", "--jobs", "2", "--keep-going", "--quiet", dir.path().string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;

  int written = 0, failed = 0;
  const std::set<std::string> names = Names(dir.path());
  for (const auto& s : samples) {
    SCOPED_TRACE(s.name);
    const std::string photo = dir / (s.name + ".jpg");
    EXPECT_EQ(craft::ReadFile(photo), s.bytes);
    const bool wrote = names.count("Resize of " + s.name + ".jpg") > 0;
    const std::size_t at = r.err.find(photo + ": ");
    EXPECT_NE(wrote, at != std::string::npos) << r.err;  // either written or named, never both or neither
    if (wrote) {
      ++written;
      EXPECT_GT(craft::ReadFile(dir / ("Resize of " + s.name + ".jpg")).size(), 100u);
    } else if (at != std::string::npos) {
      ++failed;
      const std::string line = r.err.substr(at, r.err.find('\n', at) - at);
      EXPECT_TRUE(line.find("JPEG error #") != std::string::npos ||
                  line.find("Out of system resources") != std::string::npos)
          << line;
    }
  }
  EXPECT_EQ(names.size(), samples.size() + written);  // no stray temporary files
  EXPECT_GT(written, 20);
  EXPECT_GT(failed, 5);
}

// A disk that fills up part-way through a run: the run stops with the
// reason, outputs already written are whole, the failing one is absent.
TEST(ReliabilityBatch, FullDiskStopsTheRunWithTheReasonAndNoPartialFile) {
  TempDir where;
  const fs::path disk = where.path() / "disk";
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here; the full-disk run is not tried";
  struct TUnmount {
    fs::path p;
    ~TUnmount() { ::umount2(p.c_str(), MNT_DETACH); }
  } unmount{disk};

  craft::Options o;
  o.width = 96, o.height = 64;
  const craft::Bytes photo = craft::Encode(o);
  for (int i = 0; i < 20; ++i) craft::WriteFile((disk / ("p" + std::to_string(100 + i) + ".jpg")).string(), photo);
  ASSERT_EQ(craft::ReadFile((disk / "p119.jpg").string()), photo) << "the photos themselves must fit";
  // 300 % outputs are several times a photo's size: the disk fills within a few.
  const TResult r = RunBatch({"--percent", "300", "--jobs", "1", "--quiet", disk.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("No space left on device."), std::string::npos) << r.err;
  int outputs = 0;
  for (const std::string& name : Names(disk)) {
    if (name.starts_with(".")) ADD_FAILURE() << "temporary file left: " << name;
    if (!name.starts_with("Resize of ")) continue;
    ++outputs;
    const craft::Bytes out = craft::ReadFile((disk / name).string());
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out[out.size() - 2], 0xFF) << name;  // ends with the end-of-image marker
    EXPECT_EQ(out[out.size() - 1], 0xD9) << name;
  }
  EXPECT_LT(outputs, 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(craft::ReadFile((disk / ("p" + std::to_string(100 + i) + ".jpg")).string()), photo);
}

// The process's peak memory does not grow with the number of photos.
TEST(ReliabilityBatch, PeakMemoryOfTenAndOfAThousandPhotos) {
  craft::Options o;
  o.width = 320, o.height = 240;
  const craft::Bytes photo = craft::Encode(o);
  long peak[2] = {0, 0};
  const int counts[2] = {10, 1000};
  for (int k = 0; k < 2; ++k) {
    TFastDir dir;
    for (int i = 0; i < counts[k]; ++i)
      craft::WriteFile((dir.path / ("img" + std::to_string(10000 + i) + ".jpg")).string(), photo);
    const TResult r = RunBatch({"--percent", "50", "--jobs", "1", "--quiet", dir.path.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    peak[k] = r.peakKiB;
  }
  std::printf("vizuvod-batch peak resident memory: %ld KiB for 10 photos, %ld KiB for 1000 photos\n", peak[0],
              peak[1]);
  if (kMemoryIsQuarantined) GTEST_SKIP() << "memory figures are meaningless under AddressSanitizer";
  EXPECT_LT(peak[1] - peak[0], 8 * 1024);
}
