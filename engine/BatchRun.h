// The batch resize run: every photo of the scanned list is loaded, decoded,
// shrunk or enlarged to the size page 2 asks for, encoded and saved beside
// itself as "Resize of <name>".
//
// The run reaches the window only through TBatchWindow, so the wizard and
// vizuvod-batch drive the same code and a test can drive it with a fake
// window. ResizePhoto is one photo's step on its own, which is what lets
// vizuvod-batch process photos in parallel and still write the same bytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "PhotoScan.h"
#include "RowHooks.h"

// Set by "Отменить процесс" (or Ctrl-C in vizuvod-batch), cleared when a run
// starts, read before each photo. Lock-free, so a signal handler may set it.
extern std::atomic<bool> CancelRequested;

enum class TResizeMode {
  rmPercent,  // "Процент от оригинала:" is checked
  rmPixels,   // "Размер в пикселях:" is checked
};

// The settings of page 2. The run reads them anew each time a step tests or
// uses one, so a change made while messages are pumped counts from the next
// reading on.
class TRunSettings {
 public:
  virtual ~TRunSettings() = default;
  virtual TResizeMode Mode() const = 0;
  virtual int P() const = 0;  // the percentage field
  virtual int N() const = 0;  // the pixel size field
  // The text of "Сохранять пропорции по:" and its items 0 and 1.
  virtual std::string FitSideText() const = 0;
  virtual std::string FitSideItem(int index) const = 0;
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
};

// The two items of the fit-side box.
inline constexpr const char* FitWidthItem = "По ширине";
inline constexpr const char* FitHeightItem = "По высоте";

// Settings fixed once, for vizuvod-batch and tests.
class TFixedSettings : public TRunSettings {
 public:
  TResizeMode mode = TResizeMode::rmPercent;
  int percent = 0;
  int pixels = 0;
  std::string fitSide;

  static TFixedSettings Percent(int p);
  static TFixedSettings FitWidth(int n);
  static TFixedSettings FitHeight(int n);

  TResizeMode Mode() const override { return mode; }
  int P() const override { return percent; }
  int N() const override { return pixels; }
  std::string FitSideText() const override { return fitSide; }
  std::string FitSideItem(int index) const override {
    return index == 0 ? FitWidthItem : index == 1 ? FitHeightItem : "";
  }
};

// The warning shown instead of running when the active mode's value is 0 or
// less; empty when the settings can run. A percentage of 100 passes here: the
// settings page refuses it with its own warning, and a run with it writes nothing.
std::optional<std::string> RunSettingsWarning(const TRunSettings& settings);

// "<folder>/Resize of <name>" for "<folder>/<name>": the text up to and
// including the last '/', the prefix, then the rest.
std::string ResizedPhotoPath(const std::string& path);

// One photo's step: load, decode, resample by the settings, encode, save. The
// images live only inside the call. Returns true when a file was written
// (a percentage of 100 or an unknown fit-side text writes nothing). Failures
// pass out as the engine's exceptions; EInvalidArgument with the settings
// warning when the settings read here are 0 or less.
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
