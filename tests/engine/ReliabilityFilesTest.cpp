// Hostile file systems under the batch run: photos that cannot be read or
// vanish, folders that refuse writes, a disk that fills up, names that are
// folders, links or not UTF-8. Each case must end in a clear error or work,
// and no original or earlier output may be damaged or left half-written.
//
// Tests run as root in CI, where permission bits stop nothing; the cases that
// need a refusal drop root's file rights for the thread (setfsuid) or mount a
// small tmpfs, and skip with a message where the machine allows neither.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Abandon.h"
#include "core/Errors.h"
#include "core/TestSeams.h"
#include "files/OutputFolder.h"
#include "files/ResultGuard.h"
#include "files/SafeFiles.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"
#include "photo/PhotoScan.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

const TFixedSettings kHalf = TFixedSettings::Percent(50);

craft::Bytes Photo(int width = 48, int height = 32) {
  craft::Options o;
  o.width = width, o.height = height;
  return craft::Encode(o);
}

// Names in the folder other than `except`, to catch stray temporary files.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Decodes a written output fully: a short or empty file fails here.
std::pair<int, int> DecodedSize(const std::string& path) {
  TJPEGImage J;
  J.LoadFromFile(path);
  TBitmap B;
  B.Assign(J);
  return {B.Width(), B.Height()};
}

// The failure a call raised, as "<what()>", or "" when it returned.
template <class F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

// Runs the thread with the file rights of an ordinary user while alive, so
// permission bits bite even when the tests run as root.
class TOrdinaryUser {
 public:
  TOrdinaryUser() {
    if (::geteuid() == 0) {
      ::setfsuid(65534);
      ::setfsgid(65534);
      active_ = true;
    }
  }
  // False where root could not give up its rights (no such user mapped in a
  // container, say): permission bits then stop nothing.
  bool Effective() const { return !active_ || ::setfsuid(uid_t(-1)) == 65534; }
  ~TOrdinaryUser() {
    if (active_) {
      ::setfsuid(0);
      ::setfsgid(0);
    }
  }

 private:
  bool active_ = false;
};

// A tmpfs of `bytes` mounted on a fresh folder; mounted() is false where the
// machine does not let the test mount.
class TSmallDisk {
 public:
  explicit TSmallDisk(std::size_t bytes, bool readOnly = false) : where_(dir_.path() / "disk") {
    fs::create_directories(where_);
    const std::string opts = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ =
        ::mount("tmpfs", where_.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, opts.c_str()) == 0;
  }
  ~TSmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const fs::path& path() const { return where_; }
  // Remount read-only once the files are in place.
  bool MakeReadOnly() {
    return ::mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  TempDir dir_;
  fs::path where_;
  bool mounted_ = false;
};

// Fills the file system holding `dir` until fewer than `leave` bytes are free.
void FillDisk(const fs::path& dir, std::size_t leave) {
  const std::string filler = (dir / "filler").string();
  std::FILE* f = std::fopen(filler.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::vector<char> block(4096, 'x');
  while (fs::space(dir).available >= leave + block.size() &&
         std::fwrite(block.data(), 1, block.size(), f) == block.size())
    std::fflush(f);
  std::fclose(f);
}

}  // namespace

// A photo whose file the user may not read: the open fails with the path named.
TEST(ReliabilityFiles, UnreadablePhotoGivesOpenErrorAndWritesNothing) {
  TempDir dir;
  const std::string photo = dir / "locked.jpg";
  craft::WriteFile(photo, Photo());
  fs::permissions(photo, fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);  // the folder itself stays open
  std::string failure;
  {
    TOrdinaryUser user;
    if (!user.Effective())
      GTEST_SKIP() << "running as root and cannot drop root's file rights here";
    failure = FailureOf([&] { ResizePhoto(photo, kHalf); });
  }
  EXPECT_EQ(failure, "Cannot open file " + photo);
  EXPECT_FALSE(fs::exists(ResizedPhotoPath(photo)));
}

// The list holds the photo, then the user deletes it before the run reaches
// it: the run stops there with a clear error; earlier outputs are whole.
TEST(ReliabilityFiles, PhotoDeletedBetweenScanAndRunStopsTheRunClearly) {
  TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) craft::WriteFile(dir / name, Photo());
  ASSERT_EQ(ScanPhotoFolder(dir.path().string()), 3);
  fs::remove(dir / "b.jpg");

  struct TWindow : TBatchWindow {
    TResizeMode Mode() const override { return TResizeMode::rmPercent; }
    int P() const override { return 50; }
    int N() const override { return 0; }
    std::string FitSideText() const override { return ""; }
    std::string FitSideItem(int) const override { return ""; }
    void SetOverallProgress(int) override {}
    void SetProcessedCount(const std::string& t) override { count = t; }
    void SetPhotoProgress(int) override {}
    void ProcessMessages() override {}
    std::string count;
  } window;
  std::string failure = FailureOf([&] { BatchResizeRun(window); });
  EXPECT_EQ(failure, "Cannot open file " + dir.path().string() + "/b.jpg");
  EXPECT_EQ(window.count, "1");
  EXPECT_EQ(DecodedSize(dir / "Resize of a.jpg"), std::make_pair(24, 16));
  EXPECT_FALSE(fs::exists(dir / "Resize of c.jpg"));
  EXPECT_FALSE(BatchRunActive());
}

// A folder where nothing may be created: by permission (as an ordinary user)
// and by a read-only mount (which stops root too). An earlier output stays.
TEST(ReliabilityFiles, ReadOnlyFolderRefusesTheOutputAndKeepsEarlierOnes) {
  {
    TempDir dir;
    const std::string photo = dir / "a.jpg";
    craft::WriteFile(photo, Photo());
    craft::WriteFile(ResizedPhotoPath(photo), craft::Bytes{1, 2, 3});
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(photo, fs::perms::all);
    std::string failure;
    bool refused = true;
    {
      TOrdinaryUser user;
      refused = user.Effective();
      if (refused) failure = FailureOf([&] { ResizePhoto(photo, kHalf); });
    }
    if (refused) {
      EXPECT_EQ(failure, "Cannot create file " + ResizedPhotoPath(photo));
    }
    EXPECT_EQ(craft::ReadFile(ResizedPhotoPath(photo)), (craft::Bytes{1, 2, 3}));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Resize of a.jpg", "a.jpg"}));
  }
  TSmallDisk disk(1 << 20);
  if (!disk.mounted())
    GTEST_SKIP() << "cannot mount a tmpfs here; the read-only mount case is not run";
  const std::string photo = (disk.path() / "a.jpg").string();
  const craft::Bytes original = Photo();
  craft::WriteFile(photo, original);
  ASSERT_TRUE(disk.MakeReadOnly());
  EXPECT_EQ(FailureOf([&] { ResizePhoto(photo, kHalf); }),
            "Cannot create file " + ResizedPhotoPath(photo));
  EXPECT_EQ(craft::ReadFile(photo), original);
  EXPECT_EQ(Names(disk.path()), (std::vector<std::string>{"a.jpg"}));
}

// A disk that fills up while the output is written: a clear error, no empty
// or partial output, no temporary file left, the earlier output unharmed.
TEST(ReliabilityFiles, FullDiskLeavesNoPartialOutput) {
  TSmallDisk disk(256 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here; the full-disk case is not run";
  const std::string photo = (disk.path() / "a.jpg").string();
  const craft::Bytes original = Photo(200, 150);
  craft::WriteFile(photo, original);
  const craft::Bytes earlier = Photo(10, 10);
  craft::WriteFile(ResizedPhotoPath(photo), earlier);
  FillDisk(disk.path(), 2048);

  // 400 % of 200x150 encodes to far more than the 2 KiB left.
  const std::string failure = FailureOf([&] { ResizePhoto(photo, TFixedSettings::Percent(400)); });
  EXPECT_EQ(failure, "Cannot write file " + ResizedPhotoPath(photo) + ": No space left on device");
  EXPECT_EQ(craft::ReadFile(photo), original);
  EXPECT_EQ(craft::ReadFile(ResizedPhotoPath(photo)), earlier);
  EXPECT_EQ(Names(disk.path()), (std::vector<std::string>{"Resize of a.jpg", "a.jpg", "filler"}));

  // Completely full: not even the temporary file's first block fits.
  FillDisk(disk.path(), 0);
  const std::string full = FailureOf([&] { ResizePhoto(photo, TFixedSettings::Percent(400)); });
  EXPECT_TRUE(full.starts_with("Cannot write file " + ResizedPhotoPath(photo)) ||
              full == "Cannot create file " + ResizedPhotoPath(photo))
      << full;
  EXPECT_EQ(craft::ReadFile(ResizedPhotoPath(photo)), earlier);
  EXPECT_EQ(Names(disk.path()), (std::vector<std::string>{"Resize of a.jpg", "a.jpg", "filler"}));
}

// Things standing where the output goes: a folder of that name is refused
// and left alone; a link or a second name of the original is replaced as a
// name, never written through, so the original stays as it was.
TEST(ReliabilityFiles, WhateverStandsAtTheOutputNameTheOriginalSurvives) {
  TempDir dir;
  const std::string photo = dir / "x.jpg";
  const craft::Bytes original = Photo();
  craft::WriteFile(photo, original);
  const std::string out = ResizedPhotoPath(photo);

  fs::create_directory(out);
  craft::WriteFile(out + "/inside.txt", craft::Bytes{'k'});
  EXPECT_EQ(FailureOf([&] { ResizePhoto(photo, kHalf); }), "Cannot create file " + out);
  EXPECT_TRUE(fs::is_directory(out));
  EXPECT_EQ(craft::ReadFile(out + "/inside.txt"), craft::Bytes{'k'});
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Resize of x.jpg", "x.jpg"}));
  fs::remove_all(out);

  fs::create_symlink("x.jpg", out);
  EXPECT_EQ(FailureOf([&] { ResizePhoto(photo, kHalf); }), "");
  EXPECT_EQ(craft::ReadFile(photo), original);
  EXPECT_EQ(DecodedSize(out), std::make_pair(24, 16));
  fs::remove(out);

  fs::create_hard_link(photo, out);
  EXPECT_EQ(FailureOf([&] { ResizePhoto(photo, kHalf); }), "");
  EXPECT_EQ(craft::ReadFile(photo), original);
  EXPECT_EQ(DecodedSize(out), std::make_pair(24, 16));
}

// A link named x.jpg is a photo like any other; a dangling one is no photo
// for the scan, and one that breaks after the scan stops the run clearly.
TEST(ReliabilityFiles, LinksAreFollowedAndBrokenOnesAreClear) {
  TempDir dir;
  fs::create_directory(dir / "elsewhere");
  const craft::Bytes original = Photo();
  craft::WriteFile(dir / "elsewhere/real.jpg", original);
  fs::create_directory(dir / "photos");
  const fs::path photos = dir.path() / "photos";
  fs::create_symlink("../elsewhere/real.jpg", photos / "x.jpg");
  fs::create_symlink("../elsewhere/missing.jpg", photos / "broken.jpg");

  ASSERT_EQ(ScanPhotoFolder(photos.string()), 1);
  EXPECT_EQ(PhotoFiles[0], (photos / "x.jpg").string());
  EXPECT_EQ(FailureOf([&] { ResizePhoto(PhotoFiles[0], kHalf); }), "");
  EXPECT_EQ(DecodedSize((photos / "Resize of x.jpg").string()), std::make_pair(24, 16));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(photos / "Resize of x.jpg")));
  EXPECT_EQ(craft::ReadFile(dir / "elsewhere/real.jpg"), original);

  const std::string broken = (photos / "broken.jpg").string();
  EXPECT_EQ(FailureOf([&] { ResizePhoto(broken, kHalf); }), "Cannot open file " + broken);
  EXPECT_FALSE(fs::exists(ResizedPhotoPath(broken)));
}

// Names in Cyrillic, with spaces, and with bytes that are not UTF-8 are
// scanned, read and written as they are.
TEST(ReliabilityFiles, OddNamesWork) {
  TempDir dir;
  const std::vector<std::string> names = {"Фото с моря.jpg", "  two  spaces .jpg",
                                          "raw-\xFF\xFE-\xC3(.jpg", "Ёлка.JPG", "x.jpg.jpg"};
  for (const auto& name : names) craft::WriteFile(dir / name, Photo());
  ASSERT_EQ(ScanPhotoFolder(dir.path().string()), std::int32_t(names.size()));
  for (std::int32_t i = 0; i < PhotoCount; ++i) {
    SCOPED_TRACE(PhotoFiles[i]);
    EXPECT_EQ(FailureOf([&] { ResizePhoto(PhotoFiles[i], kHalf); }), "");
  }
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DecodedSize(dir / ("Resize of " + name)), std::make_pair(24, 16));
  }
  // And a missing one with such a name is named in the error as it is.
  const std::string missing = dir / "нет-\xFF.jpg";
  EXPECT_EQ(FailureOf([&] { ResizePhoto(missing, kHalf); }), "Cannot open file " + missing);
}

// Whatever is put in a photo's place after the scan (which lists only plain
// files): a pipe without a writer, a folder, an endless device. Each is
// refused at once with the reason, and nothing is written.
TEST(ReliabilityFiles, NoLongerARegularFileIsRefusedWithoutBlocking) {
  TempDir dir;
  const std::string photo = dir / "a.jpg";
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"Not a regular file", [&] { ASSERT_EQ(::mkfifo(photo.c_str(), 0644), 0); }},
      {"Is a directory", [&] { fs::create_directory(photo); }},
      {"Not a regular file", [&] { fs::create_symlink("/dev/zero", photo); }},
  };
  for (const auto& [reason, make] : cases) {
    SCOPED_TRACE(reason);
    fs::remove_all(photo);
    make();
    auto run = std::async(std::launch::async, [&] {
      try {
        ResizePhoto(photo, kHalf);
      } catch (const Exception& e) {
        return std::make_pair(std::string(e.what()), e.Detailed());
      }
      return std::make_pair(std::string(), std::string());
    });
    if (run.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Let a stuck open or read return so the test can end, then fail.
      const int writer = ::open(photo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      run.wait();
      FAIL() << "the run waited on " << reason;
    }
    const auto [message, detailed] = run.get();
    EXPECT_EQ(message, "Cannot open file " + photo);
    EXPECT_EQ(detailed, "Cannot open file " + photo + ": " + reason);
    EXPECT_FALSE(fs::exists(ResizedPhotoPath(photo)));
  }
}

// File errors carry the system's reason beside the window's unchanged text.
TEST(ReliabilityFiles, FileErrorsCarryTheSystemsReason) {
  TempDir dir;
  const std::string missing = dir / "gone.jpg";
  const std::string nowhere = dir / "no folder/x.jpg";
  TJPEGImage J;
  J.Assign(MakeBitmap24(4, 4, [](int, int) { return 0; }));
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { ResizePhoto(missing, kHalf); },
       "Cannot open file " + missing + ": No such file or directory"},
      {[&] { J.SaveToFile(nowhere); },
       "Cannot create file " + nowhere + ": No such file or directory"},
  };
  for (const auto& [call, detailed] : cases) {
    try {
      call();
      ADD_FAILURE() << "no failure";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Detailed(), detailed);
      EXPECT_EQ(e.what() + (": " + e.Reason()), detailed);
    }
  }
}

// A new result takes its photo's permission bits less the umask, as cp does;
// a replaced result keeps its own bits and its owner (where root runs the
// test, which may give the owner).
TEST(ReliabilityFiles, ResultsTakeThePhotosPermissionsOrKeepTheirOwn) {
  struct TCase {
    mode_t photo, mask;
    int earlier;  // bits of an earlier result, -1 for none
    mode_t result;
  };
  const TCase cases[] = {
      {0600, 022, -1, 0600}, {0644, 077, -1, 0600},   {0666, 002, -1, 0664},
      {0640, 022, -1, 0640}, {0600, 022, 0644, 0644}, {0644, 022, 0600, 0600},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.photo) + " " + std::to_string(c.mask) + " " +
                 std::to_string(c.earlier));
    TempDir dir;
    const std::string photo = dir / "p.jpg";
    const std::string result = ResizedPhotoPath(photo);
    craft::WriteFile(photo, Photo());
    ::chmod(photo.c_str(), c.photo);
    const bool chown = c.earlier >= 0 && ::geteuid() == 0;
    if (c.earlier >= 0) {
      craft::WriteFile(result, craft::Bytes{1});
      ::chmod(result.c_str(), mode_t(c.earlier));
      if (chown) {
        ASSERT_EQ(::chown(result.c_str(), 65534, 65534), 0);
      }
    }
    const mode_t old = ::umask(c.mask);
    const std::string failure = FailureOf([&] { ResizePhoto(photo, kHalf); });
    ::umask(old);
    EXPECT_EQ(failure, "");
    struct stat st {};
    ASSERT_EQ(::stat(result.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.result);
    if (chown) {
      EXPECT_EQ(st.st_uid, 65534u);
      EXPECT_EQ(st.st_gid, 65534u);
    }
  }
}

// Temporary files a killed run left are removed by the next save into the
// folder; one still locked by a live save, and look-alikes, stay.
TEST(ReliabilityFiles, StaleTemporaryFilesGoLiveOnesStay) {
  TempDir dir;
  const std::vector<std::string> stay = {".vizuvod-7-0000live.tmp", ".vizuvod-notes.txt", "x.tmp"};
  for (const std::string& name : stay) craft::WriteFile(dir / name, craft::Bytes{1});
  craft::WriteFile(dir / ".vizuvod-8-000stale.tmp", craft::Bytes{1});
  const int live = ::open((dir / stay[0]).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);
  craft::WriteFile(dir / "p.jpg", Photo());
  EXPECT_EQ(FailureOf([&] { ResizePhoto(dir / "p.jpg", kHalf); }), "");
  ::close(live);
  std::vector<std::string> want = stay;
  want.insert(want.end(), {"Resize of p.jpg", "p.jpg"});
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Names(dir.path()), want);
}

// A folder that lets the temporary file be neither renamed nor removed (an
// append-only folder, played through the seam): the failure names the
// leftover. Where only the rename fails the temporary file goes; an
// abandoned save leaves nothing either.
TEST(ReliabilityFiles, TemporaryFileThatCannotBeRemovedIsNamed) {
  const TFileCalls real = FileCallsHook();
  const auto refuse = [](const char*) { return errno = EPERM, -1; };
  const auto refuseRename = [](const char*, const char*) { return errno = EPERM, -1; };
  TJPEGImage J;
  J.Assign(MakeBitmap24(4, 4, [](int, int) { return 0; }));
  for (const bool removable : {false, true}) {
    SCOPED_TRACE(removable);
    TempDir dir;
    const std::string target = dir / "out.jpg";
    std::string message, detailed;
    {
      const TScopedHook calls(FileCallsHook(), {refuseRename, removable ? real.unlink : +refuse});
      try {
        J.SaveToFile(target);
      } catch (const EFCreateError& e) {
        message = e.what(), detailed = e.Detailed();
      }
    }
    const std::vector<std::string> names = Names(dir.path());
    if (removable) {
      EXPECT_EQ(message, "Cannot create file " + target);
      EXPECT_EQ(detailed, message + ": Operation not permitted");
      EXPECT_TRUE(names.empty());
      continue;
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(message, "Cannot create file " + target + "; its temporary file " + (dir / names[0]) +
                           " is left behind");
    EXPECT_EQ(detailed, "Cannot create file " + target +
                            ": Operation not permitted; its temporary file " + (dir / names[0]) +
                            " is left behind");
  }
  TempDir dir;
  AbandonRequested = true;
  EXPECT_THROW(J.SaveToFile(dir / "out.jpg"), EAbandoned);
  AbandonRequested = false;
  EXPECT_TRUE(Names(dir.path()).empty());
}

// A photo whose name fits the folder's 255-byte limit only until "Resize of "
// is put before it: a clear refusal, and no temporary file left behind.
TEST(ReliabilityFiles, OutputNameTooLongIsAClearError) {
  TempDir dir;
  std::string name;
  for (int i = 0; i < 123; ++i) name += "я";
  name += ".jpg";  // 250 bytes
  const std::string photo = dir / name;
  craft::WriteFile(photo, Photo());
  EXPECT_EQ(FailureOf([&] { ResizePhoto(photo, kHalf); }),
            "Cannot create file " + ResizedPhotoPath(photo));
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{name});
}

// A huge file that only calls itself .jpg (a disk image, a film) must not be
// read whole into memory: past the largest photo file the codec takes, it is
// refused before any buffer is made. A sparse file costs the test no disk.
TEST(ReliabilityFiles, HugeFileNamedJpgIsRefusedWithoutReadingIt) {
  TempDir dir;
  const std::string photo = dir / "film.jpg";
  {
    std::FILE* f = std::fopen(photo.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  fs::resize_file(photo, (std::uintmax_t(1) << 30) + 1);  // 1 GiB and a byte
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  try {
    ResizePhoto(photo, kHalf);
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    // The window's text stays; vizuvod-batch says what the file is.
    EXPECT_EQ(std::string(e.what()), "Out of memory while expanding memory stream");
    EXPECT_EQ(e.Detailed(),
              "Cannot read file " + photo + ": File too large (over 1 GiB, no photo is that big)");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"film.jpg"});
}

// A new result is written unnamed and named only once whole, so a run killed
// before then leaves nothing. A replacement, a folder without unnamed files
// (no linkat) or a name taken meanwhile take the temporary file's road, and
// a guard sees the file about to be replaced and may keep it.
TEST(ReliabilityFiles, NewResultsAreNamedOnlyOnceWhole) {
  using TLinkat = int (*)(int, const char*, int, const char*, int);
  static TempDir* dir;
  static std::vector<std::string> seen;  // the folder when the name is given
  static const TLinkat look = [](int a, const char* b, int c, const char* d, int e) {
    seen = Names(dir->path());
    return ::linkat(a, b, c, d, e);
  };
  const TLinkat take = [](int a, const char* b, int c, const char* d, int e) {
    craft::WriteFile(*dir / "out.jpg", craft::Bytes{1});
    return look(a, b, c, d, e);
  };
  const struct {
    TLinkat linkat;
    bool existing, refuse;
    std::vector<std::string> seen;
  } cases[] = {{look, false, false, {}},
               {nullptr, false, false, {"-"}},
               {take, false, false, {"out.jpg"}},
               {look, true, false, {"-"}},
               {look, true, true, {"-"}}};
  TJPEGImage J;
  J.Assign(MakeBitmap24(4, 4, [](int, int) { return 0; }));
  for (const auto& c : cases) {
    TempDir here;
    dir = &here, seen = {"-"};
    if (c.existing) craft::WriteFile(here / "out.jpg", craft::Bytes{1});
    ino_t guarded = 0;
    const TScopedHook calls(FileCallsHook(), {::rename, ::unlink, c.linkat});
    EXPECT_EQ(FailureOf([&] {
                J.SaveToFile(here / "out.jpg", [&](const std::string&, const struct stat& st) {
                  guarded = st.st_ino;
                  if (c.refuse) throw EFCreateError("kept", "");
                });
              }),
              c.refuse ? "Cannot create file kept" : "")
        << &c - cases;
    EXPECT_EQ(seen, c.seen);
    EXPECT_EQ(Names(here.path()), std::vector<std::string>{"out.jpg"});
    EXPECT_EQ(craft::ReadFile(here / "out.jpg"), c.refuse ? craft::Bytes{1} : J.Data()->bytes);
    EXPECT_EQ(guarded != 0, c.existing || c.linkat == take);
  }
  TempDir killed;
  const TLinkat kill = [](int, const char*, int, const char*, int) { return ::raise(SIGKILL); };
  EXPECT_EXIT(
      {
        const TScopedHook calls(FileCallsHook(), {::rename, ::unlink, kill});
        J.SaveToFile(killed / "out.jpg");
      },
      testing::KilledBySignal(SIGKILL), "");
  EXPECT_TRUE(Names(killed.path()).empty());
}

// The guard both programs share refuses before the write and at its moment
// for the same reason: a photo of the run, a file the run did not make of
// this photo, a result another photo has claimed; the run's own result goes.
TEST(ReliabilityFiles, ResultGuardRefusesAlikeBeforeAndAtTheWrite) {
  TempDir dir;
  const std::vector<std::string> photos{dir / "a.jpg", dir / "b.jpg"};
  for (const std::string& photo : photos) WritePhoto(photo, 8, 6);
  TResultGuard guard(photos, " (hint)");
  std::filesystem::create_symlink(photos[1], dir / "photo");
  std::ofstream(dir / "other") << "x";
  std::ofstream(dir / "own") << "x";
  MarkMadeFrom(dir / "own", PhotoKeyOf(photos[0]));
  for (const auto& [name, why] : std::vector<std::pair<std::string, std::string>>{
           {"photo", "it is a photo of this run; it is not written over"},
           {"other",
            "it was not made from this photo by an earlier run; it is not overwritten (hint)"},
           {"own", ""}}) {
    struct stat there;
    ASSERT_EQ(::stat((dir / name).c_str(), &there), 0);
    std::string before, atWrite;
    try {
      guard.RefusePhotoOfTheRun(dir / name, there);
      before = guard.NotOurs(dir / name, PhotoKeyOf(photos[0]));
    } catch (const EResultRefused& e) {
      before = e.what();
    }
    try {
      guard.RefuseToReplace(0, dir / name, there);
    } catch (const EResultRefusedAtWrite& e) {
      atWrite = e.what();
    }
    EXPECT_EQ(before, why.empty() ? "" : dir / name + ": " + why) << name;
    EXPECT_EQ(atWrite, why.empty() ? "" : "Cannot create file " + dir / name + ": " + why) << name;
  }
  guard.Claim(0, dir / "r.jpg");
  guard.Claim(0, dir / "r.jpg");
  EXPECT_THROW(guard.Claim(1, dir / "r.jpg"), EResultRefused);
}
