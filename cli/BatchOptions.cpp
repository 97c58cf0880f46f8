// Options are read with getopt_long, so they follow the usual conventions:
// "--opt value" or "--opt=value", options before or after FOLDER, "--" ends
// them. getopt's own messages are off; the errors below say the same in the
// program's words.
#include "BatchOptions.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <thread>

#include "Warnings.h"

const char* const UsageText =
    "usage: vizuvod-batch (--percent P | --width N | --height N) [--jobs N] [--keep-going] "
    "[--quiet] FOLDER\n";

const char* const HelpText = R"(Resizes every photo in FOLDER the way the Fotrix Vizuvod wizard does and writes each result
beside its photo as "Resize of <name>". The photos themselves are never changed.

Photos are the files directly inside FOLDER whose names end in .jpg in any letter case, except
hidden ones (names starting with '.'); they are processed in case-blind name order. FOLDER is
used as typed, so earlier "Resize of " files are photos too.

One of:
  --percent P   P % of each photo's width and height (P > 0, not 100)
  --width N     N pixels wide, proportions kept (the wizard's "По ширине")
  --height N    N pixels high, proportions kept (the wizard's "По высоте")
Options:
  --jobs N      photos processed at once (default: the number of cores); the files written
                are the same for any N; each job holds one photo's images in memory
  --keep-going  a photo that fails is skipped and listed at the end; without it the run
                stops at the first failing photo, as the wizard does (files already
                written stay; with several jobs, photos already started are finished)
  --quiet       no progress and no summary; failures are still reported
  --help        this text

Progress goes to standard error: a bar on a terminal, one line per photo otherwise. A failure
reads as the wizard's error box would, after the photo's path. The summary goes to standard
output.

Ctrl-C stops cleanly: photos being written are finished, no new one is started, and no
partial file is left.

Exit status: 0 when every photo was written; 1 when a photo failed or no photo was found;
2 for a usage error; 130 when interrupted (143 for a termination request).

Example:
  vizuvod-batch --width 1024 --jobs 2 ~/Фото/Отпуск
)";

namespace {

enum TOptionId : int {
  oiPercent = 0x100,
  oiWidth,
  oiHeight,
  oiKeepGoing,
};

const option LongOptions[] = {
    {"percent", required_argument, nullptr, oiPercent},
    {"width", required_argument, nullptr, oiWidth},
    {"height", required_argument, nullptr, oiHeight},
    {"jobs", required_argument, nullptr, 'j'},
    {"keep-going", no_argument, nullptr, oiKeepGoing},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};
const char* const ShortOptions = ":j:qh";

int ParseNumber(const std::string& option, const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw TUsageError{option + " needs a whole number, not \"" + text + "\""};
  return value;
}

// The option's name as the help text spells it.
std::string OptionName(int id) {
  for (const option& o : LongOptions)
    if (o.name && o.val == id) return std::string("--") + o.name;
  return std::string("-") + static_cast<char>(id);
}

}  // namespace

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  auto mode = [&](TFixedSettings settings) {
    if (options.settings) throw TUsageError{"give only one of --percent, --width and --height"};
    options.settings = settings;
  };

  opterr = 0;
  optind = 0;  // a full reset, for callers that parse more than once
  for (;;) {
    const int id = getopt_long(argc, argv, ShortOptions, LongOptions, nullptr);
    if (id == -1) break;
    const std::string name = OptionName(id == ':' ? optopt : id);
    const std::string value = optarg ? optarg : "";
    switch (id) {
      case oiPercent: mode(TFixedSettings::Percent(ParseNumber(name, value))); break;
      case oiWidth: mode(TFixedSettings::FitWidth(ParseNumber(name, value))); break;
      case oiHeight: mode(TFixedSettings::FitHeight(ParseNumber(name, value))); break;
      case 'j': {
        const int jobs = ParseNumber(name, value);
        if (jobs < 1) throw TUsageError{"--jobs needs at least 1"};
        options.jobs = static_cast<unsigned>(jobs);
        break;
      }
      case oiKeepGoing: options.keepGoing = true; break;
      case 'q': options.quiet = true; break;
      case 'h': break;  // WantsHelp has answered it already
      case ':': throw TUsageError{name + " needs a value"};
      default:  // getopt has stepped past the word it could not use
        if (optopt >= 0x100) throw TUsageError{OptionName(optopt) + " takes no value"};
        if (optopt != 0)
          throw TUsageError{std::string("unknown option -") + static_cast<char>(optopt)};
        throw TUsageError{std::string("unknown option ") + argv[optind - 1]};
    }
  }
  if (optind < argc - 1) throw TUsageError{"only one FOLDER may be given"};
  if (optind == argc) throw TUsageError{"FOLDER is missing"};
  options.folder = argv[optind];

  if (!options.settings) throw TUsageError{"give one of --percent, --width and --height"};
  // The same refusals the wizard makes before a run.
  if (const auto warning = RunSettingsWarning(*options.settings)) throw TUsageError{*warning};
  if (options.settings->Mode() == TResizeMode::rmPercent && options.settings->P() == 100)
    throw TUsageError{Percent100Warning};
  if (options.jobs == 0) options.jobs = std::max(1u, std::thread::hardware_concurrency());
  return options;
}
