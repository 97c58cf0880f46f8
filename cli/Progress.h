// What vizuvod-batch shows while it runs and after: on a terminal a bar with
// counts, rate and the current photo's name, redrawn in place; into a file or
// pipe one line per finished photo. Failures always get a line of their own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vizuvod {

using Clock = std::chrono::steady_clock;

class TProgress {
 public:
  // Quiet shows nothing; otherwise the bar when standard error is a terminal.
  TProgress(std::size_t total, bool quiet);

  // The run calls these under its own lock, from any thread.
  void Started(const std::string& photo);
  // Metadata warnings are shown even when quiet: something asked for was not done.
  void Finished(const std::string& photo, const std::string& error, const std::string& warning = {},
                const std::vector<std::string>& metadataWarnings = {});
  // Brings the display up to date; called by the run's watching thread.
  void Show();
  // Clears the bar from the terminal at the end of the run.
  void Close();

 private:
  void DrawBar();
  void PrintLines();

  struct TFinished {
    std::string photo, error, warning;
  };
  const std::size_t total_;
  const bool quiet_;
  const bool terminal_;
  const Clock::time_point started_;
  std::vector<TFinished> pending_;     // finished since the last Show
  std::vector<std::string> warnings_;  // not shown yet
  std::size_t done_ = 0;
  std::size_t shown_ = 0;
  std::string current_;
};

struct TSummary {
  std::size_t written = 0, total = 0;
  std::size_t skipped = 0, planned = 0;
  bool dryRun = false;
  double seconds = 0;
  std::vector<std::string> failures;
  std::vector<std::string> damaged;  // "<photo>: written from damaged data: ..."
  std::size_t warned = 0;            // photos with other warnings (metadata, frames)
  bool keepGoing = false;
  bool interrupted = false;
};

// "Written W of T photos in S s (R photos/s)..." to standard output unless
// quiet, then the damaged photos and the failures to standard error.
void PrintSummary(const TSummary& summary, bool quiet);

// Lines that photos finish in any order, written in list order: each is held
// only until the photos before it are done, so at most about one line per job
// waits. Thread-safe.
class TOrderedLines {
 public:
  explicit TOrderedLines(std::FILE* out) : out_(out) {}
  void Put(std::size_t index, std::string text);
  // Writes what still waits (photos after a stop never come), in order.
  void Flush();
  // False when a write failed.
  bool Good() const { return good_; }

 private:
  std::mutex mutex_;
  std::FILE* out_;
  std::size_t next_ = 0;
  std::map<std::size_t, std::string> waiting_;
  bool good_ = true;
};

// A JSON string, quoted: quote, backslash and control characters escaped;
// bytes that are not UTF-8 written as \u00XX so the line stays valid JSON.
std::string JsonString(const std::string& text);

}  // namespace vizuvod
