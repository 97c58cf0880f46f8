// What a photo says about itself besides its pixels (EXIF, XMP, IPTC and its
// ICC colour profile), read with exiv2 from the photo's bytes and written
// into a result's encoded bytes before the result is saved.
#pragma once

#include <cstddef>
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

  // Never fails: metadata that cannot be read is left out and Warnings()
  // says why, so the photo can still be resized. The parts stand apart: an
  // ICC profile that cannot be carried (chunks missing or repeated, or over
  // MaxIccProfileBytes) leaves EXIF, XMP and IPTC carried, and damage in
  // those leaves the ICC profile carried.
  // The photo's bytes may be JPEG, PNG, WebP, HEIC or AVIF.
  static TPhotoMetadata Read(const std::vector<std::uint8_t>& photo);

  // Largest ICC profile copied into results; a larger one is left out, with
  // a warning. Real profiles are a few kilobytes, rarely a few hundred.
  static constexpr std::size_t MaxIccProfileBytes = std::size_t(1) << 20;

  // The EXIF orientation (1-8), 1 when the photo has none.
  int Orientation() const;
  // The photo's ICC profile, whole (joined from all its APP2 markers).
  const std::vector<std::uint8_t>& IccProfile() const;
  // Leaves the profile out of what is written (the colours were converted).
  void DropIccProfile();
  // Leaves out where the photo was taken: the EXIF GPS data, XMP's GPS
  // properties and the IPTC and XMP location fields (city, sub-location,
  // state, country and their codes). The date, camera and profile stay.
  void StripLocation();
  // A copy that carries less, for a result that must fit a size: each step
  // leaves out one more part, in this order: XMP, IPTC, the EXIF maker
  // notes, the EXIF but its orientation, the ICC profile. Steps that would
  // leave out nothing this photo has are skipped: Lighter() gives the copies
  // that differ, each with the names of the parts it lacks ("XMP, IPTC").
  struct TLighter;
  std::vector<TLighter> Lighter() const;
  bool Empty() const;
  // One per part not read or not carried; empty when everything was read.
  const std::vector<std::string>& Warnings() const { return warnings_; }
  // Nothing could be read (the EXIF orientation either): a failure, not a
  // part that is merely not carried.
  bool Unread() const { return unread_; }
  // Warnings() joined by "; ", for callers that show one line.
  std::string Warning() const;

  // The encoded result with this metadata: EXIF pixel dimensions set to
  // width x height, the EXIF thumbnail (a picture of the photo as it was)
  // dropped, and the orientation set to 1 when upright is set (the pixels
  // were turned already), else kept. When the metadata cannot be written,
  // the encoded bytes come back unchanged and a warning says why; an EXIF
  // tag left out to keep the EXIF segment within 64 KB is named in one.
  // The warnings are appended to warnings.
  std::vector<std::uint8_t> WrittenInto(const std::vector<std::uint8_t>& encoded, int width,
                                        int height, bool upright,
                                        std::vector<std::string>& warnings) const;
  // The same metadata as separate blocks, for formats that hold each in a
  // box or chunk of its own (WebP, AVIF): the EXIF as a TIFF structure
  // ("II*" or "MM*" first, no "Exif" header), the XMP packet and the ICC
  // profile; an empty block is left out. IPTC has no place there: it is
  // named in a warning (XMP usually repeats it).
  struct TBlocks {
    std::vector<std::uint8_t> exif, xmp, icc;
  };
  TBlocks Blocks(int width, int height, bool upright, std::vector<std::string>& warnings) const;
  // An EXIF block holding the orientation alone, as Blocks gives it.
  static std::vector<std::uint8_t> OrientationExif(int orientation);

  // The same with the warnings joined by "; " into warning (empty: none).
  std::vector<std::uint8_t> WrittenInto(const std::vector<std::uint8_t>& encoded, int width,
                                        int height, bool upright, std::string& warning) const;

 private:
  struct TData;
  std::unique_ptr<TData> data_;
  std::vector<std::string> warnings_;
  bool unread_ = false;
};

struct TPhotoMetadata::TLighter {
  TPhotoMetadata metadata;
  std::string leftOut;
};

}  // namespace vizuvod
