// vizuvod-batch's per-photo jobs: where each result goes and what it is
// called (TResultPlace), the photos of the run by identity (TPhotoIds), and
// TPhotoJobs, which makes each photo's TPhotoRequest, runs the engine's
// TPhotoStep with its checks between plan and run (claims, refusals, skipped
// and dry-run results) and the guard at the write, and gives its status and
// the lines of the report (DamageLine, MetadataLines).
#pragma once

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "OutputFolder.h"
#include "PhotoSources.h"
#include "PhotoStep.h"
#include "ResultNames.h"

namespace vizuvod {

enum class TJobStatus {
  jsWritten,    // every result was written
  jsUnchanged,  // the settings make no result (a percentage of 100)
  jsSkipped,    // --skip-existing: the results are there already
  jsPlanned,    // --dry-run
  jsFailed,
  jsAbandoned,  // a second stop signal ended it; nothing of it stays
};

struct TJobResult {
  TJobStatus status = TJobStatus::jsUnchanged;
  std::string error;  // "<photo>: <text>" as the wizard's error box reads
  TPhotoOutcome outcome;
  double seconds = 0;
};

// "<photo>: written from damaged data: <text>", or "" for a sound photo.
std::string DamageLine(const std::string& photo, const TJobResult& job);
// "<photo>: <text>" for each piece of metadata that was not carried, and for
// the frames of an animated photo that were not read.
std::vector<std::string> MetadataLines(const std::string& photo, const TJobResult& job);

// Where each photo's result goes: beside the photo, or under --output at the
// photo's relative folder, named by --name.
class TResultPlace {
 public:
  explicit TResultPlace(const TOptions& options);
  std::string Path(const std::string& photo, const std::string& relative, int width,
                   int height) const;
  const TNamePattern& Pattern() const { return pattern_; }

 private:
  std::optional<std::string> output_;
  TNamePattern pattern_;
};

// The photos of a run by device and inode, links followed: no result and no
// report is ever written over one of them, whatever its name or case.
class TPhotoIds {
 public:
  explicit TPhotoIds(const std::vector<std::string>& paths);
  bool Holds(const struct stat& file) const;
  // A photo that no one but its owner may read: the report is private then.
  bool AnyPrivate() const { return anyPrivate_; }

 private:
  std::vector<std::pair<dev_t, ino_t>> ids_;
  bool anyPrivate_ = false;
};

class TPhotoJobs {
 public:
  TPhotoJobs(const TOptions& options, const TPhotoList& photos, const TPhotoIds& ids);

  // The result path of photo i when it does not depend on the result's size,
  // else empty: what the scheduler pairs photos by.
  std::string KnownResultPath(std::size_t i) const;

  TJobResult Run(std::size_t i);

 private:
  TPhotoRequest Request(std::size_t i) const;
  // The checks between plan and run: jsWritten to go on, jsPlanned or
  // jsSkipped to stop there. Throws to refuse the photo.
  TJobStatus Check(std::size_t i, const struct stat& photo, const TPhotoOutcome& plan);
  TJobStatus Make(std::size_t i, TJobResult& job);
  void Claim(std::size_t i, const std::string& result);

  // Throws when the file at a result's path may not be written over.
  void RefuseToReplace(std::size_t i, const std::string& path, const struct stat& there) const;

  const TOptions& options_;
  const TPhotoList& photos_;
  const TPhotoIds& ids_;
  std::optional<TOutputFolder> outputFolder_;  // --output, open while the run writes
  const TResultPlace place_;
  const bool newNaming_;

  // Result paths in use, when they depend on the size: claimed as photos
  // reach them, keyed by a 64-bit hash.
  std::mutex claimsMutex_;
  std::unordered_map<std::uint64_t, std::size_t> claims_;
  // Photos whose result an earlier photo of the list has, and that photo.
  std::unordered_map<std::size_t, std::size_t> sameResultAs_;
};

}  // namespace vizuvod
