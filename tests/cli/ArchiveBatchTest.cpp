// vizuvod-batch over archives: where photos come from (--recursive,
// --files-from, --shard), where results go and what they are called
// (--output, --name), resumed and planned runs (--skip-existing, --dry-run),
// --report and --keep-date; each against the files it really writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "BatchProcess.h"
#include "TestSupport.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// A photo whose size follows the seed too, its folders made as needed.
void WritePhoto(const fs::path& path, int seed) {
  fs::create_directories(path.parent_path());
  vizuvod::WritePhoto(path.string(), 40 + seed % 4 * 6, 30 + seed % 3 * 4, seed);
}

// Every file under root (links not followed), relative, with its bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it)
    if (it->is_regular_file() && !it->is_symlink())
      files[fs::relative(it->path(), root).string()] = ReadFile(it->path());
  return files;
}

std::set<std::string> Names(const std::map<std::string, std::string>& files) {
  std::set<std::string> names;
  for (const auto& [name, bytes] : files) names.insert(name);
  return names;
}

// A small archive: photos at three depths, a hidden folder, a link to a
// folder (which would loop) and a file that is no photo.
const std::vector<std::string> Archive = {"a.jpg", "B.JPG", "sub/c.jpg", "sub/deep/d.jpg",
                                          ".hidden/e.jpg"};

void MakeArchive(const fs::path& root) {
  for (std::size_t i = 0; i < Archive.size(); ++i) WritePhoto(root / Archive[i], int(i));
  fs::create_directory_symlink("..", root / "sub" / "up");
  std::ofstream(root / "notes.txt") << "not a photo";
}

std::string Wizard(const fs::path& photo, const TFixedSettings& settings) {
  TempDir scratch;
  fs::copy_file(photo, scratch.path() / "p.jpg");
  EXPECT_TRUE(ResizePhoto(scratch / "p.jpg", settings));
  return ReadFile(scratch.path() / "Resize of p.jpg");
}

TEST(ArchiveBatch, WhereResultsGoAndWhatTheyAreCalled) {
  struct TCase {
    std::vector<std::string> args;  // "@" stands for the archive folder, "%" for a second folder
    std::set<std::string> added;    // files new after the run, "%/" ones in the second folder
    std::string ofA;                // which of them is a.jpg's result
  };
  const std::vector<TCase> cases = {
      // The wizard's way, kept: the second run takes the first one's results as photos.
      {{"@"},
       {"Resize of a.jpg", "Resize of B.JPG", "Resize of Resize of a.jpg",
        "Resize of Resize of B.JPG"},
       "Resize of a.jpg"},
      {{"--recursive", "@"},
       {"Resize of a.jpg", "Resize of B.JPG", "sub/Resize of c.jpg", "sub/deep/Resize of d.jpg"},
       "Resize of a.jpg"},
      {{"--output", "%/o", "@"}, {"%/o/a.jpg", "%/o/B.JPG"}, "%/o/a.jpg"},
      {{"--recursive", "--output", "%/o", "@"},
       {"%/o/a.jpg", "%/o/B.JPG", "%/o/sub/c.jpg", "%/o/sub/deep/d.jpg"},
       "%/o/a.jpg"},
      // The results' folder inside the archive is never scanned.
      {{"--recursive", "--output", "@/small", "@"},
       {"small/a.jpg", "small/B.JPG", "small/sub/c.jpg", "small/sub/deep/d.jpg"},
       "small/a.jpg"},
      {{"--name", "{stem}-{width}x{height}.{ext}", "@"},
       {"a-20x15.jpg", "B-23x17.JPG"},
       "a-20x15.jpg"},
      {{"--name", "t_{name}", "--output", "%", "@"}, {"%/t_a.jpg", "%/t_B.JPG"}, "%/t_a.jpg"},
  };
  for (const TCase& c : cases) {
    TempDir root, other;
    MakeArchive(root.path());
    std::vector<std::string> args = {"--percent", "50", "--quiet", "--jobs", "2"};
    for (std::string a : c.args) {
      if (a[0] == '@') a = root.path().string() + a.substr(1);
      if (a[0] == '%') a = other.path().string() + a.substr(1);
      args.push_back(a);
    }
    std::string shown;
    for (const auto& a : c.args) shown += " " + a;
    SCOPED_TRACE(shown);
    const auto before = Files(root.path());
    // The same command twice: the first run's results are never photos.
    for (int run = 0; run < 2; ++run) {
      const TResult r = RunBatch(args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    std::set<std::string> added;
    for (const auto& [name, bytes] : Files(root.path()))
      if (!before.count(name)) added.insert(name);
    for (const auto& [name, bytes] : Files(other.path())) added.insert("%/" + name);
    EXPECT_EQ(added, c.added);
    // The result is the wizard's file for its photo.
    const std::string& a = c.ofA;
    const fs::path result = a.starts_with("%/") ? other.path() / a.substr(2) : root.path() / a;
    EXPECT_EQ(ReadFile(result), Wizard(root.path() / "a.jpg", TFixedSettings::Percent(50))) << a;
  }
}

TEST(ArchiveBatch, RefusedPatternsAndResultsThatWouldCollide) {
  TempDir root, out;
  MakeArchive(root.path());
  const std::string folder = root.path().string();
  for (const char* pattern : {"a/{name}", "{dpi}.jpg", "", ".."}) {
    const TResult r = RunBatch({"--percent", "50", "--name", pattern, folder});
    EXPECT_EQ(r.exitCode, 2) << pattern << r.err;
  }
  EXPECT_EQ(RunBatch({"--percent", "50", "--null", folder}).exitCode, 2);
  EXPECT_EQ(RunBatch({"--percent", "50", "--shard", "4/4", folder}).exitCode, 2);
  EXPECT_EQ(RunBatch({"--percent", "50", "--files-from", "x", folder}).exitCode, 2);

  // One name for every photo, by its size or by nothing: the second photo
  // (in list order when the name is known beforehand) fails, nothing is overwritten.
  for (const std::string pattern : {"same.jpg", "{width}.jpg"}) {
    SCOPED_TRACE(pattern);
    fs::remove_all(out.path() / "o");
    const TResult r = RunBatch({"--width", "20", "--jobs", "1", "--keep-going", "--name", pattern,
                                "--output", (out.path() / "o").string(), folder});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(folder + "/B.JPG: " + (out.path() / "o").string()), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("is also the result of " + folder + "/a.jpg"), std::string::npos) << r.err;
    const auto files = Files(out.path() / "o");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->second, Wizard(root.path() / "a.jpg", TFixedSettings::FitWidth(20)));
  }
  // A result that would replace its own photo.
  const TResult same = RunBatch({"--percent", "50", "--output", folder, folder});
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_NE(same.err.find("would replace the photo itself"), std::string::npos) << same.err;
  EXPECT_EQ(ReadFile(root.path() / "a.jpg").size(), fs::file_size(root.path() / "a.jpg"));
}

TEST(ArchiveBatch, FilesFromListsInListOrderKeepingRelativeFolders) {
  TempDir root, out;
  MakeArchive(root.path());
  const fs::path cwd = fs::current_path();
  fs::current_path(root.path());
  struct TCase {
    std::string list;
    bool null, stdinput;
  };
  // An entry that climbs ("../<the archive>/sub/c.jpg") keeps no folder: its
  // result goes directly into --output, never beside it.
  const std::string climbs = "../" + root.path().filename().string() + "/sub/c.jpg";
  for (const TCase& c :
       {TCase{"sub/deep/d.jpg\n./a.jpg\n" + climbs + "\n\n", false, false},
        TCase{std::string("sub/deep/d.jpg\0./a.jpg\0", 23) + climbs + '\0', true, true}}) {
    fs::remove_all(out.path() / "o");
    std::ofstream(out.path() / "list", std::ios::binary) << c.list;
    std::vector<std::string> args = {
        "--width",      "20",
        "--jobs",       "1",
        "--output",     (out.path() / "o").string(),
        "--files-from", c.stdinput ? "-" : (out.path() / "list").string()};
    if (c.null) args.push_back("--null");
    const TResult r = RunBatch(args, c.stdinput ? (out.path() / "list").string() : "");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(r.err.find("sub/deep/d.jpg"), r.err.find("./a.jpg")) << "list order";
    EXPECT_EQ(Names(Files(out.path())),
              (std::set<std::string>{"list", "o/a.jpg", "o/c.jpg", "o/sub/deep/d.jpg"}));
  }
  fs::current_path(cwd);
}

TEST(ArchiveBatch, SkipExistingDryRunReportAndKeepDate) {
  TempDir root;
  MakeArchive(root.path());
  const std::string folder = root.path().string(), report = root / "report.json";
  const std::vector<std::string> base = {"--height", "12", "--recursive", "--jobs", "2"};
  auto run = [&](std::vector<std::string> more) {
    std::vector<std::string> args = base;
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(folder);
    return RunBatch(args);
  };

  // A dry run writes nothing and names each result with its size.
  const auto before = Files(root.path());
  const TResult dry = run({"--dry-run", "--report", report});
  ASSERT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find(folder + "/sub/c.jpg -> " + folder + "/sub/Resize of c.jpg (16x12)"),
            std::string::npos)
      << dry.out;
  auto files = Files(root.path());
  files.erase("report.json");
  EXPECT_EQ(files, before);

  // A real run with --keep-date: each result carries its photo's date.
  ASSERT_EQ(run({"--keep-date", "--report", report}).exitCode, 0);
  struct stat photo, result;
  ASSERT_EQ(::stat((root / "sub/c.jpg").c_str(), &photo), 0);
  ASSERT_EQ(::stat((root / "sub/Resize of c.jpg").c_str(), &result), 0);
  EXPECT_EQ(result.st_mtim.tv_sec, photo.st_mtim.tv_sec);
  EXPECT_EQ(result.st_mtim.tv_nsec, photo.st_mtim.tv_nsec);
  const std::string lines = ReadFile(report);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
  EXPECT_NE(lines.find("{\"photo\":\"" + folder + "/a.jpg\",\"result\":\"" + folder +
                       "/Resize of a.jpg\",\"source_width\":40,\"source_height\":30,"
                       "\"result_width\":16,\"result_height\":12,\"bytes_in\":" +
                       std::to_string(fs::file_size(root / "a.jpg")) +
                       ",\"bytes_out\":" + std::to_string(fs::file_size(root / "Resize of a.jpg"))),
            std::string::npos)
      << lines;

  // A photo changed since: only it is done again, the others are skipped.
  const auto when = fs::last_write_time(root / "sub/c.jpg") + std::chrono::seconds(5);
  fs::last_write_time(root / "sub/c.jpg", when);
  const TResult resumed = run({"--skip-existing", "--report", report});
  ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_NE(resumed.out.find("Written 1 of 4 photos"), std::string::npos) << resumed.out;
  EXPECT_NE(resumed.out.find("; 3 skipped"), std::string::npos) << resumed.out;
  const std::string again = ReadFile(report);
  EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 4);
  EXPECT_NE(again.find("\"status\":\"skipped\""), std::string::npos);

  // A folder where a result goes is no result: the photo fails, never counted as skipped.
  fs::remove(root / "Resize of a.jpg");
  fs::create_directory(root / "Resize of a.jpg");
  const TResult blocked = run({"--skip-existing"});
  EXPECT_EQ(blocked.exitCode, 1) << blocked.out;
  EXPECT_NE(blocked.err.find("/Resize of a.jpg: "), std::string::npos) << blocked.err;
}

TEST(ArchiveBatch, ReportEscapesNamesAndGivesFailures) {
  TempDir root;
  const std::string odd = "q\"uote\\back\ttab\xff.jpg";
  WritePhoto(root.path() / odd, 1);
  std::ofstream(root.path() / "broken.jpg") << "not a photo";
  const TResult r = RunBatch({"--percent", "50", "--keep-going", "--quiet", "--report",
                              root / "r.json", root.path().string()});
  EXPECT_EQ(r.exitCode, 1);
  const std::string lines = ReadFile(root / "r.json");
  EXPECT_NE(lines.find("/q\\\"uote\\\\back\\u0009tab\\u00ff.jpg\""), std::string::npos) << lines;
  EXPECT_NE(lines.find("\"status\":\"failed\",\"error\":\"JPEG error #"), std::string::npos)
      << lines;
}

// Shards: N runs write what one run writes, and adding photos moves none.
// A photo's shard follows its result's path, here in a folder of a random
// name: 36 photos leave a shard empty about once in a million runs.
TEST(ArchiveBatch, ShardsTogetherWriteWhatOneRunWrites) {
  TempDir one, split;
  for (const TempDir* d : {&one, &split})
    for (int i = 0; i < 36; ++i) WritePhoto(d->path() / ("p" + std::to_string(i) + ".jpg"), i);
  auto args = [](const TempDir& d, std::string shard) {
    std::vector<std::string> a = {
        "--width", "24", "--quiet", "--output", (d.path() / "o").string(), d.path().string()};
    if (!shard.empty()) a.insert(a.begin(), {"--shard", shard});
    return a;
  };
  ASSERT_EQ(RunBatch(args(one, "")).exitCode, 0);
  std::map<int, std::set<std::string>> shardOf;
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(RunBatch(args(split, std::to_string(k) + "/3")).exitCode, 0);
    for (const std::string& name : Names(Files(split.path() / "o")))
      if (!shardOf[0].count(name) && !shardOf[1].count(name)) shardOf[k].insert(name);
  }
  EXPECT_EQ(Files(split.path() / "o"), Files(one.path() / "o"));
  EXPECT_GT(shardOf[0].size() * shardOf[1].size() * shardOf[2].size(), 0u)
      << "every shard has work";

  // More photos: shard 1 still takes each photo it took before.
  for (int i = 36; i < 60; ++i) WritePhoto(split.path() / ("p" + std::to_string(i) + ".jpg"), i);
  fs::remove_all(split.path() / "o");
  ASSERT_EQ(RunBatch(args(split, "1/3")).exitCode, 0);
  const auto now = Names(Files(split.path() / "o"));
  for (const std::string& name : shardOf[1]) EXPECT_TRUE(now.count(name)) << name;
  for (const std::string& name : shardOf[0]) EXPECT_FALSE(now.count(name)) << name;
}

// The GNU parallel form the README shows, compared with one run.
TEST(ArchiveBatch, GnuParallelOverFourShards) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "GNU parallel is not installed";
  TempDir one, split;
  for (const TempDir* d : {&one, &split})
    for (int i = 0; i < 10; ++i)
      WritePhoto(d->path() / ("dir" + std::to_string(i % 3)) / ("p" + std::to_string(i) + ".jpg"),
                 i);
  ASSERT_EQ(RunBatch({"--percent", "60", "--recursive", "--quiet", "--output",
                      (one.path() / "o").string(), one.path().string()})
                .exitCode,
            0);
  const std::string command = "parallel --will-cite --halt now,fail=1 '" VIZUVOD_BATCH
                              "' --shard {}/4 --percent 60 --recursive --quiet --output '" +
                              (split.path() / "o").string() + "' '" + split.path().string() +
                              "' ::: 0 1 2 3";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(Files(split.path() / "o"), Files(one.path() / "o"));
  EXPECT_EQ(Files(one.path() / "o").size(), 10u);
}

// The walk: a bind mount of its folder is not walked again, a folder past
// PATH_MAX is walked (its photo fails by name), an unreadable one fails the run.
TEST(ArchiveBatch, RecursiveWalkGoesEverywhereOnceAndNamesWhatItCannotRead) {
  TempDir root;
  WritePhoto(root.path() / "a.jpg", 0);
  fs::create_directories(root.path() / "sub" / "loop");
  fs::create_directory(root.path() / "locked");
  fs::permissions(root.path() / "locked", fs::perms::none);
  const bool mounted =
      ::mount(root.path().c_str(), (root / "sub/loop").c_str(), nullptr, MS_BIND, nullptr) == 0;
  int fd = ::open(root.path().c_str(), O_RDONLY | O_DIRECTORY);
  for (int depth = 0; depth < 18; ++depth) {  // 18 x 251 bytes
    ::mkdirat(fd, std::string(250, 'd').c_str(), 0700);
    const int next = ::openat(fd, std::string(250, 'd').c_str(), O_RDONLY | O_DIRECTORY);
    ::close(std::exchange(fd, next));
  }
  ::close(::openat(fd, "deep.jpg", O_WRONLY | O_CREAT, 0600)), ::close(fd);  // opened by path
  const TResult r = RunBatch(
      {"--percent", "50", "--dry-run", "--keep-going", "--recursive", root.path().string()});
  if (mounted) ::umount((root / "sub/loop").c_str());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("a.jpg ->"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("loop"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("deep.jpg: File name too long"), std::string::npos) << r.err;
  EXPECT_TRUE(::access((root / "locked").c_str(), R_OK) == 0 ||  // root reads it anyway
              r.err.find((root / "locked") + ": Permission denied") != std::string::npos)
      << r.err;
  fs::permissions(root.path() / "locked", fs::perms::owner_all);
}

TEST(ArchiveBatch, VersionHelpAndManPageNameEveryOption) {
  const TResult version = RunBatch({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("vizuvod-batch (Fotrix Vizuvod) ", 0), 0u) << version.out;
  const std::string help = RunBatch({"--help"}).out;
  const std::string man = ReadFile(VIZUVOD_BATCH_MAN);
  for (const TOptionRow& row : OptionTable()) {
    if (!row.name) continue;
    const std::string option = std::string("--") + row.name;
    EXPECT_NE(help.find(option), std::string::npos) << option;
    // roff writes the minus signs of an option as \-.
    std::string roff;
    for (const char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(man.find(roff), std::string::npos) << "man page: " << option;
  }
}

}  // namespace

namespace {

// A recursive run into an output folder keeps nothing per photo beyond the list.
TEST(ArchiveBatch, RecursiveRunMemoryDoesNotGrowWithThePhotos) {
  TempDir source;
  WritePhoto(source.path() / "tiny.jpg", 0);
  const std::string tiny = ReadFile(source.path() / "tiny.jpg");
  long peak[2] = {0, 0};
  const int counts[2] = {30, 1500};
  for (int k = 0; k < 2; ++k) {
    TempDir dir;
    for (int i = 0; i < counts[k]; ++i) {
      const fs::path folder = dir.path() / "in" / ("f" + std::to_string(i % 30));
      fs::create_directories(folder);
      std::ofstream(folder / ("p" + std::to_string(i) + ".jpg"), std::ios::binary) << tiny;
    }
    const TResult r =
        RunBatch({"--percent", "50", "--recursive", "--quiet", "--jobs", "2", "--output",
                  (dir.path() / "out").string(), (dir.path() / "in").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    peak[k] = r.peakKiB;
  }
  if (kMemoryIsQuarantined) GTEST_SKIP() << "memory figures are meaningless under AddressSanitizer";
  EXPECT_LT(peak[1] - peak[0], 2 * 1024) << peak[0] << " KiB, then " << peak[1] << " KiB";
}

}  // namespace

namespace {

// No option writes over a photo of the run, or over a file that no earlier
// run made of that photo: each case's photos stay byte for byte, and the run
// says it failed.
TEST(ArchiveBatch, NoOptionWritesOverAPhoto) {
  struct TCase {
    const char* what;
    std::vector<std::string> photos;  // relative to the folder "in"
    std::vector<std::string> args;    // "@" stands for the folder, "^" for its parent
    const char* list;                 // --files-from, one path a line ("@" as above), or null
  } cases[] = {
      {"a constant name over a list",
       {"a.jpg", "b.jpg"},
       {"--name", "b.jpg"},
       "@/a.jpg\n@/b.jpg\n"},
      {"a listed photo is another's --output result",
       {"a.jpg", "o/a.jpg"},
       {"--output", "@/o"},
       "@/a.jpg\n@/o/a.jpg\n"},
      {"case twins", {"a.jpg", "a.JPG"}, {"--name", "{stem}.JPG", "@"}, nullptr},
      {"output in the parent, a subfolder of the folder's name",
       {"a.jpg", "in/a.jpg"},
       {"--recursive", "--output", "^", "@"},
       nullptr},
      {"the report names a photo", {"a.jpg"}, {"--report", "@/a.jpg", "@"}, nullptr},
      {"a camera's own name taken for a result",
       {"IMG_1.jpg", "IMG_1_1.jpg"},
       {"--recursive", "--name", "{stem}_1.jpg", "@"},
       nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    const fs::path in = root.path() / "in";
    auto expand = [&](std::string text) {
      for (std::size_t at; (at = text.find('@')) != std::string::npos;)
        text.replace(at, 1, in.string());
      for (std::size_t at; (at = text.find('^')) != std::string::npos;)
        text.replace(at, 1, root.path().string());
      return text;
    };
    std::map<std::string, std::string> before;
    for (const std::string& p : c.photos) {
      WritePhoto(in / p, int(before.size()));
      before[p] = ReadFile(in / p);
    }
    std::vector<std::string> args = {"--width", "20", "--keep-going", "--jobs", "2"};
    for (const std::string& a : c.args) args.push_back(expand(a));
    if (c.list) {
      std::ofstream(root.path() / "list") << expand(c.list);
      args.insert(args.end(), {"--files-from", (root.path() / "list").string()});
    }
    const TResult r = RunBatch(args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (const auto& [p, bytes] : before) EXPECT_EQ(ReadFile(in / p), bytes) << p;
  }
}

}  // namespace

namespace {

// A shared output folder: links another user plants there (as a subfolder,
// at the report's name) are never written through; a private album's
// folders and report stay private.
TEST(ArchiveBatch, PlantedLinksAreNotFollowedAndPrivateStaysPrivate) {
  TempDir root;
  const fs::path in = root.path() / "in", out = root.path() / "out", away = root.path() / "away";
  WritePhoto(in / "sub" / "a.jpg", 0);
  fs::create_directories(out);
  fs::create_directories(away);
  std::ofstream(away / "victim") << "keep";
  fs::create_directory_symlink(away, out / "sub");
  fs::create_symlink(away / "victim", root.path() / "report");
  const TResult planted = RunBatch(
      {"--width", "20", "--recursive", "--keep-going", "--output", out.string(), in.string()});
  EXPECT_EQ(planted.exitCode, 1) << planted.err;
  EXPECT_NE(planted.err.find("it is not followed"), std::string::npos) << planted.err;
  const TResult report =
      RunBatch({"--width", "20", "--recursive", "--report", (root.path() / "report").string(),
                "--output", (root.path() / "o2").string(), in.string()});
  EXPECT_EQ(report.exitCode, 1) << report.err;
  EXPECT_EQ(Files(away), (std::map<std::string, std::string>{{"victim", "keep"}}));

  fs::permissions(in / "sub", fs::perms::owner_all);
  fs::permissions(in / "sub" / "a.jpg", fs::perms::owner_read | fs::perms::owner_write);
  const fs::path jsonl = root.path() / "private.jsonl";
  ASSERT_EQ(RunBatch({"--width", "20", "--recursive", "--report", jsonl.string(), "--output",
                      (root.path() / "o3").string(), in.string()})
                .exitCode,
            0);
  EXPECT_EQ(fs::status(root.path() / "o3" / "sub").permissions() & fs::perms::all,
            fs::perms::owner_all);
  EXPECT_EQ(fs::status(jsonl).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // A photo named where the folder goes: the run cannot start, and the
  // folder it made does not take the file's mode (no one could enter it).
  EXPECT_EQ(RunBatch({"--width", "20", "--output", (root.path() / "o4").string(),
                      (in / "sub" / "a.jpg").string()})
                .exitCode,
            1);
  EXPECT_EQ(fs::status(root.path() / "o4").permissions() & fs::perms::owner_exec,
            fs::perms::owner_exec);
}

}  // namespace

namespace {

// Two photos with one result fail in one run; as shards they share a shard,
// which fails the same way, and nothing is overwritten by the other.
TEST(ArchiveBatch, ShardsOfPhotosWithOneResultFailAsOneRunDoes) {
  TempDir root;
  WritePhoto(root.path() / "in" / "a.jpg", 0);
  WritePhoto(root.path() / "in" / "b.jpg", 1);
  auto run = [&](const std::string& out, const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--width",
                                     "20",
                                     "--keep-going",
                                     "--name",
                                     "same.jpg",
                                     "--output",
                                     (root.path() / out).string()};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back((root.path() / "in").string());
    return RunBatch(args).exitCode;
  };
  EXPECT_EQ(run("one", {}), 1);
  EXPECT_EQ(run("split", {"--shard", "0/2"}) + run("split", {"--shard", "1/2"}), 1);
  EXPECT_EQ(Files(root.path() / "split"), Files(root.path() / "one"));
}

}  // namespace

// --max-bytes counts as upload forms do: K/KB and M/MB in thousands, KiB and
// MiB in powers of 1,024, in either letter case; anything else is refused.
TEST(ArchiveBatch, MaxBytesUnitsCountInThousandsOrKibibytes) {
  const std::pair<const char*, std::uintmax_t> cases[] = {
      {"700", 700},   {"500K", 500000},  {"500kb", 500000}, {"2M", 2000000}, {"2MB", 2000000},
      {"1KiB", 1024}, {"3mib", 3145728}, {"5X", 0},         {"K", 0},        {"0K", 0}};
  for (const auto& [text, bytes] : cases) {
    SCOPED_TRACE(text);
    std::vector<std::string> args = {"vizuvod-batch", "--width", "10", "--max-bytes", text, "."};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    std::uintmax_t parsed = 0;  // stays 0 when refused
    try {
      parsed = ParseOptions(int(argv.size()), argv.data()).maxBytes;
    } catch (const TUsageError&) {
    }
    EXPECT_EQ(parsed, bytes);
  }
}
