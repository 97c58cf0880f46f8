// vizuvod-batch: the wizard's resize run without a window. It scans the
// folder the way page 1 does and runs each photo through the same per-photo
// step as the wizard, several photos at a time (ParallelRun); the options
// are read in BatchOptions, the progress and summary shown by Progress.
#include <signal.h>

#include <iostream>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "ParallelRun.h"
#include "PhotoJob.h"
#include "PhotoScan.h"
#include "Progress.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

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

}  // namespace

int main(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::cout << UsageText << "\n" << HelpText;
    return ExitOk;
  }

  TOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const TUsageError& error) {
    std::cerr << "vizuvod-batch: " << error.message << "\n"
              << UsageText << "Try 'vizuvod-batch --help' for more.\n";
    return ExitUsage;
  }

  const std::vector<std::string> photos = ListPhotoFiles(options.folder);
  if (photos.empty()) {
    std::cerr << options.folder << ": " << NoPhotosWarning << "\n";
    return ExitFailed;
  }

  InstallStopHandlers();
  TProgress progress(photos.size(), options.quiet);
  TParallelRun run(photos, SharedFileOrder(photos, ResizedPhotoPath),
                   {options.jobs, options.keepGoing},
                   [&](std::size_t index) { return RunPhotoJob(photos[index], options); },
                   progress);
  run.Run();

  TSummary summary;
  summary.written = run.Written();
  summary.total = photos.size();
  summary.seconds = std::chrono::duration<double>(run.Duration()).count();
  summary.failures = run.Failures();
  summary.keepGoing = options.keepGoing;
  summary.interrupted = stopSignal != 0;
  PrintSummary(summary, options.quiet);

  if (stopSignal != 0) return 128 + stopSignal;
  return summary.failures.empty() && summary.written == summary.total ? ExitOk : ExitFailed;
}
