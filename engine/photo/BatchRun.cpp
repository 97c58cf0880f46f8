// The wizard's batch run over the photo list.
#include "photo/BatchRun.h"

#include <cmath>
#include <new>
#include <optional>

namespace vizuvod {

std::atomic<bool> CancelRequested{false};

static_assert(std::atomic<bool>::is_always_lock_free,
              "CancelRequested is set from a signal handler");

namespace {

bool runActive = false;

// Round to nearest, halves to even, in the precision the value carries.
int RoundHalfEven(long double value) { return static_cast<int>(std::nearbyint(value)); }

// The page as it reads now, for a photo whose work may run away from the
// window: the fit side in the engine's words when it is one of the window's
// items, else a text that matches none, as it matches none on the page.
TFixedSettings SettingsNow(const TRunSettings& window) {
  TFixedSettings s;
  s.mode = window.Mode();
  s.percent = window.P();
  s.pixels = window.N();
  s.fitSide = window.FitSideText();
  const char* const items[3] = {FitWidthItem, FitHeightItem, LongEdgeItem};
  for (int i = 0; i < 3; ++i)
    if (const std::string item = window.FitSideItem(i); !item.empty() && item == s.fitSide)
      return s.fitSide = items[i], s;
  s.fitSide.clear();
  return s;
}

// One photo under options; false when it failed.
bool RunOptionsPhoto(TBatchWindow& window, TOptionedRun& run, std::size_t i,
                     const std::string& photo) {
  const TFixedSettings settings = SettingsNow(window);
  std::string failure;
  try {
    TPhotoOutcome outcome;
    window.RunPhoto([&](const TRowHooks& hooks) { outcome = run.Resize(i, settings, hooks); });
    window.PhotoDone(photo, outcome);
    return true;
  } catch (const std::bad_alloc&) {
    failure = "Out of memory";
  } catch (const std::exception& error) {
    failure = error.what();
  }
  window.PhotoFailed(photo, failure);
  return false;
}

}  // namespace

bool ResizePhoto(const std::string& path, const TRunSettings& settings, const TRowHooks& hooks) {
  TPhotoRequest request;
  request.photo = path;
  request.results.push_back({&settings, {}, 0, {}});
  return !ProcessPhoto(request, hooks).results.empty();
}

bool BatchRunActive() { return runActive; }

TRunResult BatchResizeRun(TBatchWindow& window) {
  // Start can be clicked again while this run pumps messages; the second
  // click must not start a run inside the first.
  if (runActive) return TRunResult::rrIgnored;
  if (RunSettingsWarning(window)) return TRunResult::rrRefused;

  runActive = true;
  struct Guard {
    ~Guard() { runActive = false; }
  } guard;

  CancelRequested = false;
  // A scan made while this run pumps messages refills the list; the run keeps
  // to the photos it started with, and the new list serves the next run.
  const std::int32_t count = PhotoCount;
  if (count <= 0) return TRunResult::rrEmpty;
  const std::vector<std::string> photos(PhotoFiles.begin(), PhotoFiles.begin() + count);

  // Options other than none go their own way; with none the run is the
  // design's, photo for photo.
  const std::unique_ptr<TOptionedRun> optioned = window.OptionsRun(photos);

  const TRowHooks hooks{[&window](int position) { window.SetPhotoProgress(position); },
                        [&window] { window.ProcessMessages(); }};

  for (std::int32_t i = 1; i <= count; ++i) {
    window.SetOverallProgress(RoundHalfEven(static_cast<long double>(i) * 100 / count));
    window.ProcessMessages();
    if (CancelRequested) return TRunResult::rrCancelled;

    if (optioned) {
      if (!RunOptionsPhoto(window, *optioned, i - 1, photos[i - 1]) && !optioned->KeepGoing())
        return TRunResult::rrFailed;
    } else
      ResizePhoto(photos[i - 1], window, hooks);

    window.SetProcessedCount(std::to_string(i));
    window.ProcessMessages();
  }
  return TRunResult::rrFinished;
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

std::string ErrorBoxText(const std::exception& error) {
  return ErrorBoxText(std::string(error.what()));
}

}  // namespace vizuvod
