#include "PhotoSources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "ProcessSetup.h"
#include "photo/PhotoScan.h"

namespace vizuvod {

void TPhotoList::Add(std::string path, std::size_t from) {
  paths.push_back(std::move(path));
  relativeFrom.push_back(static_cast<std::uint32_t>(from));
}

namespace {

using TFolderId = std::pair<dev_t, ino_t>;

TFolderId IdOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

class TWalk {
 public:
  TWalk(const std::string& folder, const TScan& scan, TPhotoList& list)
      : root_(folder + "/"), scan_(scan), list_(list) {}

  void Run() {
    int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Problem(root_, std::strerror(errno));
    Folder(fd, "");
    if (fd >= 0) ::close(fd);
  }

 private:
  void Problem(std::string path, const std::string& reason) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    list_.problems.push_back(path + ": " + reason);
  }

  // The photos and subfolders of the open folder, and what could not be read.
  void Read(int fd, const std::string& dirPath, std::vector<std::string>& photos,
            std::vector<std::string>& folders) {
    const auto isPhoto = [this](const std::string& name) {
      return scan_.formats.Any() ? IsFormatName(name, scan_.formats) : IsPhotoName(name);
    };
    const int error = ReadPhotoFolder(
        fd, photos,
        [&](const std::string& name) {
          if (!scan_.recursive && !isPhoto(name)) return;
          struct stat info;
          if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) Problem(dirPath + name, std::strerror(errno));
          } else if (scan_.recursive && S_ISDIR(info.st_mode) && IdOf(info) != scan_.skip) {
            folders.push_back(name);
          }
        },
        isPhoto);
    if (error != 0) Problem(dirPath, std::strerror(error));
  }

  // `relative` is "" or ends in '/'. Only the folder in work is open, so no
  // depth runs out of descriptors: a parent is opened again through "..",
  // and must be the same folder. On return fd is the folder again, or -1
  // when it could not be found again (a problem says so).
  void Folder(int& fd, const std::string& relative) {
    const std::string dirPath = root_ + relative;
    struct stat self;
    if (::fstat(fd, &self) != 0) return Problem(dirPath, std::strerror(errno));
    walked_.insert(IdOf(self));
    std::vector<std::string> photos, folders;
    Read(fd, dirPath, photos, folders);

    if (scan_.results) {
      // A photo's results are named by its result's name (another format's
      // extension for a PNG or WebP photo, or with --format); an earlier run
      // may have written any format.
      const std::unordered_set<std::string> names = PhotoAndResultNames(photos);
      std::unordered_set<std::string> stems;
      for (const std::string& n : photos) stems.insert(StemOf(n));
      std::erase_if(photos, [&](const std::string& n) {
        return scan_.results->IsResultAmong(n, names, stems);
      });
    }
    std::sort(photos.begin(), photos.end(), PhotoNameLess);
    for (const std::string& name : photos) list_.Add(dirPath + name, root_.size());
    photos = {};

    std::sort(folders.begin(), folders.end(), PhotoNameLess);
    for (const std::string& name : folders) {
      if (StopSignal() != 0) return;
      int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      struct stat info;
      if (child < 0 || ::fstat(child, &info) != 0) {
        Problem(dirPath + name, std::strerror(errno));
        if (child >= 0) ::close(child);
        continue;
      }
      if (walked_.contains(IdOf(info))) {  // a bind mount of a folder on the walk
        ::close(child);
        continue;
      }
      ::close(std::exchange(fd, -1));
      Folder(child, relative + name + "/");
      if (child < 0) return;  // lost on the way down; said there
      fd = ::openat(child, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ::close(child);
      struct stat back;
      if (fd < 0 || ::fstat(fd, &back) != 0 || IdOf(back) != IdOf(self)) {
        if (fd >= 0) ::close(std::exchange(fd, -1));
        return Problem(dirPath, "moved while it was walked; the walk stopped there");
      }
    }
  }

  const std::string root_;
  const TScan& scan_;
  TPhotoList& list_;
  std::set<TFolderId> walked_;
};

// Closes a list's descriptor, leaving standard input open.
void CloseList(int fd) {
  if (fd > 0) ::close(fd);
}

}  // namespace

TPhotoList ScanPhotos(const std::string& folder, const TScan& scan) {
  TPhotoList list;
  if (!scan.recursive && !scan.results && !scan.formats.Any()) {
    // The wizard's own scan, untouched.
    list.paths = ListPhotoFiles(folder);
    list.relativeFrom.assign(list.paths.size(), static_cast<std::uint32_t>(folder.size() + 1));
    return list;
  }
  TWalk(folder, scan, list).Run();
  return list;
}

TPhotoList ReadPhotoList(const std::string& file, bool null) {
  const auto refuse = [&](const std::string& why) { throw std::runtime_error(file + ": " + why); };
  const auto cannotRead = [&] {
    refuse(std::string("cannot read the list: ") + std::strerror(errno));
  };
  int fd = 0;
  if (file != "-") {
    do fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR && StopSignal() == 0);
    if (fd < 0 && StopSignal() != 0) return {};
    if (fd < 0) cannotRead();
  }
  struct TCloser {
    int fd;
    ~TCloser() { CloseList(fd); }
  } closeAtEnd{fd};

  TPhotoList list;
  std::string entry;
  std::size_t bytes = 0, number = 1;
  const char separator = null ? '\0' : '\n';
  const auto finish = [&] {
    if (!entry.empty()) {
      if (list.paths.size() == ListEntriesLimit)
        refuse("the list holds more than " + std::to_string(ListEntriesLimit) + " photos");
      // "./a.jpg" is placed and sharded as "a.jpg", as find writes it.
      std::size_t from = 0;
      while (entry.compare(from, 2, "./") == 0) from += 2;
      list.Add(std::move(entry), from);
      entry.clear();
    }
    ++number;
  };
  std::vector<char> buffer(std::size_t(64) << 10);
  for (;;) {
    const ssize_t got = ReadUnlessStopped(fd, buffer.data(), buffer.size());
    if (StopSignal() != 0) return list;
    if (got < 0) cannotRead();
    if (got == 0) break;
    if ((bytes += std::size_t(got)) > ListBytesLimit)
      refuse("the list is longer than " + std::to_string(ListBytesLimit >> 20) + " MiB");
    for (const char c : std::string_view(buffer.data(), std::size_t(got))) {
      if (c == separator) {
        finish();
        continue;
      }
      if (c == '\0')
        refuse("entry " + std::to_string(number) + " holds a NUL character (is --null missing?)");
      if (entry.size() + 1 >= PATH_MAX)
        refuse("entry " + std::to_string(number) + " is longer than a path can be (" +
               std::to_string(PATH_MAX - 1) + " bytes)");
      entry += c;
    }
  }
  finish();
  return list;
}

std::uint64_t StableHash(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

void KeepShard(TPhotoList& list, unsigned k, unsigned n, const std::vector<std::string>& keys) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < list.paths.size(); ++i) {
    if (StableHash(keys[i]) % n != k) continue;
    if (kept != i) {
      list.paths[kept] = std::move(list.paths[i]);
      list.relativeFrom[kept] = list.relativeFrom[i];
    }
    ++kept;
  }
  list.paths.resize(kept);
  list.relativeFrom.resize(kept);
  list.paths.shrink_to_fit();
  list.relativeFrom.shrink_to_fit();
}

}  // namespace vizuvod
