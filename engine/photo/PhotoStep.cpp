// One photo's road. The plan decides once which results are made and how:
// a photo with one result to make, stored upright, is not held whole where it
// need not be (a shrink averages the decoder's rows as they come, an
// enlargement hands each row it makes to the encoder and reads the
// decoder's rows as it needs them when decoding can no longer fail once rows
// come out); otherwise every result starts from the decoded picture. Both
// roads give the same bytes, progress calls and failures.
#include "photo/PhotoStep.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "colour/Colour.h"
#include "core/Bitmap.h"
#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"
#include "formats/SizeLimit.h"
#include "formats/jpeg/JpegImage.h"
#include "metadata/Orientation.h"
#include "metadata/PhotoMetadata.h"
#include "resample/EnlargeBitmap.h"
#include "resample/ShrinkBitmap.h"

namespace vizuvod {

std::string ResizedPhotoPath(const std::string& path) {
  const std::size_t cut = path.rfind('/') + 1;  // 0 when there is no '/'
  return path.substr(0, cut) + "Resize of " + path.substr(cut);
}

const TPhotoWarning* TPhotoOutcome::First(TWarningKind kind) const {
  for (const TPhotoWarning& w : warnings)
    if (w.kind == kind) return &w;
  return nullptr;
}

// A case of one result, or the refusal its settings met.
struct TPhotoStep::TPlanned {
  std::size_t result = 0;
  TResizeCase c;
  std::exception_ptr refusal;
};

namespace {

std::string ResultPath(const TResultRequest& result, const std::string& photo, int width,
                       int height) {
  return result.path ? result.path(photo, width, height) : ResizedPhotoPath(photo);
}

enlarge_detail::TEnlargeGeometry GeometryOf(const TResizeCase& c, int SW, int SH) {
  return enlarge_detail::Geometry(c.mode, c.scaleX, c.scaleY, c.toWidth, c.toHeight, SW, SH);
}

// A result's size once cropped: the box, where the picture covers it.
std::pair<int, int> CroppedSize(const TResultRequest& result, int width, int height) {
  if (!result.crop) return {width, height};
  return {std::min(width, result.crop->width), std::min(height, result.crop->height)};
}

// An encoder that hands its rows on to another: what it does not change
// passes through, and Finish takes the inner encoder's warnings along.
class TWrappingEncoder : public TPhotoEncoder {
 public:
  explicit TWrappingEncoder(std::unique_ptr<TPhotoEncoder> inner) : inner_(std::move(inner)) {}
  bool Takes(int width, int height) const override { return inner_->Takes(width, height); }
  void Start(int width, int height, TPixelFormat format) override {
    inner_->Start(width, height, format);
  }
  void Write(const std::uint8_t* row) override { inner_->Write(row); }
  std::vector<std::uint8_t> Finish() override {
    std::vector<std::uint8_t> bytes = inner_->Finish();
    warnings = inner_->warnings;
    return bytes;
  }

 protected:
  std::unique_ptr<TPhotoEncoder> inner_;
};

// An encoder that keeps only a box of the rows it is given: the crop is the
// last step before the encoding, on every road, so the kept pixels are
// those of the resampled picture.
class TCroppingEncoder : public TWrappingEncoder {
 public:
  TCroppingEncoder(std::unique_ptr<TPhotoEncoder> inner, const TCrop& crop)
      : TWrappingEncoder(std::move(inner)), crop_(crop) {}
  bool Takes(int width, int height) const override {
    return inner_->Takes(std::min(width, crop_.width), std::min(height, crop_.height));
  }
  void Start(int width, int height, TPixelFormat format) override {
    const int w = std::min(width, crop_.width), h = std::min(height, crop_.height);
    left_ = (width - w) * crop_.gravityX / 2 * (format == TPixelFormat::pfDevice ? 4 : 3);
    top_ = (height - h) * crop_.gravityY / 2;
    bottom_ = top_ + h;
    y_ = 0;
    inner_->Start(w, h, format);
  }
  void Write(const std::uint8_t* row) override {
    if (y_ >= top_ && y_ < bottom_) inner_->Write(row + left_);
    ++y_;
  }

 private:
  TCrop crop_;
  int left_ = 0, top_ = 0, bottom_ = 0, y_ = 0;
};

// A JPEG result with the kept metadata written in, so that what the encoder
// gives (and a size limit measures) is the whole file.
class TMetadataWriter : public TWrappingEncoder {
 public:
  TMetadataWriter(std::unique_ptr<TPhotoEncoder> inner, const TPhotoMetadata& metadata,
                  bool upright)
      : TWrappingEncoder(std::move(inner)), metadata_(metadata), upright_(upright) {}
  void Start(int width, int height, TPixelFormat format) override {
    width_ = width, height_ = height;
    inner_->Start(width, height, format);
  }
  std::vector<std::uint8_t> Finish() override {
    const std::vector<std::uint8_t> bytes = TWrappingEncoder::Finish();
    return metadata_.WrittenInto(bytes, width_, height_, upright_, warnings);
  }

 private:
  const TPhotoMetadata& metadata_;
  bool upright_;
  int width_ = 0, height_ = 0;
};

// An encoder whose rows' colours are turned into sRGB on their way in: the
// conversion costs the result's pixels, not the photo's.
class TColouringEncoder : public TWrappingEncoder {
 public:
  TColouringEncoder(std::unique_ptr<TPhotoEncoder> inner,
                    std::shared_ptr<const TSrgbConversion> colours)
      : TWrappingEncoder(std::move(inner)), colours_(std::move(colours)) {}
  void Start(int width, int height, TPixelFormat format) override {
    step_ = format == TPixelFormat::pfDevice ? 4 : 3;
    width_ = width;
    row_.resize(std::size_t(width) * std::size_t(step_));
    inner_->Start(width, height, format);
  }
  void Write(const std::uint8_t* row) override {
    std::copy(row, row + row_.size(), row_.begin());
    colours_->Convert(row_.data(), width_, step_);
    inner_->Write(row_.data());
  }

 private:
  std::shared_ptr<const TSrgbConversion> colours_;
  std::vector<std::uint8_t> row_;
  int width_ = 0, step_ = 3;
};

// The decoder's rows; once read, what the library met is checked.
class TCheckedRows : public TRowSource {
 public:
  TCheckedRows(std::unique_ptr<TRowSource> rows, std::function<void()> check)
      : rows_(std::move(rows)), check_(std::move(check)) {}
  int Width() const override { return rows_->Width(); }
  int Height() const override { return rows_->Height(); }
  const std::uint8_t* Row(int y) override { return rows_->Row(y); }
  void Finish() override {
    rows_->Finish();
    check_();
  }

 private:
  std::unique_ptr<TRowSource> rows_;
  std::function<void()> check_;
};

}  // namespace

TPhotoStep::TPhotoStep(const TPhotoRequest& request) : request_(request) {
  decoder_ = OpenDecoder(request.photo, request.anyFormat, request.oneThread);
  plan_.width = decoder_->Width();
  plan_.height = decoder_->Height();
  plan_.bytes = decoder_->FileBytes();
  // No size to plan with: its decoding fails with the codec's own reason.
  if (plan_.width <= 0 || plan_.height <= 0) decoder_->Picture();

  if (std::string note = decoder_->FrameNote(); !note.empty())
    plan_.warnings.push_back({TWarningKind::wkFrames, std::move(note)});
  // Metadata that cannot be read costs a warning, never the photo.
  metadata_ = std::make_unique<TPhotoMetadata>();
  if (request.keepMetadata || request.autoOrient) {
    *metadata_ = decoder_->Metadata();
    // Only turning upright: what is not carried is no concern, an EXIF not
    // read (no orientation) is.
    if (request.keepMetadata || metadata_->Unread())
      for (const std::string& w : metadata_->Warnings())
        plan_.warnings.push_back({TWarningKind::wkMetadata, w});
    if (request.stripLocation) metadata_->StripLocation();
  } else {
    carried_ = decoder_->CarriedOrientation();
  }
  // Colours of a wide-gamut profile are turned into sRGB when the result will
  // not carry that profile (a JPEG photo keeps its bytes unless asked);
  // colours described by numbers alone, which no result carries, always.
  if (request.toSrgb || (decoder_->ConvertsColours() && !request.keepMetadata)) {
    if (!request.keepMetadata && !request.autoOrient) *metadata_ = decoder_->Metadata();
    if (!IsSrgbProfile(metadata_->IccProfile())) profile_ = metadata_->IccProfile();
  }
  // A CMYK profile describes inks, which the decoder turns into sRGB itself.
  if (!profile_.empty() && IsInkProfile(profile_) && decoder_->UseInkProfile(profile_)) {
    profile_.clear();
    metadata_->DropIccProfile();
  }
  // No RGB result may carry a profile of inks.
  if (request.keepMetadata && IsInkProfile(metadata_->IccProfile())) {
    metadata_->DropIccProfile();
    plan_.warnings.push_back({TWarningKind::wkMetadata,
                              "CMYK colour profile not carried: the result's colours are RGB"});
  }
  if (profile_.empty()) profile_ = decoder_->CodedColourProfile();
  // Every format but JPEG (whose results keep their bytes) has its colours
  // converted where it costs least: on each result's rows once resampled;
  // those of a high dynamic range on the decoded picture, as JPEG's are.
  if (!profile_.empty() && decoder_->ConvertsColours() && !decoder_->HighDynamicRange()) {
    auto colours = std::make_shared<TSrgbConversion>(profile_);
    if (!colours->Refusal().empty()) {
      plan_.warnings.push_back({TWarningKind::wkMetadata, colours->Refusal()});
    } else {
      resultColours_ = std::move(colours);
      metadata_->DropIccProfile();  // the results are sRGB, which needs none
    }
    profile_.clear();
  }
  orientation_ =
      request.autoOrient && !decoder_->Upright() ? metadata_->Orientation() : UprightOrientation;
  uprightWidth_ = SwapsSides(orientation_) ? plan_.height : plan_.width;
  uprightHeight_ = SwapsSides(orientation_) ? plan_.width : plan_.height;
  MakePlan();
}

TPhotoStep::~TPhotoStep() = default;

const TRunSettings& TPhotoStep::SettingsOf(std::size_t i) const {
  return request_.results[i].settingsFor ? resolved_[i] : *request_.results[i].settings;
}

void TPhotoStep::MakePlan() {
  const auto& results = request_.results;
  resolved_.resize(results.size());
  for (std::size_t i = 0; i < results.size(); ++i)
    if (results[i].settingsFor)
      resolved_[i] = results[i].settingsFor(uprightWidth_, uprightHeight_);
  std::size_t made = 0;
  for (std::size_t i = 0; i < results.size(); ++i) {
    // Two sizes may come to the same for a photo (a long edge of 2048 and of
    // 1024 for a small photo not enlarged): same settings and name, same
    // bytes, so the later one is left out instead of written twice. Equal
    // settings give equal sizes, so the names compare alike at any size.
    bool repeated = false;
    for (std::size_t j = 0; j < i && results[i].settingsFor && !repeated; ++j)
      repeated = results[j].settingsFor && resolved_[i] == resolved_[j] &&
                 results[i].crop == results[j].crop &&
                 ResultPath(results[i], request_.photo, 0, 0) ==
                     ResultPath(results[j], request_.photo, 0, 0);
    if (repeated) continue;
    ++made;
    try {
      for (int k = 0; k < 4; ++k)
        if (const auto c = SelectCase(k, SettingsOf(i), uprightWidth_, uprightHeight_)) {
          planned_.push_back({i, *c, nullptr});
          const auto [w, h] = CroppedSize(results[i], c->width, c->height);
          plan_.results.push_back({ResultPath(results[i], request_.photo, w, h), w, h});
        }
    } catch (const std::exception&) {
      // It fails as it always has: once the photo is decoded.
      planned_.push_back({i, {}, std::current_exception()});
      break;
    }
  }
  // One result of one case, from a photo stored upright, is streamed.
  streamed_ = made == 1 && planned_.size() == 1 && !planned_[0].refusal && profile_.empty() &&
              orientation_ == UprightOrientation && decoder_->StreamsRows();
  if (streamed_ && !planned_[0].c.shrink)
    streamed_ = Encoder(planned_[0].result)->Takes(planned_[0].c.width, planned_[0].c.height);
}

void TPhotoStep::TakeWarnings(TPhotoOutcome& outcome) const {
  std::erase_if(outcome.warnings,
                [](const TPhotoWarning& w) { return w.kind == TWarningKind::wkDamaged; });
  const auto& damaged = decoder_->Warnings();
  for (std::size_t i = 0; i < damaged.size(); ++i)
    outcome.warnings.insert(outcome.warnings.begin() + i, {TWarningKind::wkDamaged, damaged[i]});
  if (request_.refuseDamaged && !damaged.empty()) throw EDamagedPhoto(damaged.front());
}

std::shared_ptr<TBitmap> TPhotoStep::Held(TPhotoOutcome& outcome) {
  if (!held_) {
    held_ = std::make_shared<TBitmap>(decoder_->Picture());
    TakeWarnings(outcome);
    if (!profile_.empty()) {
      if (std::string refused = ConvertToSrgb(*held_, profile_); !refused.empty()) {
        outcome.warnings.push_back({TWarningKind::wkMetadata, std::move(refused)});
      } else {
        metadata_->DropIccProfile();  // the result is sRGB now, which needs none
        lighter_.reset();
      }
    }
    if (orientation_ != UprightOrientation) *held_ = OrientedBitmap(*held_, orientation_);
  }
  return held_;
}

void TPhotoStep::Save(std::size_t i, int width, int height, std::vector<std::uint8_t> encoded,
                      const TPhotoEncoder& encoder, TPhotoOutcome& outcome) {
  std::tie(width, height) = CroppedSize(request_.results[i], width, height);
  TResultOutcome written{ResultPath(request_.results[i], request_.photo, width, height), width,
                         height, 0};
  for (const std::string& w : encoder.warnings)
    outcome.warnings.push_back({TWarningKind::wkMetadata, w});
  const std::string at = request_.writtenAt ? request_.writtenAt(written.path) : written.path;
  try {
    ReplaceFileWith(at, encoded, decoder_->FileMode(), request_.guard);
  } catch (const EAbandoned&) {
    throw;
  } catch (const Exception& failure) {
    if (at == written.path) throw;
    // Written through its folder's descriptor: the message names the folder
    // the user gave, not the descriptor's place in /proc.
    const std::string through = at.substr(0, at.rfind('/') + 1),
                      folder = written.path.substr(0, written.path.rfind('/') + 1);
    auto named = [&](std::string text) {
      for (std::size_t p = text.find(through); p != std::string::npos;
           p = text.find(through, p + folder.size()))
        text.replace(p, through.size(), folder);
      return text;
    };
    throw Exception(named(failure.what()), named(failure.Reason()), named(failure.Detailed()));
  }
  written.bytes = encoded.size();
  written.quality = encoder.ChosenQuality();
  written.encodes = encoder.Encodings();
  outcome.results.push_back(std::move(written));
}

const std::vector<TPhotoMetadata::TLighter>& TPhotoStep::Lighter() const {
  if (!lighter_) lighter_ = metadata_->Lighter();
  return *lighter_;
}

const TPhotoMetadata& TPhotoStep::MetadataAt(int lighter) const {
  if (lighter <= 0 || Lighter().empty()) return *metadata_;
  return Lighter()[std::min(std::size_t(lighter), Lighter().size()) - 1].metadata;
}

std::unique_ptr<TPhotoEncoder> TPhotoStep::Encoder(std::size_t i) const {
  const TResultRequest& result = request_.results[i];
  const bool intoJpeg = request_.keepMetadata && result.format == TResultFormat::rfJpeg;
  auto at = [this, i, &result, intoJpeg](int quality,
                                         int lighter) -> std::unique_ptr<TPhotoEncoder> {
    TEncoderSettings settings = EncoderSettings(i);
    if (quality > 0) settings.quality = quality;
    if (settings.metadata) settings.metadata = &MetadataAt(lighter);
    auto encoder = MakeEncoder(settings);
    if (resultColours_)
      encoder = std::make_unique<TColouringEncoder>(std::move(encoder), resultColours_);
    if (intoJpeg)
      encoder = std::make_unique<TMetadataWriter>(std::move(encoder), MetadataAt(lighter),
                                                  request_.autoOrient || decoder_->Upright());
    if (result.crop) return std::make_unique<TCroppingEncoder>(std::move(encoder), *result.crop);
    return encoder;
  };
  if (result.maxBytes == 0) return at(0, 0);
  const int steps = request_.keepMetadata ? int(Lighter().size()) : 0;
  return SizeLimitedEncoder(
      at, result.quality > 0 ? result.quality : JPEGDefaults().compressionQuality, result.maxBytes,
      steps, [this](int step) {
        return Lighter().empty()
                   ? std::string("metadata")
                   : Lighter()[std::min(std::size_t(step), Lighter().size()) - 1].leftOut;
      });
}

TEncoderSettings TPhotoStep::EncoderSettings(std::size_t result) const {
  const TResultFormat format = request_.results[result].format;
  const bool inContainer = request_.keepMetadata && format != TResultFormat::rfJpeg;
  return {request_.results[result].quality,
          decoder_->Progressive() || request_.progressive,
          carried_ > UprightOrientation ? carried_ : 0,
          request_.optimize,
          format,
          inContainer ? metadata_.get() : nullptr,
          request_.autoOrient};
}

void TPhotoStep::RunStreamed(const TPlanned& p, TPhotoOutcome& outcome, const TRowHooks& hooks) {
  const TResizeCase& c = p.c;
  const auto encoder = Encoder(p.result);
  auto decoderRows = [&] {
    return TCheckedRows(decoder_->Rows(), [this, &outcome] { TakeWarnings(outcome); });
  };
  if (c.shrink) {
    TCheckedRows rows = decoderRows();
    TBitmap D;
    TBitmap* R = nullptr;
    D.SetSize(c.width, c.height);
    ShrinkRows(rows, D, R, hooks);
    Save(p.result, R->Width(), R->Height(), encoder->Encode(*R), *encoder, outcome);
    return;
  }
  // The encoder starts with the first row, after the calls that came before
  // the encoding when the picture was held whole.
  enlarge_detail::TEnlargeGeometry g;
  bool started = false;
  auto encode = [&](const std::uint8_t* row) {
    if (!started) encoder->Start(g.EW, g.EH, TPixelFormat::pfDevice), started = true;
    encoder->Write(row);
  };
  // Straight from the decoder's rows as well when decoding cannot fail or
  // refuse the photo once the first progress is shown.
  std::optional<TCheckedRows> rows;
  std::optional<TPictureRows> picture;
  TRowSource* source = nullptr;
  if (!request_.refuseDamaged && decoder_->FailsOnlyBeforeItsRows())
    source = &rows.emplace(decoderRows());
  else
    source = &picture.emplace(*Held(outcome));
  g = GeometryOf(c, source->Width(), source->Height());
  EnlargeRows(*source, g, encode, hooks);
  Save(p.result, g.EW, g.EH, encoder->Finish(), *encoder, outcome);
}

void TPhotoStep::RunHeld(std::size_t i, const TResizeCase& c, std::shared_ptr<TBitmap>& S,
                         TPhotoOutcome& outcome, const TRowHooks& hooks) {
  TBitmap D;
  TBitmap* R = nullptr;
  if (c.shrink) {
    // ShrinkBitmap converts a palette source to 24 bits in place; a copy
    // (sharing the pixels otherwise) keeps the decoded photo as it was.
    TBitmap from = *S;
    D.SetSize(c.width, c.height);
    ShrinkBitmap(from, D, R, hooks);
  } else {
    // EnlargeBitmap replaces S and leaves the decoded photo to the next result.
    EnlargeBitmap(S, c.mode, c.scaleX, c.scaleY, c.toWidth, c.toHeight, hooks);
    R = S.get();
  }
  const auto encoder = Encoder(i);
  Save(i, R->Width(), R->Height(), encoder->Encode(*R), *encoder, outcome);
}

TPhotoOutcome TPhotoStep::Run(const TRowHooks& hooks) {
  TPhotoOutcome outcome = plan_;
  outcome.results.clear();
  if (!streamed_) Held(outcome);
  for (const TPlanned& p : planned_) {
    if (p.refusal) std::rethrow_exception(p.refusal);
    // What a later case of this result starts from: the decoded photo, or
    // the picture an enlargement replaced it with.
    std::shared_ptr<TBitmap> S = held_;
    int SW = uprightWidth_, SH = uprightHeight_;
    if (streamed_) {
      RunStreamed(p, outcome, hooks);
      if (!p.c.shrink) SW = p.c.width, SH = p.c.height;
    } else {
      RunHeld(p.result, p.c, S, outcome, hooks);
    }
    for (int k = p.c.k + 1; k < 4; ++k) {
      const auto c = SelectCase(k, SettingsOf(p.result), S ? S->Width() : SW, S ? S->Height() : SH);
      if (!c) continue;
      if (!S) {
        S = Held(outcome);
        // A case after a streamed enlargement starts, as it always has,
        // from the enlarged picture.
        if (!p.c.shrink)
          EnlargeBitmap(S, p.c.mode, p.c.scaleX, p.c.scaleY, p.c.toWidth, p.c.toHeight);
      }
      RunHeld(p.result, *c, S, outcome, hooks);
    }
  }
  return outcome;
}

TPhotoOutcome ProcessPhoto(const TPhotoRequest& request, const TRowHooks& hooks) {
  return TPhotoStep(request).Run(hooks);
}

}  // namespace vizuvod
