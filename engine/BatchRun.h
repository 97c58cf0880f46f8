// The batch resize run: every photo of the scanned list is loaded, decoded,
// shrunk or enlarged to the size page 2 asks for, encoded and saved beside
// itself as "Resize of <name>".
//
// The run reaches the window only through TBatchWindow, so the wizard and
// vizuvod-batch drive the same code and a test can drive it with a fake
// window. ProcessPhoto is one photo's step on its own, which is what lets
// vizuvod-batch process photos in parallel and still write the same bytes;
// ResizePhoto is that step as the wizard takes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PhotoScan.h"
#include "RowHooks.h"

namespace vizuvod {

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

// The path of one result, given the photo's path and the result's size
// (known only once the photo's header is read).
using TResultNamer = std::function<std::string(const std::string& photo, int width, int height)>;

// One result to make of a photo.
struct TResultRequest {
  // Read afresh at each step, as the wizard reads its page; not owned, and it
  // must outlive the step.
  const TRunSettings* settings = nullptr;
  // Empty: "Resize of <name>" beside the photo, as the wizard names it.
  TResultNamer path;
  // The JPEG quality of the result; 0 keeps the codec's default.
  int quality = 0;
  // When set, it stands for settings: the settings for a photo of this size
  // (upright when auto-orienting), for sizes that depend on the photo.
  std::function<TFixedSettings(int width, int height)> settingsFor;
};

struct TResultOutcome {
  std::string path;
  int width = 0, height = 0;
  std::uintmax_t bytes = 0;  // 0 when planned only
};

struct TPhotoOutcome {
  int width = 0, height = 0;            // the photo's own size, from its header
  std::uintmax_t bytes = 0;             // the photo file's size
  std::vector<TResultOutcome> results;  // the results written, or planned
  // The library's warnings when it completed damaged data (a cut, corrupt
  // bytes): the results were written from what it could read.
  std::vector<std::string> warnings;
  // Metadata that could not be read or written; the results are made anyway.
  std::vector<std::string> metadataWarnings;
};

// One photo and the results to make of it: each result starts from the
// decoded photo, so several sizes cost one decode.
struct TPhotoRequest {
  std::string photo;
  std::vector<TResultRequest> results;
  // When set, it is called once the header is read, with each result's size
  // and path planned from the settings as they read then (the photo's
  // size, no bytes out). Returning false ends the step there: nothing is
  // decoded or written (a dry run, or a result that is already there). It
  // may throw to refuse the photo. The wizard sets none: its photos are
  // decoded before anything else is looked at.
  std::function<bool(const TPhotoOutcome& plan)> proceed;
  // Refuse a photo the library had to complete (EDamagedPhoto) instead of
  // writing results from it. The wizard writes them, as it always has.
  bool refuseDamaged = false;
  // The photo's EXIF, XMP, IPTC and ICC profile go into each result, with
  // the EXIF pixel size set to the result's and the EXIF thumbnail dropped.
  bool keepMetadata = false;
  // The EXIF orientation is applied to the decoded pixels before resizing,
  // so sizes mean the upright picture's sides; a kept tag then says 1.
  bool autoOrient = false;
};

// One photo's step: load, decode, resample by each result's settings, encode,
// save. The images live only inside the call. A percentage of 100 or an
// unknown fit-side text gives no result. Failures pass out as the engine's
// exceptions; EInvalidArgument with the settings warning when the settings
// read here are 0 or less. Results saved before a failure stay.
TPhotoOutcome ProcessPhoto(const TPhotoRequest& request, const TRowHooks& hooks = {});

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
