// vizuvod-batch --formats: which names the scan takes, what their results
// are called, the hint of a run that found none; without it, nothing changes.
#include <gtest/gtest.h>
#include <png.h>
#include <webp/encode.h>

#include <filesystem>
#include <fstream>

#include "BatchProcess.h"
#include "TestSupport.h"

using namespace vizuvod;
namespace fs = std::filesystem;

TEST(FormatsBatch, ScanNamesAndHint) {
  const struct {
    std::vector<std::string> files, args;  // in the folder; before it
    int exit;
    std::vector<std::string> made, notMade;
    std::string err = "";
  } cases[] = {
      {{"a.jpg", "b.png", "c.JPEG", "d.WebP"},
       {},
       0,
       {"Resize of a.jpg"},
       {"Resize of b.jpg", "Resize of c.JPEG", "Resize of d.jpg"}},
      {{"a.jpg", "b.png", "d.WebP"},
       {"--formats", "png,webp"},
       0,
       {"Resize of b.jpg", "Resize of d.jpg"},
       {"Resize of a.jpg"}},
      {{"a.jpg", "b.png", "c.JPEG", "d.WebP"},
       {"--formats", "all", "--name", "{stem}.{srcext}.{ext}", "--output", "out"},
       0,
       {"out/a.jpg.jpg", "out/b.png.jpg", "out/c.JPEG.JPEG", "out/d.WebP.jpg"},
       {}},
      {{"b.png", "d.WebP", "c.jpeg"},
       {},
       1,
       {},
       {"Resize of b.jpg"},
       "no photos found; 1 JPEG file, 1 PNG file, 1 WebP file here: add --formats jpeg,png,webp"},
      // --format: the results' own format and extension, several sizes from one decode.
      {{"a.jpg"}, {"--format", "webp"}, 0, {"Resize of a.webp"}, {"Resize of a.jpg"}},
      {{"a.jpg", "b.png"},
       {"--formats", "all", "--format", "avif", "--width", "10", "--name", "{stem}-{width}.{ext}",
        "--output", "out"},
       0,
       {"out/a-20.avif", "out/a-10.avif", "out/b-20.avif", "out/b-10.avif"},
       {}},
      {{"a.jpg", "Resize of a.avif"},
       {"--formats", "all", "--format", "webp"},
       0,
       {"Resize of a.webp"},
       {"Resize of Resize of a.webp"}},
      {{"a.jpg"}, {"--format", "gif"}, 2, {}, {"Resize of a.gif"}, "--format knows jpeg, webp"},
#ifdef VIZUVOD_HEIF
      {{"b.png", "e.HEIC"}, {"--formats", "heic"}, 0, {"Resize of e.jpg"}, {"Resize of b.jpg"}},
      {{"e.hif", "f.AVIF"}, {}, 1, {}, {}, "HEIC file, 1 AVIF file here: add --formats heic,avif"},
#endif
  };
  const fs::path heic = CorpusDir() / "formats/rgba8_alpha_128x128.heif";
  for (const auto& c : cases) {
    if (c.files.back() == "e.HEIC" && (CorpusDir().empty() || !fs::exists(heic))) continue;
    TempDir dir;
    const std::string photos = dir / "photos";
    fs::create_directory(photos);
    for (const std::string& name : c.files) {
      const std::string path = photos + "/" + name;
      const std::vector<std::uint8_t> rgb(40 * 30 * 3, 120);
      if (name.ends_with("png")) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION, image.width = 40, image.height = 30;
        image.format = PNG_FORMAT_RGB;
        png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
      } else if (name.ends_with("HEIC")) {
        fs::copy_file(heic, path);
      } else if (name.ends_with("WebP")) {
        std::uint8_t* out = nullptr;
        const std::size_t size = WebPEncodeLosslessRGB(rgb.data(), 40, 30, 120, &out);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(out), long(size));
        WebPFree(out);
      } else {
        WritePhoto(path, 40, 30, 1);
      }
    }
    std::vector<std::string> args = {"--width", "20", "--quiet"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    for (std::string& a : args)
      if (a == "out") a = dir / "out";
    args.push_back(photos);
    const TResult run = RunBatch(args);
    EXPECT_EQ(run.exitCode, c.exit) << c.files[0] << " " << run.err;
    for (const std::string& name : c.made) {
      const std::string bytes =
          ReadFile(name.starts_with("out/") ? dir / name : photos + "/" + name);
      EXPECT_TRUE(name.ends_with(".webp")   ? bytes.substr(8, 4) == "WEBP"
                  : name.ends_with(".avif") ? bytes.substr(4, 8) == "ftypavif"
                                            : bytes.starts_with("\xFF\xD8"))
          << name;
    }
    for (const std::string& name : c.notMade) EXPECT_FALSE(fs::exists(photos + "/" + name)) << name;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}
