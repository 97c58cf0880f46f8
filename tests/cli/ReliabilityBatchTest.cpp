// vizuvod-batch against hostile folders, as a separate process: a folder of
// every damaged and odd photo, a disk that fills up, and the process's own
// peak memory over 10 and over 1,000 photos.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BatchProcess.h"
#include "JpegCraft.h"
#include "TestSupport.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// A scratch folder on tmpfs where there is one, so that a thousand outputs
// cost the engine's time and not the disk's syncs.
struct TFastDir {
  fs::path path;
  TFastDir() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
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

craft::Bytes Photo(int width, int height) {
  craft::Options o;
  o.width = width, o.height = height;
  return craft::Encode(o);
}

// The results in a folder, by name, and no temporary file among them.
std::map<std::string, craft::Bytes> Results(const fs::path& dir) {
  std::map<std::string, craft::Bytes> results;
  for (const std::string& name : Names(dir)) {
    if (name.starts_with(".")) ADD_FAILURE() << "temporary file left: " << name;
    if (name.starts_with("Resize of ")) results[name] = craft::ReadFile((dir / name).string());
  }
  return results;
}

// A photo whose decode takes a few seconds: 56 scans of 8192 x 8192 grey,
// just within the decoder's work limit.
craft::Bytes SlowPhoto() {
  craft::Options o;
  o.width = o.height = 16, o.progressive = true, o.flat = true;
  o.input = JCS_GRAYSCALE, o.lumaH = o.lumaV = 1;
  return craft::WithRepeatedLastScan(craft::WithFrame(craft::Encode(o), -1, -1, 8192, 8192), 50);
}

}  // namespace

// Every flavour of the catalogue in one folder, two jobs, --keep-going: each
// sound or merely damaged photo is written whole, each refused one is named
// with its error, nothing else appears, no original changes.
TEST(ReliabilityBatch, FolderOfHostilePhotosKeepsGoingAndNamesEachFailure) {
  TempDir dir;
  std::vector<craft::Sample> samples = craft::Catalogue();
  for (const auto& s : samples) craft::WriteFile(dir / (s.name + ".jpg"), s.bytes);
  const TResult r =
      RunBatch({"--width", "20", "--jobs", "2", "--keep-going", "--quiet", dir.path().string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;

  int written = 0, failed = 0;
  const std::set<std::string> names = Names(dir.path());
  for (const auto& s : samples) {
    SCOPED_TRACE(s.name);
    const std::string photo = dir / (s.name + ".jpg");
    EXPECT_EQ(craft::ReadFile(photo), s.bytes);
    const bool wrote = names.count("Resize of " + s.name + ".jpg") > 0;
    // Damaged photos written are listed before the failures.
    const std::size_t at = r.err.find(photo + ": ", r.err.find("Failed photos:"));
    EXPECT_NE(wrote, at != std::string::npos)
        << r.err;  // either written or named, never both or neither
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
  for (int i = 0; i < 20; ++i)
    craft::WriteFile((disk / ("p" + std::to_string(100 + i) + ".jpg")).string(), photo);
  ASSERT_EQ(craft::ReadFile((disk / "p119.jpg").string()), photo)
      << "the photos themselves must fit";
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
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(craft::ReadFile((disk / ("p" + std::to_string(100 + i) + ".jpg")).string()), photo);
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
  std::printf(
      "vizuvod-batch peak resident memory: %ld KiB for 10 photos, %ld KiB for 1000 photos\n",
      peak[0], peak[1]);
  if (kMemoryIsQuarantined) GTEST_SKIP() << "memory figures are meaningless under AddressSanitizer";
  EXPECT_LT(peak[1] - peak[0], 8 * 1024);
}

// Started with standard descriptors closed, the program opens /dev/null on
// them first: no progress text may end up in a result that took number 2.
TEST(ReliabilityBatch, ClosedStandardDescriptorsNeverReachAResult) {
  TempDir dir;
  for (int i = 0; i < 12; ++i)
    craft::WriteFile(dir / ("p" + std::to_string(10 + i) + ".jpg"), Photo(64, 48));
  ASSERT_EQ(RunBatch({"--percent", "50", "--jobs", "1", dir.path().string()}).exitCode, 0);
  const auto expected = Results(dir.path());
  for (const std::vector<int>& closed :
       {std::vector<int>{2}, std::vector<int>{1, 2}, std::vector<int>{0, 1, 2}}) {
    SCOPED_TRACE(closed.size());
    for (const auto& [name, bytes] : expected) fs::remove(dir / name);
    TSpawn spawn;
    spawn.closed = closed;
    EXPECT_EQ(RunBatch({"--percent", "50", "--jobs", "1", dir.path().string()}, spawn).exitCode, 0);
    EXPECT_EQ(Results(dir.path()), expected);
  }
}

// A reader that goes away (| head -1) stops the progress, not the photos;
// a file-size limit fails the write with the reason instead of killing.
TEST(ReliabilityBatch, ClosedPipeAndFileSizeLimitDoNotKillTheRun) {
  TempDir dir;
  for (int i = 0; i < 20; ++i)
    craft::WriteFile(dir / ("p" + std::to_string(10 + i) + ".jpg"), Photo(64, 48));
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ::close(pipe[0]);
  TSpawn spawn;
  spawn.errFd = pipe[1];
  const TResult piped = RunBatch({"--percent", "50", "--jobs", "1", dir.path().string()}, spawn);
  ::close(pipe[1]);
  EXPECT_EQ(piped.exitCode, 0);
  EXPECT_EQ(Results(dir.path()).size(), 20u);

  TempDir big;
  craft::WriteFile(big / "a.jpg", Photo(400, 300));
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 40000;  // the photo fits, its 400 % result does not
  ::setrlimit(RLIMIT_FSIZE, &small);
  TempDir logs;
  const pid_t pid = Start({"--percent", "400", "--quiet", big.path().string()}, logs);
  ::setrlimit(RLIMIT_FSIZE, &old);
  const TResult limited = Finish(pid, logs);
  EXPECT_EQ(limited.exitCode, 1);
  EXPECT_NE(
      limited.err.find("Cannot write file " + (big / "Resize of a.jpg") + ": File too large."),
      std::string::npos)
      << limited.err;
  EXPECT_TRUE(Results(big.path()).empty());
}

// Waits until the process has used `ms` of processor time (it is deep in
// its work then, whatever the machine's load), for at most 10 s.
void WaitForCpu(pid_t pid, long ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until) {
    std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return;
    long user = 0, system = 0;
    const int got = std::fscanf(f, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
                                &user, &system);
    std::fclose(f);
    if (got == 2 && (user + system) * 1000 / ::sysconf(_SC_CLK_TCK) >= ms) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Stop signals: one lets the photo in work finish and starts no other
// (SIGHUP as SIGTERM); a second abandons it at once, leaving no file.
TEST(ReliabilityBatch, StopSignalsFinishOrAbandonThePhotoInWork) {
  struct TCase {
    int signal;
    bool twice;
    int exitCode;
    bool slowWritten;
  };
  for (const TCase c : {TCase{SIGHUP, false, 129, true}, TCase{SIGINT, true, 130, false},
                        TCase{SIGTERM, true, 143, false}}) {
    SCOPED_TRACE(c.signal);
    TempDir dir;
    craft::WriteFile(dir / "a.jpg", SlowPhoto());
    craft::WriteFile(dir / "b.jpg", Photo(64, 48));
    TempDir logs;
    const pid_t pid = Start({"--percent", "10", "--jobs", "1", dir.path().string()}, logs);
    WaitForCpu(pid, 300);
    ::kill(pid, c.signal);
    const auto sent = std::chrono::steady_clock::now();
    if (c.twice) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ::kill(pid, c.signal);
    }
    const TResult r = Finish(pid, logs);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.out.find("; interrupted."), std::string::npos) << r.out;  // it ended itself
    if (c.twice) {
      EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    }
    const auto results = Results(dir.path());
    EXPECT_EQ(results.count("Resize of a.jpg"), c.slowWritten ? 1u : 0u);
    EXPECT_EQ(results.count("Resize of b.jpg"), 0u);
  }
}

// Folders and file errors on the command line, with the system's reason.
TEST(ReliabilityBatch, FolderArgumentsAndFileErrorsAreClear) {
  TempDir dir;
  craft::WriteFile(dir / "file.txt", craft::Bytes{1});
  craft::WriteFile(dir / "a.jpg", Photo(64, 48));
  fs::create_directory(dir / "Resize of a.jpg");
  const std::string missing = dir / "missing";
  const struct {
    std::string folder;
    int exitCode;
    std::string text;
  } cases[] = {
      {"", 2, "vizuvod-batch: FOLDER is empty\n"},
      {missing, 1,
       "vizuvod-batch: Cannot open folder " + missing + ": No such file or directory\n"},
      {dir / "file.txt", 1,
       "vizuvod-batch: Cannot open folder " + (dir / "file.txt") + ": Not a directory\n"},
      {dir.path().string(), 1,
       "  " + (dir / "a.jpg") + ": Cannot create file " + (dir / "Resize of a.jpg") +
           ": Is a directory.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const TResult r = RunBatch({"--percent", "50", "--quiet", c.folder});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
}

// Endless and hostile lists are refused with the reason in bounded memory, a
// stop signal ends the wait for a list, unopenable files say why.
TEST(ReliabilityBatch, HostileListsAreRefusedOrStoppedWithTheReason) {
  TempDir dir;
  craft::WriteFile(dir / "a.jpg", Photo(64, 48));
  craft::WriteFile(dir / "long", craft::Bytes(5000, 'x'));
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--files-from", "/dev/zero", "--null"}, "/dev/zero: the list is longer than 64 MiB"},
      {{"--files-from", "/dev/urandom"}, "holds a NUL character (is --null missing?)"},
      {{"--files-from", dir / "long"}, "long: entry 1 is longer than a path can be"},
      {{"--files-from", dir / "no"}, "no: cannot read the list: No such file or directory"},
      {{"--report", dir / "no/r", dir.path()}, "no/r: No such file or directory"},
  };
  for (const auto& [args, text] : cases) {
    std::vector<std::string> all = {"--percent", "50"};
    all.insert(all.end(), args.begin(), args.end());
    const TResult r = RunBatch(all);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    EXPECT_TRUE(kMemoryIsQuarantined || r.peakKiB < 200 << 10) << r.peakKiB;
  }
  ::mkfifo((dir / "fifo").c_str(), 0600);
  const int writer = ::open((dir / "fifo").c_str(), O_RDWR);  // never writes
  for (const int signal : {SIGINT, SIGTERM}) {
    TempDir logs;
    const pid_t pid = Start({"--percent", "50", "--files-from", "-"}, logs, dir / "fifo");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(pid, signal);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGKILL);  // a list read that ignored the signal ends as 137
    const TResult r = Finish(pid, logs);
    EXPECT_EQ(r.exitCode, 128 + signal);
    EXPECT_NE(r.err.find("stopped while finding the photos"), std::string::npos) << r.err;
  }
  ::close(writer);
}

// A name with a newline or an escape sequence cannot forge lines or reach
// the terminal, in the progress, the failure list or the summary.
TEST(ReliabilityBatch, NamesArePrintedEscaped) {
  TempDir dir;
  const std::string forged = "x\nWritten 2 of 2 photos in 0.1 s.\n\x1b[2Jy.jpg";
  craft::WriteFile(dir / forged, craft::Bytes{'n', 'o', 't'});
  craft::WriteFile(dir / "b.jpg", Photo(64, 48));
  const TResult r = RunBatch({"--percent", "50", "--keep-going", dir.path().string()});
  EXPECT_EQ(r.exitCode, 1);
  for (const std::string* text : {&r.out, &r.err}) {
    EXPECT_EQ(text->find('\x1b'), std::string::npos) << *text;
    EXPECT_EQ(text->find("\nWritten 2 of 2"), std::string::npos) << *text;
  }
  EXPECT_NE(r.err.find("x\\nWritten 2 of 2 photos in 0.1 s.\\n\\x1b[2Jy.jpg"), std::string::npos)
      << r.err;
}

// A photo that is a link to another photo's result waits for that result,
// so two jobs write what one writes.
TEST(ReliabilityBatch, LinkToAnotherResultGivesTheSameFilesForAnyJobCount) {
  std::map<std::string, craft::Bytes> first;
  for (const char* jobs : {"1", "2", "2", "2"}) {
    SCOPED_TRACE(jobs);
    TempDir dir;
    craft::WriteFile(dir / "a.jpg", Photo(640, 480));
    craft::WriteFile(dir / "Resize of a.jpg", Photo(32, 32));  // an earlier run's, another size
    fs::create_symlink("Resize of a.jpg", dir / "b.jpg");
    ASSERT_EQ(
        RunBatch({"--percent", "50", "--jobs", jobs, "--quiet", dir.path().string()}).exitCode, 0);
    const auto results = Results(dir.path());
    if (first.empty())
      first = results;
    else
      EXPECT_EQ(results, first);
  }
}

// A damaged photo is written with a warning and counted; --strict fails it.
TEST(ReliabilityBatch, DamagedPhotosAreToldAndStrictFailsThem) {
  for (const bool strict : {false, true}) {
    SCOPED_TRACE(strict);
    TempDir dir, elsewhere;
    const craft::Bytes sound = Photo(64, 48);
    craft::WriteFile(dir / "cut.jpg", craft::Truncated(sound, sound.size() / 2));
    craft::WriteFile(dir / "sound.jpg", sound);
    const std::string report = elsewhere / "report.json";
    std::vector<std::string> args = {"--percent", "50",   "--keep-going",
                                     "--report",  report, dir.path().string()};
    if (strict) args.insert(args.begin(), "--strict");
    const TResult r = RunBatch(args);
    const auto results = Results(dir.path());
    if (!strict) {
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_NE(r.out.find("Written 2 of 2 photos"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("; 1 from damaged data."), std::string::npos) << r.out;
      EXPECT_NE(
          r.err.find((dir / "cut.jpg") + ": written from damaged data: Premature end of JPEG file"),
          std::string::npos)
          << r.err;
      EXPECT_EQ(results.size(), 2u);
      EXPECT_NE(
          ReadFile(report).find(
              R"("status":"damaged","error":"written from damaged data: Premature end of JPEG file")"),
          std::string::npos)
          << ReadFile(report);
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_NE(r.err.find((dir / "cut.jpg") + ": Damaged data: Premature end of JPEG file."),
                std::string::npos)
          << r.err;
      EXPECT_EQ(results.size(), 1u);
    }
  }
}

// Under a memory limit only some of 200 workers can start: the run goes on
// with those and says so once.
TEST(ReliabilityBatch, WorkersThatCannotStartAreDoneWithout) {
  if (kMemoryIsQuarantined)
    GTEST_SKIP() << "an address-space limit and AddressSanitizer do not mix";
  TempDir dir;
  for (int i = 0; i < 40; ++i)
    craft::WriteFile(dir / ("p" + std::to_string(10 + i) + ".jpg"), Photo(64, 48));
  rlimit old{};
  ::getrlimit(RLIMIT_AS, &old);
  rlimit small = old;
  small.rlim_cur = 256u << 20;  // room for a few dozen thread stacks, not 200
  TempDir logs;
  ::setrlimit(RLIMIT_AS, &small);
  const pid_t pid =
      Start({"--percent", "50", "--jobs", "200", "--quiet", dir.path().string()}, logs);
  ::setrlimit(RLIMIT_AS, &old);
  const TResult r = Finish(pid, logs);
  // The limit that stopped the threads may leave the started ones short of
  // memory too: such a photo fails with a clear message, never an abort or a
  // temporary file left behind, and the others are written.
  ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << r.err;
  const std::size_t written = Results(dir.path()).size();
  std::size_t outOfMemory = 0;
  for (std::size_t at = r.err.find(": Out of memory."); at != std::string::npos;
       at = r.err.find(": Out of memory.", at + 1))
    ++outOfMemory;
  EXPECT_GT(written, 0u) << r.err;
  if (r.exitCode == 0) {
    EXPECT_EQ(written, 40u);
  }
  EXPECT_EQ(r.err.find("bad_alloc"), std::string::npos) << r.err;
  EXPECT_EQ(r.exitCode == 1, outOfMemory > 0) << r.err;
  const std::size_t said = r.err.find("jobs could start");
  EXPECT_NE(said, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("jobs could start", said + 1), std::string::npos) << r.err;
}

// A result is replaced only when it is the run's own. In a shared (1777)
// folder another user's file at a result's name is left alone, even one
// bearing the very mark this run would write (made by that user's own run of
// the same photo, through setpriv); so is a result with a second link; and
// A/a.jpg never takes B/a.jpg's result for its own.
TEST(ReliabilityBatch, ResultsOfOthersAndOfOtherPhotosAreNeverReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as a second user needs root";
  TempDir dir;
  fs::permissions(dir.path(), fs::perms(0755));
  for (const char* sub : {"A", "B", "out"}) fs::create_directory(dir / sub);
  fs::permissions(dir / "out", fs::perms(01777));
  WritePhoto(dir / "A/a.jpg", 40, 30, 1);
  WritePhoto(dir / "B/a.jpg", 40, 30, 2);
  const std::string result = dir / "out/a.jpg";
  const auto run = [&](const char* photos, bool nobody = false) {
    std::vector<std::string> as;
    if (nobody) as = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return RunBatch({"--width", "20", "--output", dir / "out", dir / photos},
                    TSpawn{"", {}, -1, as});
  };
  const struct {
    const char* name;
    std::function<void()> before;
    const char* refusal;  // null: replaced
  } cases[] = {
      {"own earlier result", [&] { run("A"); }, nullptr},
      {"another user's", [&] { EXPECT_EQ(run("A", true).exitCode, 0); },
       "it belongs to another user"},
      {"a second link", [&] { run("A"), fs::create_hard_link(result, dir / "link"); },
       "it has other names"},
      {"another photo's", [&] { run("B"); }, "it was not made from this photo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(result), fs::remove(dir / "link");
    c.before();
    const std::string before = ReadFile(result);
    const TResult r = run("A");
    EXPECT_EQ(r.exitCode, c.refusal ? 1 : 0) << r.err;
    if (!c.refusal) continue;
    EXPECT_NE(r.err.find(result + ": " + c.refusal), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(result), before);
  }
}
