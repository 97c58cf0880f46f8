// The batch resize run and its per-photo step. The target-size arithmetic is
// done in extended precision with round-half-even, as on the platform the
// wizard first shipped on, so the sizes (and therefore the bytes) match.
#include "BatchRun.h"

#include <cmath>
#include <memory>

#include "Bitmap.h"
#include "EnlargeBitmap.h"
#include "Errors.h"
#include "JpegImage.h"
#include "ShrinkBitmap.h"

std::atomic<bool> CancelRequested{false};

static_assert(std::atomic<bool>::is_always_lock_free,
              "CancelRequested is set from a signal handler");

namespace {

const char* const PercentNotPositiveWarning =
    "Измените значение \"Процент от оригинала\": процент должен быть больше нуля.";
const char* const PixelsNotPositiveWarning =
    "Измените значение \"размер\": размер в пикселях должен быть больше нуля.";

bool runActive = false;

// Round to nearest, halves to even, in the precision the value carries.
int RoundHalfEven(long double value) { return static_cast<int>(std::nearbyint(value)); }

// A side that rounds to 0 (1 % of a photo 40 rows high) would leave the
// resampler without a picture; the thinnest picture that exists is 1.
int AtLeastOne(int side) { return side < 1 ? 1 : side; }

void Save(TJPEGImage& J, const std::string& path) { J.SaveToFile(ResizedPhotoPath(path)); }

}  // namespace

TFixedSettings TFixedSettings::Percent(int p) {
  TFixedSettings s;
  s.mode = TResizeMode::rmPercent;
  s.percent = p;
  return s;
}

TFixedSettings TFixedSettings::FitWidth(int n) {
  TFixedSettings s;
  s.mode = TResizeMode::rmPixels;
  s.pixels = n;
  s.fitSide = FitWidthItem;
  return s;
}

TFixedSettings TFixedSettings::FitHeight(int n) {
  TFixedSettings s = FitWidth(n);
  s.fitSide = FitHeightItem;
  return s;
}

std::optional<std::string> RunSettingsWarning(const TRunSettings& settings) {
  if (settings.Mode() == TResizeMode::rmPercent) {
    if (settings.P() <= 0) return PercentNotPositiveWarning;
  } else if (settings.N() <= 0) {
    return PixelsNotPositiveWarning;
  }
  return std::nullopt;
}

std::string ResizedPhotoPath(const std::string& path) {
  const std::size_t cut = path.rfind('/') + 1;  // 0 when there is no '/'
  return path.substr(0, cut) + "Resize of " + path.substr(cut);
}

bool ResizePhoto(const std::string& path, const TRunSettings& settings, const TRowHooks& hooks) {
  auto S = std::make_shared<TBitmap>();
  TBitmap D;
  TBitmap* R = nullptr;
  TJPEGImage J;
  J.LoadFromFile(path);
  S->Assign(J);

  bool written = false;

  // Each case reads the settings afresh: the resamplers pump messages, and a
  // change made meanwhile counts from the next case on.
  if (settings.Mode() == TResizeMode::rmPercent && settings.P() < 100) {
    const int P = settings.P();
    if (P <= 0) throw EInvalidArgument(PercentNotPositiveWarning);
    const long double scale = P / 100.0L;
    D.SetSize(AtLeastOne(RoundHalfEven(S->Width() * scale)),
              AtLeastOne(RoundHalfEven(S->Height() * scale)));
    ShrinkBitmap(*S, D, R, hooks);
    J.Assign(*R);
    Save(J, path);
    written = true;
  }

  if (settings.Mode() == TResizeMode::rmPercent && settings.P() > 100) {
    const float scale = static_cast<float>(settings.P() / 100.0L);
    EnlargeBitmap(S, "percent", scale, scale, 0, 0, hooks);
    J.Assign(*S);
    Save(J, path);
    written = true;
  }

  if (settings.Mode() == TResizeMode::rmPixels &&
      settings.FitSideText() == settings.FitSideItem(0)) {
    const int N = settings.N();
    if (N <= 0) throw EInvalidArgument(PixelsNotPositiveWarning);
    if (S->Width() > N) {
      const long double ratio = static_cast<long double>(N) / S->Width();
      D.SetSize(N, AtLeastOne(RoundHalfEven(ratio * S->Height())));
      ShrinkBitmap(*S, D, R, hooks);
      J.Assign(*R);
    } else {
      EnlargeBitmap(S, "size", 0, 0, static_cast<float>(N), 0, hooks);
      J.Assign(*S);
    }
    Save(J, path);
    written = true;
  }

  if (settings.Mode() == TResizeMode::rmPixels &&
      settings.FitSideText() == settings.FitSideItem(1)) {
    const int N = settings.N();
    if (N <= 0) throw EInvalidArgument(PixelsNotPositiveWarning);
    if (S->Height() > N) {
      const long double ratio = static_cast<long double>(N) / S->Height();
      D.SetSize(AtLeastOne(RoundHalfEven(ratio * S->Width())), N);
      ShrinkBitmap(*S, D, R, hooks);
      J.Assign(*R);
    } else {
      EnlargeBitmap(S, "size", 0, 0, 0, static_cast<float>(N), hooks);
      J.Assign(*S);
    }
    Save(J, path);
    written = true;
  }

  return written;
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

  const TRowHooks hooks{[&window](int position) { window.SetPhotoProgress(position); },
                        [&window] { window.ProcessMessages(); }};

  for (std::int32_t i = 1; i <= count; ++i) {
    window.SetOverallProgress(RoundHalfEven(static_cast<long double>(i) * 100 / count));
    window.ProcessMessages();
    if (CancelRequested) return TRunResult::rrCancelled;

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
