// The photo folder scan: which entries become photos, in which order, and
// how the typed folder text carries into every entry.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "formats/Formats.h"
#include "photo/PhotoScan.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

std::vector<std::string> Names(const std::vector<std::string>& entries, const std::string& prefix) {
  std::vector<std::string> names;
  for (const std::string& e : entries) {
    EXPECT_EQ(e.rfind(prefix, 0), 0u) << e;
    names.push_back(e.substr(prefix.size()));
  }
  return names;
}

using List = std::vector<std::string>;

TEST(PhotoScan, TakesJpgFilesInAnyCaseAndSkipsTheRest) {
  TempDir dir;
  for (const char* name : {"A.JPG", "b.jpg", "x.Jpg", "d.jpeg", "e.jpg.txt", "f.png", "jpg",
                           ".hidden.jpg", ".jpg", "Resize of b.jpg"})
    Touch(dir / name);
  fs::create_directory(dir / "c.jpg");  // a folder named like a photo
  fs::create_directory(dir / "sub");    // its photos are not ours
  Touch(dir / "sub/inner.jpg");
  ::mkfifo((dir / "pipe.jpg").c_str(), 0600);  // would block the run
  fs::create_symlink(dir / "b.jpg", dir / "link.jpg");
  fs::create_symlink(dir / "sub", dir / "dirlink.jpg");
  fs::create_symlink(dir / "missing", dir / "dangling.jpg");

  const std::string folder = dir.path().string();
  EXPECT_EQ(Names(ListPhotoFiles(folder), folder + "/"),
            (List{"A.JPG", "b.jpg", "link.jpg", "Resize of b.jpg", "x.Jpg"}));
}

TEST(PhotoScan, SortsCaseBlindUpperCaseOrder) {
  TempDir dir;
  // Upper-case order puts '_' (0x5F) after the letters, unlike lower-case order.
  for (const char* name : {"b.jpg", "a_b.jpg", "AB.jpg", "ab.JPG", "Ёлка.jpg", "ель.jpg",
                           "Яблоко.jpg", "10.jpg", "9.jpg", "zz.jpg"})
    Touch(dir / name);
  const std::string folder = dir.path().string();
  EXPECT_EQ(Names(ListPhotoFiles(folder), folder + "/"),
            (List{"10.jpg", "9.jpg", "AB.jpg", "ab.JPG", "a_b.jpg", "b.jpg", "zz.jpg", "Ёлка.jpg",
                  "ель.jpg", "Яблоко.jpg"}));
}

TEST(PhotoScan, NameOrderIsCaseBlindAndTotal) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  const Case cases[] = {
      {"abc", "ABD", true},
      {"ABD", "abc", false},
      {"ab", "abc", true},
      {"abc", "ab", false},
      {"AB", "ab", true},
      {"ab", "AB", false},
      {"ab", "ab", false},
      {"яма", "ЯМА1", true},
      {"Ёж", "ёж", true},
      {"Ж", "ё", false},
      {"é", "É", false},
      {"\xff", "a", false},
      {"a\xd0", "a\xd0\xb0", true},
  };
  for (const Case& c : cases) EXPECT_EQ(PhotoNameLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(PhotoScan, EntriesKeepTheFolderTextAsTyped) {
  TempDir dir;
  const fs::path folder = dir.path() / "Фото из отпуска";
  fs::create_directory(folder);
  Touch((folder / "Пляж 1.jpg").string());

  // A trailing separator is kept and doubled before the name; the entry still opens.
  for (const std::string& typed :
       {folder.string(), folder.string() + "/", folder.string() + "/./"}) {
    const List entries = ListPhotoFiles(typed);
    ASSERT_EQ(entries.size(), 1u) << typed;
    EXPECT_EQ(entries[0], typed + "/Пляж 1.jpg");
    EXPECT_TRUE(fs::is_regular_file(entries[0]));
  }

  // A relative folder stays relative.
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(ListPhotoFiles("Фото из отпуска"), (List{"Фото из отпуска/Пляж 1.jpg"}));
  fs::current_path(before);
}

TEST(PhotoScan, EmptyTextSearchesTheRoot) {
  // "/*.jpg": whatever the root holds, every entry is "/" and a name.
  for (const std::string& entry : ListPhotoFiles("")) {
    EXPECT_EQ(entry.rfind('/'), 0u) << entry;
    EXPECT_TRUE(fs::is_regular_file(entry)) << entry;
  }
}

TEST(PhotoScan, UnusableFoldersGiveNoEntries) {
  TempDir dir;
  Touch(dir / "file.jpg");
  for (const std::string& folder : {dir / "missing", dir / "file.jpg", std::string("/dev/null")})
    EXPECT_TRUE(ListPhotoFiles(folder).empty()) << folder;
}

TEST(PhotoScan, ScanReplacesTheWholeList) {
  TempDir big, small;
  for (int i = 0; i < 10050; ++i) Touch(big / ("p" + std::to_string(100000 + i) + ".jpg"));
  Touch(small / "only.jpg");

  // More than the wizard's 10000 slots: the list grows.
  ASSERT_EQ(ScanPhotoFolder(big.path().string()), 10050);
  EXPECT_EQ(PhotoCount, 10050);
  ASSERT_EQ(PhotoFiles.size(), 10050u);
  EXPECT_EQ(PhotoFiles.back(), big / "p110049.jpg");

  // A smaller folder leaves nothing behind.
  EXPECT_EQ(ScanPhotoFolder(small.path().string()), 1);
  EXPECT_EQ(PhotoFiles, (List{small / "only.jpg"}));

  EXPECT_EQ(ScanPhotoFolder(small / "missing"), 0);
  EXPECT_EQ(PhotoCount, 0);
  EXPECT_TRUE(PhotoFiles.empty());
}

}  // namespace

// Each row's switch takes its own extensions, in any case, and no other row's;
// a result row's format gives back its extension.
TEST(PhotoScan, EachFormatRowTakesItsOwnExtensionsAlone) {
  for (const vizuvod::TFormatRow& row : vizuvod::FormatRows()) {
    vizuvod::TFormats only;
    only.*row.chosen = true;
    for (const vizuvod::TFormatRow& other : vizuvod::FormatRows())
      for (const char* ext : other.extensions)
        if (ext) {
          std::string upper = std::string("A.") + ext;
          for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
          EXPECT_EQ(vizuvod::IsFormatName(std::string("a.") + ext, only), &row == &other) << ext;
          EXPECT_EQ(vizuvod::IsFormatName(upper, only), &row == &other) << upper;
        }
    if (row.resultExtension) {
      EXPECT_STREQ(vizuvod::ExtensionOf(row.result), row.resultExtension) << row.name;
    }
  }
}
