// One photo's road, stage by stage, each run once and forward:
//   1. Open   (the constructor): the file, its header and, when asked for,
//             its metadata, read once;
//   2. Plan   (Plan()): each result's case, size and path, and whether the
//             decoder's rows are streamed or the decoded picture held;
//   3. the caller's own checks on the plan (vizuvod-batch: names claimed,
//             results already there, folders, a dry run);
//   4. Run    (Run()): each result from source rows through the resampler
//             and the encoder to the save;
//   5. Outcome: what was written and one list of warnings.
// A new format plugs in as a decoder or an encoder (PhotoCodec.h); a new kind
// of result as a field of TResultRequest acted on in Run.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/RowHooks.h"
#include "formats/ResultFormat.h"
#include "metadata/PhotoMetadata.h"
#include "photo/ResizeSettings.h"

namespace vizuvod {

class TBitmap;
struct TEncoderSettings;
class TPhotoEncoder;
class TPhotoDecoder;
class TPhotoMetadata;
class TSrgbConversion;

// The path of one result, given the photo's path and the result's size.
using TResultNamer = std::function<std::string(const std::string& photo, int width, int height)>;

// "<folder>/Resize of <name>" for "<folder>/<name>": the text up to and
// including the last '/', the prefix, then the rest.
std::string ResizedPhotoPath(const std::string& path);

// A box cut out of a resampled picture. gravityX 0, 1, 2: the cut keeps the
// west edge, the centre, the east edge; gravityY likewise north to south.
struct TCrop {
  int width = 0, height = 0;
  int gravityX = 1, gravityY = 1;
  bool operator==(const TCrop&) const = default;
};

// One result to make of a photo.
struct TResultRequest {
  // Read afresh at each step, as the wizard reads its page; not owned, and it
  // must outlive the step.
  const TRunSettings* settings = nullptr;
  // Empty: "Resize of <name>" beside the photo, as the wizard names it.
  TResultNamer path;
  // The quality of the result; 0 keeps the codec's default.
  int quality = 0;
  // When set, it stands for settings: the settings for a photo of this size
  // (upright when auto-orienting), for sizes that depend on the photo.
  std::function<TFixedSettings(int width, int height)> settingsFor;
  // When set, the resampled picture is cropped to this box: an exact size,
  // the cut placed by the gravity.
  std::optional<TCrop> crop = std::nullopt;
  // When set, the result is written at the highest quality, no higher than
  // its own, whose file fits in this many bytes; only the encoding is
  // repeated. A result that does not fit even at quality 10 fails the photo.
  std::uintmax_t maxBytes = 0;
  // WebP and AVIF results carry kept metadata in their own containers.
  TResultFormat format = TResultFormat::rfJpeg;
};

// One photo and the results to make of it: each result starts from the
// decoded photo, so several sizes cost one decode.
struct TPhotoRequest {
  std::string photo;
  std::vector<TResultRequest> results;
  // Refuse a photo the library had to complete (EDamagedPhoto) instead of
  // writing results from it. The wizard writes them, as it always has.
  bool refuseDamaged = false;
  // The format is told by the file's first bytes (PNG, WebP, JPEG); without
  // it every photo is read as JPEG, as the wizard reads them.
  bool anyFormat = false;
  // The decoder starts no threads of its own: the caller runs photos side
  // by side.
  bool oneThread = false;
  // The photo's EXIF, XMP, IPTC and ICC profile go into each result, with
  // the EXIF pixel size set to the result's and the EXIF thumbnail dropped.
  bool keepMetadata = false;
  // The EXIF orientation is applied to the decoded pixels before resizing,
  // so sizes mean the upright picture's sides; a kept tag then says 1.
  // Without it, and without keepMetadata, a result carries the photo's
  // orientation as its one EXIF tag, so it shows the way its photo does.
  bool autoOrient = false;
  // Colours are turned into sRGB from the photo's ICC profile, JPEG photos
  // too, and the result carries no profile. (Other formats are turned
  // whenever their result does not keep the profile.)
  bool toSrgb = false;
  // With keepMetadata: everything but where the photo was taken.
  bool stripLocation = false;
  // JPEG results: progressive (the library's simple progression) whatever
  // the photo was, or with Huffman tables made for the picture. The
  // decoded pixels are the same; the files are smaller.
  bool progressive = false;
  bool optimize = false;
  // Where a result named `path` is written, when set: a path through a
  // folder the caller holds open, so that no link on the way is followed.
  std::function<std::string(const std::string& path)> writtenAt;
  // Called with where a result is written and what stands there just before
  // it is replaced; it may throw (an engine Exception) to refuse.
  std::function<void(const std::string& path, const struct stat& existing)> guard;
};

enum class TWarningKind {
  wkDamaged,   // the library completed damaged data; the results were made from it
  wkMetadata,  // metadata that could not be read or carried; the results were made anyway
  wkFrames,    // an animated photo: the results were made from its first frame
};

struct TPhotoWarning {
  TWarningKind kind;
  std::string text;
};

struct TResultOutcome {
  std::string path;
  int width = 0, height = 0;
  std::uintmax_t bytes = 0;  // 0 when planned only
  int quality = 0;           // the quality chosen for a size limit, else 0
  int encodes = 0;           // how many encodings that choice took
};

struct TPhotoOutcome {
  int width = 0, height = 0;            // the photo's own size, from its header
  std::uintmax_t bytes = 0;             // the photo file's size
  std::vector<TResultOutcome> results;  // the results written, or planned
  std::vector<TPhotoWarning> warnings;

  // The first warning of that kind, or null.
  const TPhotoWarning* First(TWarningKind kind) const;
};

class TPhotoStep {
 public:
  // Open. Fails with the codec's exceptions; a file without a header fails
  // here with the reason its decoding gives.
  explicit TPhotoStep(const TPhotoRequest& request);
  ~TPhotoStep();
  TPhotoStep(const TPhotoStep&) = delete;
  TPhotoStep& operator=(const TPhotoStep&) = delete;

  // Plan: the results as the settings read at opening select them (paths,
  // sizes, no bytes), and the photo's own size. A percentage of 100 or an
  // unknown fit-side text plans no result.
  const TPhotoOutcome& Plan() const { return plan_; }

  // Run: what the plan says, in request order. Settings that are read live
  // (the wizard's page) are read again after each result's case, so a
  // change made while messages were pumped counts from the next case on.
  // Failures pass out as the engine's exceptions (EInvalidArgument with the
  // settings warning for a value of 0 or less); results saved before a
  // failure stay.
  TPhotoOutcome Run(const TRowHooks& hooks = {});

 private:
  struct TPlanned;
  const TRunSettings& SettingsOf(std::size_t result) const;
  void MakePlan();
  void TakeWarnings(TPhotoOutcome& outcome) const;
  TEncoderSettings EncoderSettings(std::size_t result) const;
  std::unique_ptr<TPhotoEncoder> Encoder(std::size_t i) const;
  const std::vector<TPhotoMetadata::TLighter>& Lighter() const;
  const TPhotoMetadata& MetadataAt(int lighter) const;
  std::shared_ptr<TBitmap> Held(TPhotoOutcome& outcome);
  void RunStreamed(const TPlanned& p, TPhotoOutcome& outcome, const TRowHooks& hooks);
  void RunHeld(std::size_t result, const TResizeCase& c, std::shared_ptr<TBitmap>& S,
               TPhotoOutcome& outcome, const TRowHooks& hooks);
  void Save(std::size_t result, int width, int height, std::vector<std::uint8_t> encoded,
            const TPhotoEncoder& encoder, TPhotoOutcome& outcome);

  const TPhotoRequest request_;
  std::unique_ptr<TPhotoDecoder> decoder_;
  std::unique_ptr<TPhotoMetadata> metadata_;
  // Lighter copies of metadata_ for a size limit, made when first needed.
  mutable std::optional<std::vector<TPhotoMetadata::TLighter>> lighter_;
  int orientation_ = 1;  // applied to the pixels
  int carried_ = 0;
  std::vector<std::uint8_t> profile_;  // when set, the held picture's colours go from it to sRGB
  // When set, each result's colours go to sRGB once it is resampled.
  std::shared_ptr<const TSrgbConversion> resultColours_;
  int uprightWidth_ = 0, uprightHeight_ = 0;
  std::vector<TFixedSettings> resolved_;
  std::vector<TPlanned> planned_;
  bool streamed_ = false;
  TPhotoOutcome plan_;
  std::shared_ptr<TBitmap> held_;
};

// The whole road at once: open, plan, run.
TPhotoOutcome ProcessPhoto(const TPhotoRequest& request, const TRowHooks& hooks = {});

}  // namespace vizuvod
