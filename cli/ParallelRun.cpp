#include "ParallelRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>

#include "PrintableText.h"
#include "photo/BatchRun.h"

namespace vizuvod {

TWaits SharedFileOrder(const std::vector<std::string>& photos,
                       const std::function<std::string(std::size_t i)>& resultPath) {
  // The photos by the hash of their path and by their file (device and
  // inode, links followed), sorted: a few bytes a photo for the length of
  // this call, and no copy of any path.
  const std::hash<std::string_view> hash;
  std::vector<std::pair<std::size_t, std::size_t>> byHash(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) byHash[i] = {hash(photos[i]), i};
  std::sort(byHash.begin(), byHash.end());
  std::vector<std::tuple<dev_t, ino_t, std::size_t>> byFile;
  byFile.reserve(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) {
    struct stat st {};
    if (::stat(photos[i].c_str(), &st) == 0) byFile.emplace_back(st.st_dev, st.st_ino, i);
  }
  std::sort(byFile.begin(), byFile.end());

  TWaits after;
  const auto pair = [&](std::size_t i, std::size_t k) {
    if (k == i) return;
    const auto [first, second] = std::minmax(i, k);
    std::vector<std::size_t>& waits = after[second];
    if (std::find(waits.begin(), waits.end(), first) == waits.end()) waits.push_back(first);
  };
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const std::string result = resultPath(i);
    if (result.empty()) continue;
    const std::size_t h = hash(result);
    for (auto it =
             std::lower_bound(byHash.begin(), byHash.end(), std::make_pair(h, std::size_t(0)));
         it != byHash.end() && it->first == h; ++it)
      if (photos[it->second] == result) pair(i, it->second);
    struct stat st {};
    if (::stat(result.c_str(), &st) != 0) continue;
    for (auto it = std::lower_bound(byFile.begin(), byFile.end(),
                                    std::make_tuple(st.st_dev, st.st_ino, std::size_t(0)));
         it != byFile.end() && std::get<0>(*it) == st.st_dev && std::get<1>(*it) == st.st_ino; ++it)
      pair(i, std::get<2>(*it));
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
  try {
    for (unsigned k = 0; k < jobs; ++k) workers.emplace_back([this] { Work(); });
  } catch (const std::exception& e) {
    // Under a process or memory limit: go on with the workers there are,
    // or with this thread alone. A thread's start fails with EAGAIN, or with
    // bad_alloc when not even its bookkeeping can be had.
    const auto* failure = dynamic_cast<const std::system_error*>(&e);
    std::cerr << "vizuvod-batch: only " << workers.size() << " of " << jobs << " jobs could start ("
              << (failure ? failure->code().message() : std::string("out of memory"))
              << "); going on with " << std::max<std::size_t>(workers.size(), 1) << "\n";
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
  // The workers may all have finished before this thread first waited: what
  // they left to show (the last lines, the warnings) is shown here.
  progress_.Show();
  lock.unlock();
  for (std::thread& worker : workers) worker.join();
  ended_ = Clock::now();
  progress_.Close();
}

void TParallelRun::Work() {
  try {
    WorkPhotos();
  } catch (const std::bad_alloc&) {
    // Out of memory outside a photo's own step (its bookkeeping): this
    // worker stops and the run ends early, counting the photo as not done,
    // instead of the process aborting with temporary files left.
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ++workersDone_;
    changed_.notify_all();
    std::cerr << "vizuvod-batch: a job ran out of memory; the run stops\n";
    return;
  }
  std::lock_guard lock(mutex_);
  ++workersDone_;
  changed_.notify_all();
}

void TParallelRun::WorkPhotos() {
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
    // Each message shown is one line; the report has them whole.
    const std::string& photo = photos_[index];
    const auto shown = [&photo](const std::string& text) {
      return OneLine(text, ShownOf(photo, text));
    };
    const std::string damage = shown(DamageLine(photo, result));
    std::vector<std::string> warnings = MetadataLines(photo, result);
    for (std::string& w : warnings) w = shown(w);
    if (!warnings.empty()) ++warned_;
    progress_.Finished(photo, shown(result.error), damage, warnings);
    ++counts_[static_cast<int>(result.status)];
    if (!damage.empty()) damaged_.push_back(damage);
    if (result.status == TJobStatus::jsFailed) {
      failures_.push_back(shown(result.error));
      if (!settings_.keepGoing) stopping_ = true;
    }
    changed_.notify_all();
  }
}

}  // namespace vizuvod
