// The photo's picture is shared, never changed: every resampling works on a
// copy-on-write copy of it, so the results do not depend on their order.
#include "PhotoResults.h"

#include "Errors.h"
#include "Orientation.h"

TDecodedPhoto::TDecodedPhoto(const std::string& path, const TPhotoOptions& options)
    : options_(options) {
  TJPEGImage J;
  J.LoadFromFile(path);
  if (options.keepMetadata || options.autoOrient)
    metadata_ = TPhotoMetadata::Read(J.Data()->bytes);
  J.AssignTo(picture_);
  settings_ = J.settings;
  if (options.autoOrient) picture_ = OrientedBitmap(picture_, metadata_.Orientation());
}

std::optional<TEncodedResult> TDecodedPhoto::Result(const TSizeRequest& size, int quality,
                                                    const TRowHooks& hooks) const {
  if (quality < 1 || quality > 100)
    throw EInvalidArgument("The quality must be between 1 and 100.");
  const TFixedSettings settings =
      WizardSettingsFor(size, picture_.Width(), picture_.Height(), options_.noEnlarge);
  std::optional<TBitmap> picture = ResampledPicture(picture_, settings, hooks);
  if (!picture) return std::nullopt;

  TJPEGImage J;
  J.settings = settings_;
  J.settings.compressionQuality = quality;
  J.Assign(*picture);
  TEncodedResult result;
  result.width = picture->Width();
  result.height = picture->Height();
  if (options_.keepMetadata)
    result.bytes = metadata_.WrittenInto(J.EncodedBytes(), result.width, result.height,
                                         options_.autoOrient, result.warning);
  else
    result.bytes = J.EncodedBytes();
  return result;
}
