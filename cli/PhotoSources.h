// Where vizuvod-batch's photos come from: the folder as the wizard scans
// it, the folder and its subfolders, or a list of paths; and which of them
// one shard of a run takes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ResultNames.h"

namespace vizuvod {

// The photos in run order. relativeFrom[i] is where, in paths[i], the path
// relative to the folder (or as listed) starts: results are placed and shards
// chosen by that part. `problems` names what could not be walked, as
// "<path>: <reason>"; each is a failure of the run.
struct TPhotoList {
  std::vector<std::string> paths;
  std::vector<std::uint32_t> relativeFrom;
  std::vector<std::string> problems;

  std::string Relative(std::size_t i) const { return paths[i].substr(relativeFrom[i]); }
  void Add(std::string path, std::size_t relativeFrom);
};

struct TScan {
  bool recursive = false;
  // Files an earlier run made beside their photos are not photos (nullptr:
  // they are, as in the wizard's scan).
  const TNamePattern* results = nullptr;
  // --formats: the names taken as photos (none set: the wizard's *.jpg).
  TFormats formats;
  // A folder never walked into (the results' folder, when inside).
  std::optional<std::pair<dev_t, ino_t>> skip;
};

// The folder's photos: the wizard's listing of one folder, or with
// `recursive` each folder's photos followed by its subfolders in the same
// case-blind order. Hidden folders and links to folders are not entered, and
// a folder met again (a bind mount of one already walked) is not entered
// again. The walk goes by descriptors, one folder open at a time, so neither
// depth nor PATH_MAX leaves a folder out; a folder or entry it cannot read is
// a problem. A stop signal ends the walk early (StopSignal()).
TPhotoList ScanPhotos(const std::string& folder, const TScan& scan);

// A list holds at most this many bytes and this many photos.
constexpr std::size_t ListBytesLimit = std::size_t(64) << 20;
constexpr std::size_t ListEntriesLimit = 1000000;

// The paths of a list file ("-" for standard input), one per line or, with
// `null`, NUL-separated; empty entries are skipped. Throws std::runtime_error
// with the reason when the list cannot be read, passes a limit, or has an
// entry too long for a path or (one per line) holding a NUL. A stop signal
// ends the reading early (StopSignal()).
TPhotoList ReadPhotoList(const std::string& file, bool null);

// FNV-1a, 64 bits: the same path lands in the same shard on every machine
// and in every run, whatever else the folder holds.
std::uint64_t StableHash(const std::string& text);

// Keeps the photos whose key (keys[i] for photo i: its relative path, or
// what its result is named by) hashes into shard k of n.
void KeepShard(TPhotoList& list, unsigned k, unsigned n, const std::vector<std::string>& keys);

}  // namespace vizuvod
