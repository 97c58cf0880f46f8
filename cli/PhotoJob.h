// vizuvod-batch's per-photo jobs: where each result goes and what it is
// called (TResultPlace), and TPhotoJobs, which makes each photo's
// TPhotoRequest and runs the engine's TPhotoStep with the checks between
// plan and run (two sizes alike, a result over its own photo, skipped and
// dry-run results; claims and refusals by the engine's TResultGuard, which
// also guards the write), and gives its status and the lines of the report
// (DamageLine, MetadataLines).
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "BatchOptions.h"
#include "PhotoSources.h"
#include "ResultNames.h"
#include "files/OutputFolder.h"
#include "files/ResultGuard.h"
#include "photo/BatchRun.h"
#include "photo/PhotoStep.h"

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

class TPhotoJobs {
 public:
  TPhotoJobs(const TOptions& options, const TPhotoList& photos, TResultGuard& guard);

  // The result path of photo i when it does not depend on the result's size,
  // else empty: what the scheduler pairs photos by.
  std::string KnownResultPath(std::size_t i) const;

  TJobResult Run(std::size_t i);

 private:
  // Fills sameResultAs_ from the results known before the run.
  void FindSameResults();
  TPhotoRequest Request(std::size_t i) const;
  // The checks between plan and run: jsWritten to go on, jsPlanned or
  // jsSkipped to stop there. Throws to refuse the photo.
  TJobStatus Check(std::size_t i, const struct stat& photo, const TPhotoOutcome& plan);
  TJobStatus Make(std::size_t i, TJobResult& job);

  const TOptions& options_;
  const TPhotoList& photos_;
  TResultGuard& guard_;
  std::optional<TOutputFolder> outputFolder_;  // --output, open while the run writes
  const TResultPlace place_;
  const bool newNaming_;

  // Photos whose result an earlier photo of the list has, and that photo.
  std::unordered_map<std::size_t, std::size_t> sameResultAs_;
};

}  // namespace vizuvod
