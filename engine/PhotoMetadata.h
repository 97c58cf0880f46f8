// What a photo says about itself besides its pixels (EXIF, XMP, IPTC and its
// ICC colour profile), read with exiv2 from the photo's bytes and written
// into a result's encoded bytes before the result is saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vizuvod {

class TPhotoMetadata {
 public:
  TPhotoMetadata();
  ~TPhotoMetadata();
  TPhotoMetadata(TPhotoMetadata&&) noexcept;
  TPhotoMetadata& operator=(TPhotoMetadata&&) noexcept;

  // Never fails: metadata that cannot be read is left out and Warning()
  // says why, so the photo can still be resized.
  static TPhotoMetadata Read(const std::vector<std::uint8_t>& jpeg);

  // The EXIF orientation (1-8), 1 when the photo has none.
  int Orientation() const;
  // The photo's ICC profile, whole (joined from all its APP2 markers).
  const std::vector<std::uint8_t>& IccProfile() const;
  bool Empty() const;
  // Empty when everything was read.
  const std::string& Warning() const { return warning_; }

  // The encoded result with this metadata: EXIF pixel dimensions set to
  // width x height, the EXIF thumbnail (a picture of the photo as it was)
  // dropped, and the orientation set to 1 when upright is set (the pixels
  // were turned already), else kept. When the metadata cannot be written,
  // the encoded bytes come back unchanged and warning says why.
  std::vector<std::uint8_t> WrittenInto(const std::vector<std::uint8_t>& encoded, int width,
                                        int height, bool upright, std::string& warning) const;

 private:
  struct TData;
  std::unique_ptr<TData> data_;
  std::string warning_;
};

}  // namespace vizuvod
