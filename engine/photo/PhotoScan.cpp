// The photo folder scan over POSIX directory reading. The wizard's platform
// matched "*.jpg" ignoring case and listed names in its file system's
// case-blind order; both are reproduced here so a listing is the same
// whatever order this file system returns the names in.
#include "photo/PhotoScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_set>

#include "core/Utf8.h"
#include "formats/Formats.h"
#include "formats/ResultFormat.h"

namespace vizuvod {

std::vector<std::string> PhotoFiles;
std::int32_t PhotoCount = 0;

namespace {

char32_t Upper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1 letters
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;             // Cyrillic а to я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;             // ё, ђ ... џ
  return c;
}

}  // namespace

bool IsPhotoName(const std::string& name) {
  if (name.empty() || name[0] == '.') return false;  // hidden entries
  if (name.size() < 4) return false;
  const std::string tail = name.substr(name.size() - 4);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return lower(tail[0]) == '.' && lower(tail[1]) == 'j' && lower(tail[2]) == 'p' &&
         lower(tail[3]) == 'g';
}

bool IsFormatName(const std::string& name, const TFormats& formats) {
  if (name.empty() || name[0] == '.' || name.find('.') == std::string::npos) return false;
  const std::string ext = LowerExtOf(name);
  for (const TFormatRow& row : FormatRows())
    if (formats.*row.chosen && HasExtension(row, ext)) return true;
  return false;
}

int ReadPhotoFolder(int folder, std::vector<std::string>& photos,
                    const std::function<void(const std::string& name)>& other,
                    const std::function<bool(const std::string& name)>& isPhoto) {
  // fdopendir takes the descriptor it is given: the listing has its own.
  const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
  if (!dir) {
    const int error = errno;
    if (listed >= 0) ::close(listed);
    return error;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
  for (errno = 0; const dirent* entry = ::readdir(dir); errno = 0) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;  // hidden, and "." and ".."
    // Links are followed: a link to a photo is a photo, a link to a folder,
    // a dangling link, a pipe or a device is not (a pipe would hang the run).
    struct stat info;
    if ((isPhoto ? isPhoto(name) : IsPhotoName(name)) &&
        ::fstatat(folder, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode))
      photos.push_back(name);
    else if (other)
      other(name);
  }
  return errno;
}

bool PhotoNameLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = Upper(NextCodePoint(a, i));
    const char32_t cb = Upper(NextCodePoint(b, j));
    if (ca != cb) return ca < cb;
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;
}

std::vector<std::string> ListPhotoFiles(const std::string& folderText, const TFormats& formats,
                                        bool leaveOutResults) {
  // The text is used as typed: a trailing '/' gives a doubled separator,
  // which the file system accepts like a single one.
  const std::string prefix = folderText + "/";
  const int folder = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return {};
  std::vector<std::string> names;
  // What could be read counts, as a listing gives it.
  if (formats.Any())
    ReadPhotoFolder(folder, names, {},
                    [&formats](const std::string& name) { return IsFormatName(name, formats); });
  else
    ReadPhotoFolder(folder, names, {});
  ::close(folder);
  if (leaveOutResults) {
    const std::unordered_set<std::string> made = PhotoAndResultNames(names);
    const std::string prefix = "Resize of ";
    std::erase_if(names, [&](const std::string& n) {
      return n.starts_with(prefix) && made.count(n.substr(prefix.size())) > 0;
    });
  }
  std::sort(names.begin(), names.end(), PhotoNameLess);

  std::vector<std::string> entries;
  entries.reserve(names.size());
  for (const std::string& name : names) entries.push_back(prefix + name);
  return entries;
}

std::int32_t ScanPhotoFolder(const std::string& folderText, const TFormats& formats,
                             bool leaveOutResults) {
  PhotoFiles = ListPhotoFiles(folderText, formats, leaveOutResults);
  PhotoCount = static_cast<std::int32_t>(PhotoFiles.size());
  return PhotoCount;
}

}  // namespace vizuvod
