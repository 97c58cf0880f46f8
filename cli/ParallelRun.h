// The parallel scheduler of vizuvod-batch: a fixed number of worker threads
// take photos from the list in order and run each photo's job. Jobs share
// nothing mutable, so the files are the same whatever the job count, except
// where two photos share a file (one's result is the other's photo): such a
// pair runs in list order, so it reads what a one-by-one run would read.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "PhotoJob.h"
#include "Progress.h"

namespace vizuvod {

// The earlier photos a photo must wait for; only photos that share a file
// have an entry, so a big run without such pairs keeps nothing per photo.
using TWaits = std::unordered_map<std::size_t, std::vector<std::size_t>>;

// For each photo, the earlier photos of the list it must wait for: pairs in
// which one photo's result (resultPath(i); empty when not known before the
// photo is read) is the other's photo, by name or as the same file (device
// and inode, links followed), so a link to another photo's result waits for
// it whatever the job count.
TWaits SharedFileOrder(const std::vector<std::string>& photos,
                       const std::function<std::string(std::size_t i)>& resultPath);

class TParallelRun {
 public:
  using TJob = std::function<TJobResult(std::size_t index)>;

  struct TSettings {
    unsigned jobs = 1;
    bool keepGoing = false;  // without it a failure lets no new photo start
  };

  TParallelRun(const std::vector<std::string>& photos, TWaits after, TSettings settings, TJob job,
               TProgress& progress);

  // Runs every photo (or up to the first failure, or CancelRequested).
  void Run();

  std::size_t Count(TJobStatus status) const { return counts_[static_cast<int>(status)]; }
  const std::vector<std::string>& Failures() const { return failures_; }
  const std::vector<std::string>& Damaged() const { return damaged_; }
  // Photos with a warning besides damaged data (metadata not carried, an
  // animation's first frame).
  std::size_t Warned() const { return warned_; }
  Clock::duration Duration() const { return ended_ - started_; }

 private:
  void Work();
  void WorkPhotos();  // Work without its end

  const std::vector<std::string>& photos_;
  const TWaits after_;
  const TSettings settings_;
  const TJob job_;
  TProgress& progress_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  bool stopping_ = false;
  unsigned workersDone_ = 0;
  std::vector<bool> finished_;
  std::size_t counts_[static_cast<int>(TJobStatus::jsAbandoned) + 1] = {};
  std::vector<std::string> failures_;
  std::vector<std::string> damaged_;
  std::size_t warned_ = 0;
  Clock::time_point started_, ended_;
};

}  // namespace vizuvod
