// vizuvod-batch started as a separate program, the way scripts run it, with
// its standard output and error captured in files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace vizuvod {

struct TResult {
  int exitCode = -1;  // 128 + the signal when a signal ended it
  std::string out, err;
  long peakKiB = 0;  // the process's own peak resident memory
};

// How the program is started besides its arguments.
struct TSpawn {
  std::string input;                 // standard input is read from this file when given
  std::vector<int> closed = {};      // standard descriptors it starts without
  int errFd = -1;                    // standard error goes here instead of the log
  std::vector<std::string> as = {};  // a command it runs under ("setpriv", its options)
};

// Starts vizuvod-batch with args, its output going to files in `logs` and
// its standard input read from `input` when given.
pid_t Start(const std::vector<std::string>& args, const TempDir& logs, const TSpawn& spawn);
pid_t Start(const std::vector<std::string>& args, const TempDir& logs,
            const std::string& input = "");
// Waits for it and collects what it printed.
TResult Finish(pid_t pid, const TempDir& logs);
TResult RunBatch(const std::vector<std::string>& args, const std::string& input = "");
TResult RunBatch(const std::vector<std::string>& args, const TSpawn& spawn);

}  // namespace vizuvod
