// The command line of vizuvod-batch: what it may say, how it is read, and
// the help text that explains it.
#pragma once

#include <optional>
#include <string>

#include "BatchRun.h"

struct TOptions {
  std::optional<TFixedSettings> settings;
  unsigned jobs = 0;  // 0 until parsed: then at least 1
  bool keepGoing = false;
  bool quiet = false;
  std::string folder;
};

// A command line that cannot run; the message says why.
struct TUsageError {
  std::string message;
};

// True when the command line asks for the help text, wherever it stands
// before "--"; it wins over any mistake elsewhere on the line.
bool WantsHelp(int argc, char** argv);

// Reads the command line, with the same refusals the wizard makes before a
// run. Throws TUsageError.
TOptions ParseOptions(int argc, char** argv);

// The one-line synopsis, and the whole help text after it.
extern const char* const UsageText;
extern const char* const HelpText;
