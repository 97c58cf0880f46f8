// Every real photo, damaged file and rare JPEG flavour of the corpus beside
// the project, each copied into a scratch folder and taken through one run
// step (load, decode, resize to a small size, encode, save). Each must give a
// whole output or one of the engine's errors with a clear text, and the copy
// of the original must come out unchanged. Skips when the corpus is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// The texts the engine's errors may carry, each the start of a message.
bool IsClearEngineText(const std::string& text) {
  for (const char* start :
       {"JPEG error #", "Out of system resources", "Cannot open file ", "Cannot create file ",
        "Cannot write file ", "Stream read error", "Scan line index out of range"})
    if (text.starts_with(start) && text.size() > std::string(start).size() - 1) return true;
  return false;
}

}  // namespace

TEST(ReliabilityCorpus, EveryFileGivesAWholeOutputOrAClearError) {
  const fs::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no photo corpus beside the project";
  // Small targets keep the sweep quick; narrow files take the enlarging path.
  const TFixedSettings fit = TFixedSettings::FitWidth(64);
  int files = 0;
  std::map<std::string, std::map<std::string, int>> outcomes;  // class -> outcome -> count
  for (const char* kind : {"photos", "broken", "exotic"}) {
    if (!fs::is_directory(corpus / kind)) continue;
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(corpus / kind))
      if (e.is_regular_file()) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& source : paths) {
      SCOPED_TRACE(source.string());
      ++files;
      TempDir dir;
      const std::string path = dir / source.filename().string();
      fs::copy_file(source, path);
      const craft::Bytes original = craft::ReadFile(path);
      std::string outcome;
      try {
        ResizePhoto(path, fit);
        TJPEGImage out;
        out.LoadFromFile(ResizedPhotoPath(path));
        TBitmap decoded;
        decoded.Assign(out);
        EXPECT_TRUE(decoded.Width() == 64) << decoded.Width() << "x" << decoded.Height();
        outcome = "resized";
      } catch (const Exception& e) {
        outcome = e.what();
        EXPECT_TRUE(IsClearEngineText(outcome)) << outcome;
        EXPECT_FALSE(fs::exists(ResizedPhotoPath(path)));
      }
      EXPECT_EQ(craft::ReadFile(path), original);
      std::cout << "  " << kind << "/" << source.filename().string() << ": " << outcome << "\n";
      ++outcomes[kind][outcome];
    }
  }
  for (const auto& [kind, counts] : outcomes)
    for (const auto& [outcome, count] : counts)
      std::cout << kind << ": " << count << " x " << outcome << "\n";
  std::cout << files << " corpus files tried\n";
  EXPECT_GT(files, 0);
}
