// What vizuvod-batch shows while it runs and after: on a terminal a bar with
// counts, rate and the current photo's name, redrawn in place; into a file or
// pipe one line per finished photo. Failures always get a line of their own.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

class TProgress {
 public:
  // Quiet shows nothing; otherwise the bar when standard error is a terminal.
  TProgress(std::size_t total, bool quiet);

  // The run calls these under its own lock, from any thread.
  void Started(const std::string& photo);
  void Finished(const std::string& photo, const std::string& error);
  // Brings the display up to date; called by the run's watching thread.
  void Show();
  // Clears the bar from the terminal at the end of the run.
  void Close();

 private:
  void DrawBar();
  void PrintLines();

  struct TFinished {
    std::string photo, error;
  };
  const std::size_t total_;
  const bool quiet_;
  const bool terminal_;
  const Clock::time_point started_;
  std::vector<TFinished> pending_;  // finished since the last Show
  std::size_t done_ = 0;
  std::size_t shown_ = 0;
  std::string current_;
};

struct TSummary {
  std::size_t written = 0, total = 0;
  double seconds = 0;
  std::vector<std::string> failures;
  bool keepGoing = false;
  bool interrupted = false;
};

// "Written W of T photos in S s (R photos/s)..." to standard output unless
// quiet, then the failures to standard error.
void PrintSummary(const TSummary& summary, bool quiet);
