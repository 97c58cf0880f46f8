#include "PhotoSources.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <unordered_set>

#include "PhotoScan.h"

namespace vizuvod {

void TPhotoList::Add(std::string path, std::size_t from) {
  paths.push_back(std::move(path));
  relativeFrom.push_back(static_cast<std::uint32_t>(from));
}

namespace {

class TWalk {
 public:
  TWalk(const std::string& folder, const TScan& scan, TPhotoList& list)
      : root_(folder + "/"), scan_(scan), list_(list) {}

  // `relative` is "" or ends in '/'.
  void Folder(const std::string& relative) {
    const std::string dirPath = root_ + relative;
    std::vector<std::string> photos, folders;
    // lstat: a link to a folder is not followed, which also rules out loops
    // through links. One descriptor is open at a time, however deep the tree.
    const bool read = ReadPhotoFolder(dirPath, photos, [&](const std::string& name) {
      struct stat info;
      if (scan_.recursive && ::lstat((dirPath + name).c_str(), &info) == 0 &&
          S_ISDIR(info.st_mode) &&
          !(scan_.skip && scan_.skip->first == info.st_dev && scan_.skip->second == info.st_ino))
        folders.push_back(name);
    });
    if (!read) return;

    if (scan_.results) {
      const std::unordered_set<std::string> names(photos.begin(), photos.end());
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
    for (const std::string& name : folders) Folder(relative + name + "/");
  }

 private:
  const std::string root_;
  const TScan& scan_;
  TPhotoList& list_;
};

}  // namespace

TPhotoList ScanPhotos(const std::string& folder, const TScan& scan) {
  TPhotoList list;
  if (!scan.recursive && !scan.results) {
    // The wizard's own scan, untouched.
    list.paths = ListPhotoFiles(folder);
    list.relativeFrom.assign(list.paths.size(), static_cast<std::uint32_t>(folder.size() + 1));
    return list;
  }
  TWalk(folder, scan, list).Folder("");
  return list;
}

TPhotoList ReadPhotoList(const std::string& file, bool null) {
  std::ifstream opened;
  std::istream* in = &std::cin;
  if (file != "-") {
    opened.open(file, std::ios::binary);
    if (!opened) throw std::runtime_error(file + ": cannot read the list");
    in = &opened;
  }
  TPhotoList list;
  std::string entry;
  while (std::getline(*in, entry, null ? '\0' : '\n')) {
    if (entry.empty()) continue;
    // "./a.jpg" is placed and sharded as "a.jpg", as find writes it.
    std::size_t from = 0;
    while (entry.compare(from, 2, "./") == 0) from += 2;
    list.Add(std::move(entry), from);
  }
  if (in->bad()) throw std::runtime_error(file + ": cannot read the list");
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
