// The batch resize run: every photo of the scanned list is loaded, decoded,
// shrunk or enlarged to the size page 2 asks for, encoded and saved beside
// itself as "Resize of <name>".
//
// The run reaches the window only through TBatchWindow, so a test can drive
// it with a fake window. Each photo goes through the per-photo step
// (PhotoStep.h) that vizuvod-batch drives too, so both write the same bytes.
#pragma once

#include <atomic>
#include <exception>
#include <string>

#include "PhotoScan.h"
#include "PhotoStep.h"
#include "ResizeSettings.h"
#include "RowHooks.h"
#include "WindowOptions.h"

namespace vizuvod {

// Set by "Отменить процесс" (or Ctrl-C in vizuvod-batch), cleared when a run
// starts, read before each photo. Lock-free, so a signal handler may set it.
extern std::atomic<bool> CancelRequested;

// What the run needs of the window besides the settings.
class TBatchWindow : public TRunSettings {
 public:
  // ProgressBar1, 0-100.
  virtual void SetOverallProgress(int position) = 0;
  // The label beside "Обработано фотографий:".
  virtual void SetProcessedCount(const std::string& text) = 0;
  // ProgressBar2, 0-100; the resamplers move it once per row.
  virtual void SetPhotoProgress(int position) = 0;
  virtual void ProcessMessages() = 0;
  // The options of the "Параметры" menu, read once as the run starts; the
  // default asks for nothing beyond the design.
  virtual TWindowOptions Options() const { return {}; }
  // What a photo written under options did not carry or had to complete.
  virtual void PhotoWarnings(const std::string& /*photo*/,
                             const std::vector<TPhotoWarning>& /*warnings*/) {}
};

// The wizard's step: ProcessPhoto with one result by `settings`, named
// "Resize of <name>". Returns true when a file was written.
bool ResizePhoto(const std::string& path, const TRunSettings& settings,
                 const TRowHooks& hooks = {});

enum class TRunResult {
  rrFinished,   // every photo of the list was processed
  rrCancelled,  // CancelRequested was seen before a photo
  rrEmpty,      // the list was empty
  rrRefused,    // RunSettingsWarning gave a warning; nothing was touched
  rrIgnored,    // a run was already active (Start pressed again while pumping)
};

// The click on "Начать процесс авторесайза": the whole run over a copy of the
// list taken at its start. Exceptions end the run at the failing photo, with
// the bars and the counter left as that photo's step set them.
TRunResult BatchResizeRun(TBatchWindow& window);

// True while BatchResizeRun is on the stack.
bool BatchRunActive();

// The text the error box shows for a failure: the message with a full stop
// appended when its last character sorts after '.'.
std::string ErrorBoxText(const std::string& message);
std::string ErrorBoxText(const std::exception& error);

}  // namespace vizuvod
