// vizuvod-batch run as a user runs it: the files it writes (the same as the
// wizard's, whatever the job count), failures, usage errors and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BatchProcess.h"
#include "TestSupport.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// Photos of assorted sizes, named so that the listing order is known.
std::vector<std::string> MakePhotos(const TempDir& dir, int count, int width = 48,
                                    int height = 36) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back("photo " + std::to_string(10 + i) + ".jpg");
    WritePhoto(dir / names.back(), width + i % 5 * 7, height + i % 3 * 5, i);
  }
  return names;
}

std::vector<std::string> OutputNames(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind("Resize of ", 0) == 0)
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(VizuvodBatch, WritesTheWizardsFilesWhateverTheJobCount) {
  const std::vector<std::vector<std::string>> modes = {
      {"--percent", "50"}, {"--percent", "175"}, {"--width", "30"}, {"--height", "60"}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode[0] + " " + mode[1]);
    TempDir one, four;
    const std::vector<std::string> names = MakePhotos(one, 11);
    MakePhotos(four, 11);

    std::vector<std::string> args = mode;
    args.insert(args.end(), {"--quiet", "--jobs", "1", one.path().string()});
    const TResult r1 = RunBatch(args);
    args[args.size() - 2] = "4";
    args.back() = four.path().string() + "/";  // typed with a trailing separator
    const TResult r4 = RunBatch(args);
    ASSERT_EQ(r1.exitCode, 0) << r1.err;
    ASSERT_EQ(r4.exitCode, 0) << r4.err;
    EXPECT_EQ(r1.out + r1.err + r4.out + r4.err, "") << "--quiet prints nothing when all goes well";

    // The wizard's own step over the same photos.
    const TFixedSettings settings =
        mode[0] == "--percent" ? TFixedSettings::Percent(std::stoi(mode[1]))
        : mode[0] == "--width" ? TFixedSettings::FitWidth(std::stoi(mode[1]))
                               : TFixedSettings::FitHeight(std::stoi(mode[1]));
    TempDir wizard;
    MakePhotos(wizard, 11);
    for (const std::string& name : names) ASSERT_TRUE(ResizePhoto(wizard / name, settings));

    ASSERT_EQ(OutputNames(one.path()).size(), names.size());
    for (const std::string& name : names) {
      const std::string expected = ReadFile(wizard / ("Resize of " + name));
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(ReadFile(one / ("Resize of " + name)), expected) << name << " --jobs 1";
      EXPECT_EQ(ReadFile(four / ("Resize of " + name)), expected) << name << " --jobs 4";
    }
  }
}

TEST(VizuvodBatch, EarlierResultsListedAsPhotosAreReadInListOrder) {
  // A second run over a folder: "Resize of a.jpg" is rewritten by a.jpg's step
  // and read by its own; one by one it is read after a.jpg rewrote it.
  // "Resize of z.jpg" is read before z.jpg rewrites it.
  auto fill = [](const TempDir& dir) {
    WritePhoto(dir / "a.jpg", 640, 480, 1);
    WritePhoto(dir / "Resize of a.jpg", 20, 10, 2);
    WritePhoto(dir / "Resize of z.jpg", 20, 10, 3);
    WritePhoto(dir / "z.jpg", 640, 480, 4);
  };
  TempDir one, four;
  fill(one);
  fill(four);
  ASSERT_EQ(RunBatch({"--percent", "50", "--quiet", "--jobs", "1", one.path().string()}).exitCode,
            0);
  ASSERT_EQ(RunBatch({"--percent", "50", "--quiet", "--jobs", "4", four.path().string()}).exitCode,
            0);
  const std::vector<std::string> outputs = OutputNames(one.path());
  ASSERT_EQ(outputs.size(), 4u);
  EXPECT_EQ(OutputNames(four.path()), outputs);
  for (const std::string& name : outputs)
    EXPECT_EQ(ReadFile(four / name), ReadFile(one / name)) << name;
  TJPEGImage J;
  J.LoadFromFile(one / "Resize of Resize of a.jpg");
  EXPECT_EQ(J.Width(), 160);
}

TEST(VizuvodBatch, BrokenPhotoStopsTheRunOrIsSkippedWithKeepGoing) {
  for (const bool keepGoing : {false, true}) {
    SCOPED_TRACE(keepGoing ? "--keep-going" : "default");
    TempDir dir;
    const std::vector<std::string> names = MakePhotos(dir, 5);
    std::ofstream(dir / names[2], std::ios::trunc) << "plain text, not a photo";

    std::vector<std::string> args{"--percent", "50", "--jobs", "1"};
    if (keepGoing) args.push_back("--keep-going");
    args.push_back(dir.path().string());
    const TResult r = RunBatch(args);

    EXPECT_EQ(r.exitCode, 1);
    // "<path>: <message>." as the wizard's error box would word it.
    const std::string prefix = dir / names[2] + ": JPEG error #";
    const std::size_t at = r.err.find(prefix);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::size_t eol = r.err.find('\n', at);
    EXPECT_EQ(r.err[eol - 1], '.') << r.err;

    std::vector<std::string> expected;
    for (int i : {0, 1, 3, 4})
      if (keepGoing || i < 2) expected.push_back("Resize of " + names[i]);
    EXPECT_EQ(OutputNames(dir.path()), expected);
    EXPECT_NE(r.out.find("Written " + std::to_string(expected.size()) + " of 5 photos"),
              std::string::npos)
        << r.out;
  }
}

TEST(VizuvodBatch, ProgressLinesWhenStderrIsNotATerminal) {
  TempDir dir;
  const std::vector<std::string> names = MakePhotos(dir, 3);
  const TResult r = RunBatch({"--width", "20", "--jobs", "2", dir.path().string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* line : {"[1/3] ", "[2/3] ", "[3/3] "})
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no bar drawing into a file";
  EXPECT_EQ(r.out.rfind("Written 3 of 3 photos in ", 0), 0u) << r.out;
}

TEST(VizuvodBatch, UsageErrorsExitWithTwoAndWriteNothing) {
  TempDir dir;
  MakePhotos(dir, 1);
  const std::string folder = dir.path().string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {folder},
      {"--percent", "50"},
      {"--percent", "0", folder},
      {"--percent", "100", folder},
      {"--percent=-5", folder},
      {"--width", "0", folder},
      {"--height", "12px", folder},
      {"--height", "", folder},
      {"--width", "99999999999", folder},
      {"--percent", "50", "--width", "10", folder},
      {"--percent", "50", "--jobs", "0", folder},
      {"--percent", "50", "--keep-going=yes", folder},
      {"--percent", "50", "--colour", folder},
      {"--percent", "50", folder, folder},
      {"--percent"},
      {"--percent", "50", "--width", "10", folder},  // several sizes, one name
      {"--width", "10", "--width", "10", "--name", "{stem}{size}", folder},
      {"--long-edge", "0", folder},
      {"--fit", "10", folder},
      {"--fit", "0x10", folder},
      {"--width", "10", "--quality", "0", folder},
      {"--width", "10", "--quality", "101", folder},
      {"--width", "10", "--name", "small/{name}", folder},
      {"--width", "10", "--name", "{name}{dpi}", folder},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const std::string& a : args) shown += " [" + a + "]";
    const TResult r = RunBatch(args);
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_NE(r.err.find("usage: vizuvod-batch"), std::string::npos) << shown << "\n" << r.err;
  }
  EXPECT_TRUE(OutputNames(dir.path()).empty());

  // The wizard's warnings explain the refused values.
  EXPECT_NE(RunBatch({"--percent", "100", folder}).err.find("при 100%"), std::string::npos);
  EXPECT_NE(RunBatch({"--width", "0", folder}).err.find("больше нуля"), std::string::npos);
}

TEST(VizuvodBatch, SeveralSizesInOneRunEqualOneRunEach) {
  const std::vector<std::vector<std::string>> sizes = {
      {"--long-edge", "40"}, {"--width", "20"}, {"--fit", "30x10"}, {"--percent", "150"}};
  const std::vector<std::string> common = {"--name", "{stem} {size}.{ext}", "--quality", "80",
                                           "--quiet"};
  TempDir multi, expected;
  const std::vector<std::string> photos = MakePhotos(multi, 3);
  std::vector<std::string> args = common;
  std::size_t results = 0;
  for (const auto& size : sizes) {
    args.insert(args.end(), size.begin(), size.end());
    TempDir single;
    MakePhotos(single, 3);
    std::vector<std::string> one = common;
    one.insert(one.end(), size.begin(), size.end());
    one.push_back(single.path().string());
    ASSERT_EQ(RunBatch(one).exitCode, 0);
    for (const std::string& photo : photos) fs::remove(single / photo);
    for (const auto& e : fs::directory_iterator(single.path())) {
      ++results;
      fs::copy_file(e.path(), expected / e.path().filename().string());
    }
  }
  EXPECT_EQ(results, 3 * sizes.size());
  args.insert(args.end(), {"--report", expected / "report", multi.path().string()});
  const TResult r = RunBatch(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The report lists every result of each photo.
  const std::string report = ReadFile(expected / "report");
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3);
  std::size_t listed = 0;
  for (std::size_t at = report.find("{\"path\":"); at != std::string::npos;
       at = report.find("{\"path\":", at + 1))
    ++listed;
  EXPECT_EQ(listed, 3 * sizes.size());
  fs::remove(expected / "report");
  for (const auto& e : fs::directory_iterator(expected.path()))
    EXPECT_EQ(ReadFile(multi / e.path().filename().string()), ReadFile(e.path())) << e.path();
  EXPECT_TRUE(fs::exists(multi / "photo 10 72x54.jpg"));  // 150 % of 48 x 36
}

TEST(VizuvodBatch, UprightResultsKeepTheirMetadataAndUnreadableMetadataIsAWarning) {
  TempDir dir;
  WritePhoto(dir / "turned.jpg", 40, 20, 1);
  {
    auto image = Exiv2::ImageFactory::open(dir / "turned.jpg");
    image->exifData()["Exif.Image.Orientation"] = std::uint16_t(6);  // stored turned left
    image->exifData()["Exif.Image.Model"] = "Fotrix";
    image->writeMetadata();
  }
  WritePhoto(dir / "damaged.jpg", 40, 20, 2);
  std::string damaged = ReadFile(dir / "damaged.jpg");
  // An EXIF block whose first directory lies far past its end.
  damaged.insert(2, std::string("\xFF\xE1\x00\x10", 4) + "Exif" +
                        std::string("\0\0II*\0\xF0\xFF\xFF\x0F", 10));
  std::ofstream(dir / "damaged.jpg", std::ios::binary | std::ios::trunc) << damaged;

  fs::permissions(dir / "turned.jpg", fs::perms(0640));  // the result takes them too
  const TResult r = RunBatch(
      {"--width", "10", "--keep-metadata", "--auto-orient", "--quiet", dir.path().string()});
  EXPECT_EQ(fs::status(dir / "Resize of turned.jpg").permissions(), fs::perms(0640));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("warning: " + dir / "damaged.jpg" + ": metadata not read whole"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(dir / "Resize of damaged.jpg"));
  auto result = Exiv2::ImageFactory::open(dir / "Resize of turned.jpg");
  result->readMetadata();
  EXPECT_EQ(result->pixelHeight(), 20);  // upright 20 x 40, then 10 wide
  EXPECT_EQ(result->exifData()["Exif.Image.Orientation"].toString(), "1");
  EXPECT_EQ(result->exifData()["Exif.Image.Model"].toString(), "Fotrix");
}

TEST(VizuvodBatch, HelpAndFoldersWithoutPhotos) {
  const TResult help = RunBatch({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* word :
       {"--percent", "--width", "--height", "--jobs", "--keep-going", "--quiet", "Resize of",
        "Ctrl-C", "Exit status", "--fit", "--long-edge", "--name", "{size}", "--quality",
        "--no-enlarge", "--keep-metadata", "--auto-orient", "decides a tie"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;

  TempDir dir;
  std::ofstream(dir / "photo.jpeg") << "x";
  const TResult none = RunBatch({"--percent", "50", dir.path().string()});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("не найдено фотографий"), std::string::npos) << none.err;
  EXPECT_EQ(RunBatch({"--percent", "50", dir / "missing"}).exitCode, 1);
}

TEST(VizuvodBatch, InterruptFinishesPhotosInFlightAndLeavesNoPartialFiles) {
  TempDir dir;
  const std::vector<std::string> names = MakePhotos(dir, 40, 400, 300);
  TempDir logs;
  const pid_t pid = Start({"--percent", "300", "--jobs", "2", dir.path().string()}, logs);

  // Interrupt once the first result is there.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (OutputNames(dir.path()).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  kill(pid, SIGINT);
  const TResult r = Finish(pid, logs);

  const std::vector<std::string> written = OutputNames(dir.path());
  if (written.size() == names.size() && r.exitCode == 0)
    GTEST_SKIP() << "the run ended before the interrupt";
  EXPECT_EQ(r.exitCode, 130) << r.err;
  EXPECT_LT(written.size(), names.size());
  EXPECT_NE(r.out.find("interrupted"), std::string::npos) << r.out;

  // Only photos and complete results: every result decodes to the full size.
  std::size_t entries = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, names.size() + written.size());
  for (const std::string& name : written) {
    TJPEGImage J;
    J.LoadFromFile(dir / name);
    TBitmap B;
    EXPECT_NO_THROW(B.Assign(J)) << name;
    EXPECT_EQ(B.Height(), 3 * (300 + (std::stoi(name.substr(16, 2)) - 10) % 3 * 5)) << name;
  }
}

}  // namespace

// Every message is one short line that names the photo and says what
// happened in the program's words, never a library's; metadata nobody
// asked to carry is not warned about; the summary counts the warnings.
TEST(VizuvodBatch, MessagesAreShortOwnLinesAndCounted) {
  TempDir dir, out;
  WritePhoto(dir / "xmp.jpg", 40, 20, 1);
  std::string photo = ReadFile(dir / "xmp.jpg");
  const std::string packet = std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                             "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF><broken></x:xmpmeta>";
  photo.insert(2, std::string("\xFF\xE1", 2) + char((packet.size() + 2) >> 8) +
                      char((packet.size() + 2) & 0xFF) + packet);
  std::ofstream(dir / "xmp.jpg", std::ios::binary | std::ios::trunc) << photo;
  std::ofstream(dir / "text.png") << "no picture at all";
  // The options, then what is said ("-": what is not).
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"--auto-orient", "--formats", "all"},
       {"text.png: Not a photo: its first bytes are those of none of JPEG, PNG, WebP", "-XMP",
        "-JPEG error", "-with warnings"}},
      {{"--keep-metadata"}, {"xmp.jpg: metadata not read whole: XMP", "; 1 photo with warnings"}},
      {{"--quality", "5", "--max-bytes", "100", "--output", out.path().string()},
       {"The result does not fit in 100 bytes: at quality 5 it takes ", "-map::at"}},
  };
  for (const auto& [options, said] : cases) {
    std::vector<std::string> args = {"--width", "10", "--keep-going"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(dir.path().string());
    SCOPED_TRACE(args[3]);
    const TResult r = RunBatch(args);
    for (const std::string& text : said)
      EXPECT_EQ((r.err + r.out).find(text.substr(text[0] == '-')) == std::string::npos,
                text[0] == '-')
          << text << "\n"
          << r.err << r.out;
    for (std::size_t at = 0, end; (end = r.err.find('\n', at)) != std::string::npos; at = end + 1)
      EXPECT_LE(end - at, dir.path().string().size() * 2 + 260) << r.err.substr(at, end - at);
  }
}
