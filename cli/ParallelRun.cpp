#include "ParallelRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "BatchRun.h"

std::vector<std::vector<std::size_t>> SharedFileOrder(
    const std::vector<std::string>& photos,
    const std::function<std::string(std::size_t i)>& resultPath) {
  std::vector<std::vector<std::size_t>> after(photos.size());
  std::unordered_map<std::string, std::size_t> indexOf;
  std::multimap<std::pair<dev_t, ino_t>, std::size_t> fileOf;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    indexOf.emplace(photos[i], i);
    struct stat st {};
    if (::stat(photos[i].c_str(), &st) == 0) fileOf.emplace(std::make_pair(st.st_dev, st.st_ino), i);
  }
  const auto pair = [&](std::size_t i, std::size_t k) {
    if (k == i) return;
    const auto [first, second] = std::minmax(i, k);
    if (std::find(after[second].begin(), after[second].end(), first) == after[second].end())
      after[second].push_back(first);
  };
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const std::string result = resultPath(i);
    if (result.empty()) continue;
    if (const auto output = indexOf.find(result); output != indexOf.end()) pair(i, output->second);
    struct stat st {};
    if (::stat(result.c_str(), &st) != 0) continue;
    const auto [from, to] = fileOf.equal_range({st.st_dev, st.st_ino});
    for (auto it = from; it != to; ++it) pair(i, it->second);
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
  try {
    for (unsigned k = 0; k < jobs; ++k) workers.emplace_back([this] { Work(); });
  } catch (const std::system_error& e) {
    // Under a process or memory limit: go on with the workers there are,
    // or with this thread alone.
    std::cerr << "vizuvod-batch: only " << workers.size() << " of " << jobs << " jobs could start ("
              << e.code().message() << "); going on with " << std::max<std::size_t>(workers.size(), 1)
              << "\n";
    if (workers.empty()) {
      Work();
      progress_.Show();
    }
  }

  std::unique_lock lock(mutex_);
  while (workersDone_ < workers.size()) {
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
    progress_.Finished(photos_[index], result.error, result.warning);
    ++counts_[static_cast<int>(result.status)];
    if (!result.warning.empty()) damaged_.push_back(result.warning);
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
