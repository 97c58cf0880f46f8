// The wizard's run over the scanned list (BatchResizeRun), reaching the
// window only through TBatchWindow so a test can drive it with a fake one.
// Without options each photo is the design's step, ResizePhoto: one result
// beside the photo, named "Resize of <name>". With the "Параметры" menu's
// options the window gives a TOptionedRun, which makes each photo's request
// as vizuvod-batch would and runs it through the same per-photo step
// (PhotoStep.h); its failures and outcomes are reported to the window. Also the error box's text
// rule both programs share (ErrorBoxText).
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/RowHooks.h"
#include "photo/PhotoScan.h"
#include "photo/PhotoStep.h"
#include "photo/ResizeSettings.h"

namespace vizuvod {

// Set by "Отменить процесс" (or Ctrl-C in vizuvod-batch), cleared when a run
// starts, read before each photo. Lock-free, so a signal handler may set it.
extern std::atomic<bool> CancelRequested;

// A run under the window's options (app/WindowOptions makes it of the
// "Параметры" menu): each photo's work beyond page 2's settings.
class TOptionedRun {
 public:
  virtual ~TOptionedRun() = default;
  // Photo i of the run's list, by the page as it read when the photo
  // started. Throws the engine's exceptions to fail the photo.
  virtual TPhotoOutcome Resize(std::size_t i, const TRunSettings& settings,
                               const TRowHooks& hooks) = 0;
  // A failing photo is listed and the run goes on.
  virtual bool KeepGoing() const = 0;
};

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
  // The run under the options of the "Параметры" menu, made once as the run
  // starts, over its list; none (the default) for the design's run. Its
  // exceptions (a result folder that cannot be opened) end the run.
  virtual std::unique_ptr<TOptionedRun> OptionsRun(const std::vector<std::string>& /*photos*/) {
    return nullptr;
  }
  // What a photo written under options did not carry or had to complete.
  virtual void PhotoWarnings(const std::string& /*photo*/,
                             const std::vector<TPhotoWarning>& /*warnings*/) {}
  // A photo of a run under options is done: what was written and its
  // warnings. The default passes the warnings on.
  virtual void PhotoDone(const std::string& photo, const TPhotoOutcome& outcome) {
    PhotoWarnings(photo, outcome.warnings);
  }
  // A photo of a run under options failed with this text (the engine's, as
  // the error box shows it). With keepGoing the run goes on with the next
  // photo; without, it ends with rrFailed.
  virtual void PhotoFailed(const std::string& /*photo*/, const std::string& /*error*/) {}
  // Runs one photo's work of a run under options, with hooks for its rows.
  // The default runs it here: the bar moves and messages are pumped per row.
  // A window may run it on another thread and keep itself alive meanwhile;
  // the work then reads nothing of the window (its settings were read as the
  // photo started). The work's exceptions pass out of here.
  virtual void RunPhoto(const std::function<void(const TRowHooks&)>& work) {
    work(TRowHooks{[this](int position) { SetPhotoProgress(position); },
                   [this] { ProcessMessages(); }});
  }
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
  rrFailed,     // under options, a photo failed (PhotoFailed) without keepGoing
};

// The click on "Начать процесс авторесайза": the whole run over a copy of the
// list taken at its start. Exceptions end the run at the failing photo, with
// the bars and the counter left as that photo's step set them. Under options
// a photo's failure goes to PhotoFailed instead, and ends the run (rrFailed)
// unless the options keep going; then the counter counts the failed photo too.
TRunResult BatchResizeRun(TBatchWindow& window);

// True while BatchResizeRun is on the stack.
bool BatchRunActive();

// The text the error box shows for a failure: the message with a full stop
// appended when its last character sorts after '.'.
std::string ErrorBoxText(const std::string& message);
std::string ErrorBoxText(const std::exception& error);

}  // namespace vizuvod
