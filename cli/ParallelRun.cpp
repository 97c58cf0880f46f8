#include "ParallelRun.h"

#include <algorithm>
#include <thread>
#include <unordered_map>

#include "BatchRun.h"

std::vector<std::vector<std::size_t>> SharedFileOrder(
    const std::vector<std::string>& photos,
    const std::function<std::string(std::size_t i)>& resultPath) {
  std::vector<std::vector<std::size_t>> after(photos.size());
  std::unordered_map<std::string, std::size_t> indexOf;
  for (std::size_t i = 0; i < photos.size(); ++i) indexOf.emplace(photos[i], i);
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const auto output = indexOf.find(resultPath(i));
    if (output == indexOf.end() || output->second == i) continue;
    const auto [first, second] = std::minmax(i, output->second);
    after[second].push_back(first);
  }
  return after;
}

TParallelRun::TParallelRun(const std::vector<std::string>& photos,
                           std::vector<std::vector<std::size_t>> after, TSettings settings,
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
      const auto ready = [&] {
        return std::all_of(after_[index].begin(), after_[index].end(),
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
