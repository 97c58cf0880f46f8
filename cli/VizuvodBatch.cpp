// vizuvod-batch: the wizard's resize run without a window. It scans the
// folder the way page 1 does and runs each photo through the same per-photo
// step as the wizard, several photos at a time; the step shares nothing
// mutable between photos, so the files are the same whatever the job count.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "BatchRun.h"
#include "PhotoScan.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* const Percent100Warning =
    "Измените значение \"Процент от оригинала\", при 100% программа не сможет производить "
    "какие-либо "
    "действия";

const char* const Usage =
    "usage: vizuvod-batch (--percent P | --width N | --height N) [--jobs N] [--keep-going] "
    "[--quiet] FOLDER\n";

const char* const Help =
    "Resizes every photo in FOLDER the way the Fotrix Vizuvod wizard does and writes each result\n"
    "beside its photo as \"Resize of <name>\". The photos themselves are never changed.\n"
    "\n"
    "Photos are the files directly inside FOLDER whose names end in .jpg in any letter case, "
    "except\n"
    "hidden ones (names starting with '.'); they are processed in case-blind name order. FOLDER "
    "is\n"
    "used as typed, so earlier \"Resize of \" files are photos too.\n"
    "\n"
    "One of:\n"
    "  --percent P   P % of each photo's width and height (P > 0, not 100)\n"
    "  --width N     N pixels wide, proportions kept (the wizard's \"По ширине\")\n"
    "  --height N    N pixels high, proportions kept (the wizard's \"По высоте\")\n"
    "Options:\n"
    "  --jobs N      photos processed at once (default: the number of cores); the files written\n"
    "                are the same for any N; each job holds one photo's images in memory\n"
    "  --keep-going  a photo that fails is skipped and listed at the end; without it the run\n"
    "                stops at the first failing photo, as the wizard does (files already\n"
    "                written stay; with several jobs, photos already started are finished)\n"
    "  --quiet       no progress and no summary; failures are still reported\n"
    "  --help        this text\n"
    "\n"
    "Progress goes to standard error: a bar on a terminal, one line per photo otherwise. A "
    "failure\n"
    "reads as the wizard's error box would, after the photo's path. The summary goes to standard\n"
    "output.\n"
    "\n"
    "Ctrl-C stops cleanly: photos being written are finished, no new one is started, and no\n"
    "partial file is left.\n"
    "\n"
    "Exit status: 0 when every photo was written; 1 when a photo failed or no photo was found;\n"
    "2 for a usage error; 130 when interrupted (143 for a termination request).\n"
    "\n"
    "Example:\n"
    "  vizuvod-batch --width 1024 --jobs 2 ~/Фото/Отпуск\n";

struct TOptions {
  std::optional<TFixedSettings> settings;
  unsigned jobs = 0;
  bool keepGoing = false;
  bool quiet = false;
  std::string folder;
  bool haveFolder = false;
};

struct TUsageError {
  std::string message;
};

int ParseNumber(const std::string& option, const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw TUsageError{option + " needs a whole number, not \"" + text + "\""};
  return value;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (options.haveFolder) throw TUsageError{"only one FOLDER may be given"};
      options.folder = arg;
      options.haveFolder = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.erase(eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw TUsageError{arg + " needs a value"};
      return argv[++i];
    };
    auto flag = [&](bool& target) {
      if (inlineValue) throw TUsageError{arg + " takes no value"};
      target = true;
    };
    auto mode = [&](TFixedSettings settings) {
      if (options.settings) throw TUsageError{"give only one of --percent, --width and --height"};
      options.settings = settings;
    };

    if (arg == "--percent") {
      mode(TFixedSettings::Percent(ParseNumber(arg, value())));
    } else if (arg == "--width") {
      mode(TFixedSettings::FitWidth(ParseNumber(arg, value())));
    } else if (arg == "--height") {
      mode(TFixedSettings::FitHeight(ParseNumber(arg, value())));
    } else if (arg == "--jobs" || arg == "-j") {
      const int jobs = ParseNumber(arg, value());
      if (jobs < 1) throw TUsageError{"--jobs needs at least 1"};
      options.jobs = static_cast<unsigned>(jobs);
    } else if (arg == "--keep-going") {
      flag(options.keepGoing);
    } else if (arg == "--quiet" || arg == "-q") {
      flag(options.quiet);
    } else {
      throw TUsageError{"unknown option " + arg};
    }
  }
  if (!options.settings) throw TUsageError{"give one of --percent, --width and --height"};
  if (!options.haveFolder) throw TUsageError{"FOLDER is missing"};
  // The same refusals the wizard makes before a run.
  if (const auto warning = RunSettingsWarning(*options.settings)) throw TUsageError{*warning};
  if (options.settings->Mode() == TResizeMode::rmPercent && options.settings->P() == 100)
    throw TUsageError{Percent100Warning};
  if (options.jobs == 0) options.jobs = std::max(1u, std::thread::hardware_concurrency());
  return options;
}

// Set by SIGINT / SIGTERM; the run itself watches CancelRequested.
volatile sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
  stopSignal = signal;
  CancelRequested.store(true);
}

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

using Clock = std::chrono::steady_clock;

std::string Elapsed(Clock::duration d) {
  const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
  return text;
}

// At most `width` characters of a UTF-8 text, cut from the left so the end
// of the name, which tells photos of one camera apart, stays visible.
std::string TailColumns(const std::string& text, int width) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  if (static_cast<int>(starts.size()) <= width) return text;
  if (width <= 1) return "";
  return "…" + text.substr(starts[starts.size() - (width - 1)]);
}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The shared state of one run: the queue position and the results. Workers
// touch nothing else that another worker could see, except files: a photo
// named "Resize of x.jpg" beside x.jpg is read by one photo's step and
// written by the other's. Such a pair runs in list order, so it reads what
// the wizard's one-by-one run would have read.
class TParallelRun {
 public:
  TParallelRun(const std::vector<std::string>& photos, const TFixedSettings& settings,
               const TOptions& options)
      : photos_(photos),
        settings_(settings),
        options_(options),
        outcomes_(photos.size()),
        errors_(photos.size()),
        after_(photos.size()) {
    std::unordered_map<std::string, std::size_t> indexOf;
    for (std::size_t i = 0; i < photos.size(); ++i) indexOf.emplace(photos[i], i);
    for (std::size_t i = 0; i < photos.size(); ++i) {
      const auto output = indexOf.find(ResizedPhotoPath(photos[i]));
      if (output == indexOf.end() || output->second == i) continue;
      const auto [first, second] = std::minmax(i, output->second);
      after_[second].push_back(first);
    }
  }

  void Run() {
    started_ = Clock::now();
    const unsigned jobs = std::min<std::size_t>(options_.jobs, photos_.size());
    std::vector<std::thread> workers;
    for (unsigned k = 0; k < jobs; ++k) workers.emplace_back([this] { Work(); });

    const bool terminal = !options_.quiet && ::isatty(STDERR_FILENO);
    std::unique_lock lock(mutex_);
    while (workersDone_ < jobs) {
      changed_.wait_for(lock, std::chrono::milliseconds(200));
      if (terminal)
        DrawBar();
      else if (!options_.quiet)
        PrintLines();
    }
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
    ended_ = Clock::now();
    if (terminal) std::cerr << "\r\033[K" << std::flush;
  }

  std::size_t Written() const { return written_; }
  std::size_t Failed() const { return failures_.size(); }
  const std::vector<std::string>& Failures() const { return failures_; }
  Clock::duration Duration() const { return ended_ - started_; }

 private:
  enum class TOutcome { oPending, oWritten, oUnchanged, oFailed };

  void Work() {
    for (;;) {
      std::size_t index;
      {
        std::unique_lock lock(mutex_);
        if (CancelRequested || stopping_ || next_ >= photos_.size()) break;
        index = next_++;
        const auto ready = [&] {
          return std::all_of(after_[index].begin(), after_[index].end(),
                             [&](std::size_t k) { return outcomes_[k] != TOutcome::oPending; });
        };
        // Wakes on each finished photo; the timeout lets a Ctrl-C through.
        while (!ready() && !CancelRequested && !stopping_)
          changed_.wait_for(lock, std::chrono::milliseconds(200));
        if (!ready()) break;
        current_ = photos_[index];
      }
      TOutcome outcome = TOutcome::oUnchanged;
      std::string error;
      try {
        if (ResizePhoto(photos_[index], settings_)) outcome = TOutcome::oWritten;
      } catch (const std::exception& e) {
        outcome = TOutcome::oFailed;
        error = photos_[index] + ": " + ErrorBoxText(e);
      } catch (...) {
        outcome = TOutcome::oFailed;
        error = photos_[index] + ": " + ErrorBoxText(std::string("Unknown failure"));
      }
      std::lock_guard lock(mutex_);
      outcomes_[index] = outcome;
      errors_[index] = std::move(error);
      finished_.push_back(index);
      ++done_;
      if (outcome == TOutcome::oWritten) ++written_;
      if (outcome == TOutcome::oFailed) {
        failures_.push_back(errors_[index]);
        if (!options_.keepGoing) stopping_ = true;
      }
      changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    ++workersDone_;
    changed_.notify_all();
  }

  double Rate() const {
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    return seconds > 0 ? done_ / seconds : 0.0;
  }

  // Called with the lock held.
  void DrawBar() {
    const int columns = TerminalColumns();
    const std::size_t total = photos_.size();
    const int barWidth = std::clamp(columns / 4, 10, 30);
    const int filled = static_cast<int>(total ? done_ * barWidth / total : barWidth);
    for (; reported_ < finished_.size(); ++reported_) {
      const std::size_t index = finished_[reported_];
      if (outcomes_[index] == TOutcome::oFailed)
        std::cerr << "\r\033[K"
                  << "failed: " << errors_[index] << "\n";
    }
    char counts[160];
    std::snprintf(counts, sizeof counts, "] %zu/%zu  %s  %.1f photos/s  ", done_, total,
                  Elapsed(Clock::now() - started_).c_str(), Rate());
    std::string line =
        "\r[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + counts;
    const int used = barWidth + 1 + static_cast<int>(std::string(counts).size());
    const std::string name = current_.substr(current_.rfind('/') + 1);
    std::cerr << line << TailColumns(name, columns - used - 1) << "\033[K" << std::flush;
  }

  // Called with the lock held.
  void PrintLines() {
    for (; reported_ < finished_.size(); ++reported_) {
      const std::size_t index = finished_[reported_];
      std::cerr << "[" << reported_ + 1 << "/" << photos_.size() << "] ";
      if (outcomes_[index] == TOutcome::oFailed)
        std::cerr << "failed: " << errors_[index] << "\n";
      else
        std::cerr << photos_[index] << "\n";
    }
    std::cerr << std::flush;
  }

  const std::vector<std::string>& photos_;
  const TFixedSettings settings_;
  const TOptions& options_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  bool stopping_ = false;
  unsigned workersDone_ = 0;
  std::vector<TOutcome> outcomes_;
  std::vector<std::string> errors_;              // per photo, as the error box would read
  std::vector<std::vector<std::size_t>> after_;  // earlier photos sharing a file with this one
  std::vector<std::size_t> finished_;
  std::size_t reported_ = 0;
  std::size_t done_ = 0;
  std::size_t written_ = 0;
  std::vector<std::string> failures_;
  std::string current_;
  Clock::time_point started_, ended_;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::cout << Usage << "\n" << Help;
      return ExitOk;
    }
  }

  TOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const TUsageError& error) {
    std::cerr << "vizuvod-batch: " << error.message << "\n"
              << Usage << "Try 'vizuvod-batch --help' for more.\n";
    return ExitUsage;
  }

  const std::vector<std::string> photos = ListPhotoFiles(options.folder);
  if (photos.empty()) {
    std::cerr << options.folder << ": " << NoPhotosWarning << "\n";
    return ExitFailed;
  }

  InstallStopHandlers();
  TParallelRun run(photos, *options.settings, options);
  run.Run();

  const std::size_t total = photos.size();
  if (!options.quiet) {
    const double seconds = std::chrono::duration<double>(run.Duration()).count();
    std::cout << "Written " << run.Written() << " of " << total << " photos in ";
    std::ostringstream figures;
    figures.setf(std::ios::fixed);
    figures.precision(1);
    figures << seconds << " s (" << (seconds > 0 ? run.Written() / seconds : 0.0) << " photos/s)";
    std::cout << figures.str();
    if (run.Failed() > 0) std::cout << "; " << run.Failed() << " failed";
    if (stopSignal != 0) std::cout << "; interrupted";
    std::cout << ".\n";
  }
  if (run.Failed() > 0) {
    std::cerr << (options.keepGoing ? "Failed photos:\n" : "Stopped at a failing photo:\n");
    for (const std::string& failure : run.Failures()) std::cerr << "  " << failure << "\n";
  }

  if (stopSignal != 0) return 128 + stopSignal;
  return run.Failed() == 0 && run.Written() == total ? ExitOk : ExitFailed;
}
