// One photo decoded once, and any number of results made from that one
// decode: each is resampled, encoded and given the photo's metadata in
// memory, byte for byte what a run of that one size would write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "JpegImage.h"
#include "PhotoMetadata.h"
#include "RowHooks.h"
#include "TargetSize.h"

struct TPhotoOptions {
  bool keepMetadata = false;  // EXIF, XMP, IPTC and ICC carried into each result
  bool autoOrient = false;    // the EXIF orientation applied to the pixels first
  bool noEnlarge = false;     // never larger than the photo
};

struct TEncodedResult {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bytes;  // a complete JPEG file
  std::string warning;              // the metadata could not be written
};

class TDecodedPhoto {
 public:
  // Loads and decodes the photo; fails with the codec's errors. Metadata is
  // read when it is kept or its orientation is needed; metadata that cannot
  // be read leaves a warning instead.
  TDecodedPhoto(const std::string& path, const TPhotoOptions& options);

  // The picture results are made from: upright when auto-orienting.
  const TBitmap& Picture() const { return picture_; }
  const std::string& Warning() const { return metadata_.Warning(); }

  // One result, or nothing when the size writes nothing (a percentage of
  // 100). Quality 1-100; EInvalidArgument outside that range.
  std::optional<TEncodedResult> Result(const TSizeRequest& size, int quality,
                                       const TRowHooks& hooks = {}) const;

 private:
  TPhotoOptions options_;
  TJPEGDefaults settings_;  // as loading left them: progressive in, progressive out
  TPhotoMetadata metadata_;
  TBitmap picture_;
};
