// The command line of vizuvod-batch: what it may say, how it is read, and
// the help text that explains it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ResultNames.h"
#include "photo/BatchRun.h"
#include "photo/TargetSize.h"

namespace vizuvod {

struct TOptions {
  std::vector<TSizeRequest> sizes;  // at least one once parsed; each a result of every photo
  int quality = 0;                  // 1-100; 0 keeps the codec's 90
  TResultFormat format = TResultFormat::rfJpeg;  // --format FORMAT
  bool keepMetadata = false;
  bool autoOrient = false;
  bool toSrgb = false;                // --to-srgb
  bool stripLocation = false;         // --strip-location
  bool progressive = false;           // --progressive
  bool optimize = false;              // --optimize
  std::uintmax_t maxBytes = 0;        // --max-bytes, 0 for none
  std::pair<int, int> gravity{1, 1};  // --gravity: 0, 1, 2 across and down
  bool noEnlarge = false;
  unsigned jobs = 0;  // 0 until parsed: then at least 1
  bool keepGoing = false;
  bool quiet = false;
  bool strict = false;  // --strict: a photo whose data is damaged fails
  std::string folder;   // empty with --files-from

  std::optional<std::string> output;        // --output DIR
  bool recursive = false;                   // --recursive
  TFormats formats;                         // --formats LIST
  std::optional<std::string> name;          // --name PATTERN
  std::optional<std::string> filesFrom;     // --files-from FILE ("-": standard input)
  bool null = false;                        // --null
  unsigned shardIndex = 0, shardCount = 1;  // --shard K/N
  bool skipExisting = false;
  bool dryRun = false;
  std::optional<std::string> report;  // --report FILE
  bool keepDate = false;

  // True when anything but the wizard's own naming, placing and scan is asked for:
  // then earlier results are told apart from photos, and result paths are
  // checked against each other.
  bool NewNaming() const {
    return output || name || recursive || formats.Any() || format != TResultFormat::rfJpeg;
  }
};

// A command line that cannot run; the message says why.
struct TUsageError {
  std::string message;
};

// True when the command line asks for the help text, wherever it stands
// before "--"; it wins over any mistake elsewhere on the line.
bool WantsHelp(int argc, char** argv);

// The same for --version.
bool WantsVersion(int argc, char** argv);
extern const char* const VersionText;

// Reads the command line, with the same refusals the wizard makes before a
// run. Throws TUsageError.
TOptions ParseOptions(int argc, char** argv);

// One option of the command line: its spelling, the name of its argument,
// its text in --help, and what it sets. A row without a name is a paragraph
// of the help text. Adding an option is adding its row (and acting on what
// it sets).
struct TOptionRow {
  const char* name;      // "percent" for --percent
  const char* argument;  // "P" in the help text; null for an option without one
  char shortName;        // 'j' for -j, or 0
  const char* help;      // lines after the first are indented under it
  void (*set)(TOptions& options, const std::string& spelling, const std::string& value);
};
std::span<const TOptionRow> OptionTable();

// The one-line synopsis, and the whole help text after it.
extern const char* const UsageText;
std::string HelpText();

}  // namespace vizuvod
