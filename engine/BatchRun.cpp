// The batch resize run and its per-photo step. The target-size arithmetic is
// done in extended precision with round-half-even, as on the platform the
// wizard first shipped on, so the sizes (and therefore the bytes) match.
#include "BatchRun.h"

#include <cmath>
#include <memory>

#include "Bitmap.h"
#include "EnlargeArithmetic.h"
#include "EnlargeBitmap.h"
#include "Errors.h"
#include "JpegImage.h"
#include "Orientation.h"
#include "PhotoMetadata.h"
#include "ShrinkBitmap.h"
#include "Warnings.h"

namespace vizuvod {

std::atomic<bool> CancelRequested{false};

static_assert(std::atomic<bool>::is_always_lock_free,
              "CancelRequested is set from a signal handler");

namespace {

bool runActive = false;

// Round to nearest, halves to even, in the precision the value carries.
int RoundHalfEven(long double value) { return static_cast<int>(std::nearbyint(value)); }

// A side that rounds to 0 (1 % of a photo 40 rows high) would leave the
// resampler without a picture; the thinnest picture that exists is 1.
int AtLeastOne(int side) { return side < 1 ? 1 : side; }

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

namespace {

// One of the step's four cases as the settings select it, for a source of
// the given size: a shrink into width x height, or an enlargement by
// EnlargeBitmap's arguments (whose size it computes the way EnlargeBitmap
// does, failing the same way).
struct TCase {
  bool shrink = false;
  int width = 0, height = 0;
  const char* mode = "";
  float scaleX = 0, scaleY = 0, toWidth = 0, toHeight = 0;
};

// Cases 0-3: percentage below 100, percentage above 100, fit the width, fit
// the height. Each reads the settings afresh: the resamplers pump messages,
// and a change made meanwhile counts from the next case on.
std::optional<TCase> SelectCase(int k, const TRunSettings& settings, int SW, int SH) {
  TCase c;
  auto enlarge = [&](const char* mode, float scaleX, float scaleY, float toWidth, float toHeight) {
    c.mode = mode;
    c.scaleX = scaleX, c.scaleY = scaleY, c.toWidth = toWidth, c.toHeight = toHeight;
    const auto g = enlarge_detail::Geometry(mode, scaleX, scaleY, toWidth, toHeight, SW, SH);
    c.width = g.EW, c.height = g.EH;
  };
  const bool percent = settings.Mode() == TResizeMode::rmPercent;
  if (k == 0 && percent && settings.P() < 100) {
    const int P = settings.P();
    if (P <= 0) throw EInvalidArgument(PercentNotPositiveWarning);
    const long double scale = P / 100.0L;
    c.shrink = true;
    c.width = AtLeastOne(RoundHalfEven(SW * scale));
    c.height = AtLeastOne(RoundHalfEven(SH * scale));
    return c;
  }
  if (k == 1 && percent && settings.P() > 100) {
    const float scale = static_cast<float>(settings.P() / 100.0L);
    enlarge("percent", scale, scale, 0, 0);
    return c;
  }
  const bool width = k == 2, height = k == 3;
  if (percent || !(width || height) ||
      settings.FitSideText() != settings.FitSideItem(width ? 0 : 1))
    return std::nullopt;
  const int N = settings.N();
  if (N <= 0) throw EInvalidArgument(PixelsNotPositiveWarning);
  const int along = width ? SW : SH, across = width ? SH : SW;
  if (along > N) {
    const long double ratio = static_cast<long double>(N) / along;
    const int other = AtLeastOne(RoundHalfEven(ratio * across));
    c.shrink = true;
    c.width = width ? N : other;
    c.height = width ? other : N;
  } else if (width) {
    enlarge("size", 0, 0, static_cast<float>(N), 0);
  } else {
    enlarge("size", 0, 0, 0, static_cast<float>(N));
  }
  return c;
}

bool SameSettings(const TFixedSettings& a, const TFixedSettings& b) {
  return a.mode == b.mode && a.percent == b.percent && a.pixels == b.pixels &&
         a.fitSide == b.fitSide;
}

std::string ResultPath(const TResultRequest& result, const std::string& photo, int width,
                       int height) {
  return result.path ? result.path(photo, width, height) : ResizedPhotoPath(photo);
}

// The one case of a photo's step that can be made without its decoded
// picture held whole (a shrink straight from the decoder's rows) or without
// the result held whole (an enlargement straight into the encoder): one
// result, one case its settings select, the photo stored upright.
struct TStreamedCase {
  std::size_t result = 0;
  int k = 0;
  TCase c;
};

template <class SettingsOf>
std::optional<TStreamedCase> StreamedCase(const std::vector<bool>& repeated,
                                          const SettingsOf& settingsOf, int SW, int SH) {
  std::optional<TStreamedCase> only;
  for (std::size_t i = 0; i < repeated.size(); ++i) {
    if (repeated[i]) continue;
    if (only) return std::nullopt;  // several results share the decoded photo
    try {
      for (int k = 0; k < 4; ++k)
        if (const auto c = SelectCase(k, settingsOf(i), SW, SH)) {
          if (only) return std::nullopt;
          only = TStreamedCase{i, k, *c};
        }
    } catch (const std::exception&) {
      return std::nullopt;  // it fails as it always has, once the photo is decoded
    }
  }
  if (only && !only->c.shrink && !TJPEGRowWriter::Takes(only->c.width, only->c.height))
    return std::nullopt;
  return only;
}

}  // namespace

TPhotoOutcome ProcessPhoto(const TPhotoRequest& request, const TRowHooks& hooks) {
  TPhotoOutcome outcome;
  TJPEGImage J;
  J.LoadFromFile(request.photo);
  outcome.width = J.Width();
  outcome.height = J.Height();
  outcome.bytes = J.Data() ? J.Data()->bytes.size() : 0;

  // Read from the bytes already loaded; metadata that cannot be read costs
  // a warning, never the photo.
  TPhotoMetadata metadata;
  if (request.keepMetadata || request.autoOrient) {
    metadata = TPhotoMetadata::Read(J.Data()->bytes);
    if (!metadata.Warning().empty()) outcome.metadataWarnings.push_back(metadata.Warning());
  }
  const int orientation = request.autoOrient ? metadata.Orientation() : UprightOrientation;
  const int uprightWidth = SwapsSides(orientation) ? outcome.height : outcome.width;
  const int uprightHeight = SwapsSides(orientation) ? outcome.width : outcome.height;
  std::vector<TFixedSettings> resolved(request.results.size());
  for (std::size_t i = 0; i < request.results.size(); ++i)
    if (request.results[i].settingsFor)
      resolved[i] = request.results[i].settingsFor(uprightWidth, uprightHeight);
  auto settingsOf = [&](std::size_t i) -> const TRunSettings& {
    return request.results[i].settingsFor ? resolved[i] : *request.results[i].settings;
  };
  // Two sizes may come to the same for a photo (a long edge of 2048 and of
  // 1024 for a small photo not enlarged): same settings and name, same
  // bytes, so the later one is skipped instead of written twice. Equal
  // settings give equal sizes, so the names compare alike at any size.
  std::vector<bool> repeated(request.results.size());
  for (std::size_t i = 0; i < request.results.size(); ++i)
    for (std::size_t j = 0; j < i && request.results[i].settingsFor; ++j)
      if (request.results[j].settingsFor && SameSettings(resolved[i], resolved[j]) &&
          ResultPath(request.results[i], request.photo, 0, 0) ==
              ResultPath(request.results[j], request.photo, 0, 0))
        repeated[i] = true;

  // A file without a header (zero bytes) has no size to plan with; its
  // decoding below fails with the codec's own reason.
  if (request.proceed && outcome.width > 0 && outcome.height > 0) {
    TPhotoOutcome plan = outcome;
    for (std::size_t i = 0; i < request.results.size(); ++i)
      for (int k = 0; k < 4 && !repeated[i]; ++k)
        if (const auto c = SelectCase(k, settingsOf(i), uprightWidth, uprightHeight))
          plan.results.push_back(
              {ResultPath(request.results[i], request.photo, c->width, c->height), c->width,
               c->height, 0});
    if (!request.proceed(plan)) return plan;
  }

  auto takeWarnings = [&] {
    outcome.warnings = J.Warnings();
    if (request.refuseDamaged && !outcome.warnings.empty())
      throw EDamagedPhoto(outcome.warnings.front());
  };
  // The decoded photo, made when first needed: a streamed case never needs
  // it unless the settings change while it pumps messages.
  std::shared_ptr<TBitmap> source;
  auto decoded = [&] {
    if (!source) {
      source = std::make_shared<TBitmap>();
      source->Assign(J);
      takeWarnings();
      if (orientation != UprightOrientation) *source = OrientedBitmap(*source, orientation);
    }
    return source;
  };
  const std::optional<TStreamedCase> streamed =
      orientation == UprightOrientation && J.settings.scale == 0 && outcome.width > 0 &&
              outcome.height > 0
          ? StreamedCase(repeated, settingsOf, outcome.width, outcome.height)
          : std::nullopt;
  if (!streamed) decoded();

  const int defaultQuality = J.settings.compressionQuality;
  for (std::size_t i = 0; i < request.results.size(); ++i) {
    if (repeated[i]) continue;
    const TResultRequest& result = request.results[i];
    J.settings.compressionQuality = result.quality > 0 ? result.quality : defaultQuality;
    auto save = [&](int width, int height, const std::vector<std::uint8_t>& encoded) {
      TResultOutcome written{ResultPath(result, request.photo, width, height), width, height, 0};
      if (request.keepMetadata) {
        std::string warning;
        const std::vector<std::uint8_t> bytes =
            metadata.WrittenInto(encoded, width, height, request.autoOrient, warning);
        if (!warning.empty()) outcome.metadataWarnings.push_back(warning);
        J.SaveBytesToFile(written.path, bytes);
        written.bytes = bytes.size();
      } else {
        J.SaveBytesToFile(written.path, encoded);
        written.bytes = encoded.size();
      }
      outcome.results.push_back(std::move(written));
    };
    // EnlargeBitmap replaces S and leaves the decoded photo to the next result.
    std::shared_ptr<TBitmap> S = source;
    const TCase* enlargedInStream = nullptr;
    for (int k = 0; k < 4; ++k) {
      if (streamed && streamed->result == i && k <= streamed->k) {
        // The cases before it were read just now and selected nothing.
        if (k < streamed->k) continue;
        const TCase& c = streamed->c;
        if (c.shrink) {
          TJPEGRowReader rows(J);
          TBitmap D;
          TBitmap* R = nullptr;
          D.SetSize(c.width, c.height);
          ShrinkRows(
              rows.Width(), rows.Height(), [&rows](int) { return rows.ReadBgr(); },
              [&] {
                rows.Finish();
                takeWarnings();
              },
              D, R, hooks);
          save(R->Width(), R->Height(), J.EncodedBytesOf(*R));
        } else {
          auto geometry = [&c](int SW, int SH) {
            return enlarge_detail::Geometry(c.mode, c.scaleX, c.scaleY, c.toWidth, c.toHeight, SW,
                                            SH);
          };
          // Set up with the first row, after the calls that came before the
          // encoding when the picture was held whole.
          std::optional<TJPEGRowWriter> writer;
          enlarge_detail::TEnlargeGeometry g;
          auto encode = [&](const std::uint8_t* row) {
            if (!writer) writer.emplace(J.settings, g.EW, g.EH, TPixelFormat::pfDevice);
            writer->Write(row);
          };
          // Straight from the decoder's rows as well when decoding cannot
          // fail or refuse the photo once the first progress is shown.
          if (!request.refuseDamaged && J.FailsOnlyBeforeItsRows()) {
            TJPEGRowReader rows(J);
            g = geometry(rows.Width(), rows.Height());
            EnlargeRows(
                rows.Width(), rows.Height(), [&rows](int) { return rows.ReadBgr(); },
                [&] {
                  rows.Finish();
                  takeWarnings();
                },
                g, encode, hooks);
          } else {
            const std::shared_ptr<TBitmap> photo = decoded();
            g = geometry(photo->Width(), photo->Height());
            EnlargeRows(*photo, g, encode, hooks);
          }
          save(g.EW, g.EH, writer->Finish());
          enlargedInStream = &c;
        }
        continue;
      }
      // Until a case needs it, a streamed result's picture is known by its
      // size alone.
      const int SW = S ? S->Width() : enlargedInStream ? enlargedInStream->width : uprightWidth;
      const int SH = S ? S->Height() : enlargedInStream ? enlargedInStream->height : uprightHeight;
      const auto c = SelectCase(k, settingsOf(i), SW, SH);
      if (!c) continue;
      if (!S) {
        S = decoded();
        // A case after a streamed enlargement starts, as it always has,
        // from the enlarged picture.
        if (enlargedInStream) {
          const TCase& e = *enlargedInStream;
          EnlargeBitmap(S, e.mode, e.scaleX, e.scaleY, e.toWidth, e.toHeight);
        }
      }
      TBitmap D;
      TBitmap* R = nullptr;
      if (c->shrink) {
        // ShrinkBitmap converts a palette source to 24 bits in place; a copy
        // (sharing the pixels otherwise) keeps the decoded photo as it was.
        TBitmap from = *S;
        D.SetSize(c->width, c->height);
        ShrinkBitmap(from, D, R, hooks);
      } else {
        EnlargeBitmap(S, c->mode, c->scaleX, c->scaleY, c->toWidth, c->toHeight, hooks);
        R = S.get();
      }
      save(R->Width(), R->Height(), J.EncodedBytesOf(*R));
    }
  }
  return outcome;
}

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

}  // namespace vizuvod
