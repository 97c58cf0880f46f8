#include "ParallelRun.h"

#include <algorithm>
#include <string_view>
#include <thread>

#include "BatchRun.h"

TWaits SharedFileOrder(const std::vector<std::string>& photos,
                       const std::function<std::string(std::size_t i)>& resultPath) {
  // The photos by the hash of their path, sorted: 16 bytes a photo for the
  // length of this call, and no copy of any path.
  const std::hash<std::string_view> hash;
  std::vector<std::pair<std::size_t, std::size_t>> byHash(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) byHash[i] = {hash(photos[i]), i};
  std::sort(byHash.begin(), byHash.end());

  TWaits after;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const std::string result = resultPath(i);
    if (result.empty()) continue;
    auto it = std::lower_bound(byHash.begin(), byHash.end(),
                               std::make_pair(hash(result), std::size_t(0)));
    for (; it != byHash.end() && it->first == hash(result); ++it) {
      if (it->second == i || photos[it->second] != result) continue;
      const auto [first, second] = std::minmax(i, it->second);
      after[second].push_back(first);
    }
  }
  return after;
}

TParallelRun::TParallelRun(const std::vector<std::string>& photos, TWaits after, TSettings settings,
                           TJob job, TProgress& progress)
    : photos_(photos),
      after_(std::move(after)),
      settings_(settings),
      job_(std::move(job)),
      progress_(progress),
      finished_(photos.size(), false) {}

void TParallelRun::Run() {
  started_ = Clock::now();
  const unsigned jobs = std::min<std::size_t>(settings_.jobs, photos_.size());
  std::vector<std::thread> workers;
  for (unsigned k = 0; k < jobs; ++k) workers.emplace_back([this] { Work(); });

  std::unique_lock lock(mutex_);
  while (workersDone_ < jobs) {
    changed_.wait_for(lock, std::chrono::milliseconds(200));
    progress_.Show();
  }
  lock.unlock();
  for (std::thread& worker : workers) worker.join();
  ended_ = Clock::now();
  progress_.Close();
}

void TParallelRun::Work() {
  for (;;) {
    std::size_t index;
    {
      std::unique_lock lock(mutex_);
      if (CancelRequested || stopping_ || next_ >= photos_.size()) break;
      index = next_++;
      const auto waits = after_.find(index);
      const auto ready = [&] {
        return waits == after_.end() ||
               std::all_of(waits->second.begin(), waits->second.end(),
                           [&](std::size_t k) { return bool(finished_[k]); });
      };
      // Wakes on each finished photo; the timeout lets a Ctrl-C through.
      while (!ready() && !CancelRequested && !stopping_)
        changed_.wait_for(lock, std::chrono::milliseconds(200));
      if (!ready()) break;
      progress_.Started(photos_[index]);
    }
    const TJobResult result = job_(index);
    std::lock_guard lock(mutex_);
    finished_[index] = true;
    progress_.Finished(photos_[index], result.error);
    ++counts_[static_cast<int>(result.status)];
    if (result.status == TJobStatus::jsFailed) {
      failures_.push_back(result.error);
      if (!settings_.keepGoing) stopping_ = true;
    }
    changed_.notify_all();
  }
  std::lock_guard lock(mutex_);
  ++workersDone_;
  changed_.notify_all();
}
