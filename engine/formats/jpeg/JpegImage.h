// TJPEGImage: a JPEG photo held in memory (its file's bytes, the decoded or
// assigned picture, and its settings), decoded by the reader (JpegReader)
// and encoded by the writer (JpegWriter).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "files/SafeFiles.h"
#include "formats/jpeg/JpegSettings.h"

namespace vizuvod {

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  // Reads the whole file once and its header; a zero-byte file loads without error.
  void LoadFromFile(const std::string& path);
  // Decodes on first use; the target becomes a copy of the held picture.
  void AssignTo(TBitmap& target);
  // Drops the stored bytes and holds a copy of the source.
  void Assign(const TBitmap& source);
  // Encodes when no bytes are held, then replaces the file with them; on
  // failure an earlier file of that name is left as it was. guard may refuse
  // to replace a file standing there (see ReplaceFileWith).
  void SaveToFile(const std::string& path, const TReplaceGuard& guard = {});
  // The bytes SaveToFile writes, encoded first when none are held, so a
  // caller can add to them before saving them itself.
  const std::vector<std::uint8_t>& EncodedBytes();
  // The bytes another picture encodes to with this image's settings, as
  // Assign and EncodedBytes would give them, this image's data left as it is.
  std::vector<std::uint8_t> EncodedBytesOf(const TBitmap& picture) const;

  int Width() const override;
  int Height() const override;
  // Always fail: a JPEG image's size follows its data.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  bool Empty() const;
  const TJPEGData* Data() const { return data_.get(); }
  const TBitmap* Picture() const { return picture_.get(); }
  int DecodeCount() const { return decodeCount_; }
  // The loaded file's permission bits, which its saved result takes.
  unsigned FileMode() const { return fileMode_; }
  // True when decoding can fail only before its first row arrives (see
  // JpegFailsOnlyBeforeItsRows).
  bool FailsOnlyBeforeItsRows() const;
  // The library's warnings while decoding (corrupt data, a premature end):
  // the picture was completed from damaged data. Empty for a sound file.
  const std::vector<std::string>& Warnings() const { return warnings_; }

  TJPEGDefaults settings;
  // When set, the rows of a CMYK or YCCK file become blue, green, red
  // through it (a CMYK colour profile), in place of the plain arithmetic of
  // the inks. It takes a row of inks, the row to fill, the width, and
  // whether the inks are stored inverted (Adobe's marker).
  std::function<void(const std::uint8_t*, std::uint8_t*, int, bool)> inkToBgr;

 private:
  void Decode();
  void Encode();

  std::unique_ptr<TJPEGData> data_;
  std::unique_ptr<TBitmap> picture_;
  bool decoded_ = false;  // picture_ is complete (decoded or assigned)
  int decodeCount_ = 0;
  std::vector<std::string> warnings_;
  // The loaded file's permission bits, which its saved result takes.
  unsigned fileMode_ = 0666;
};

}  // namespace vizuvod
