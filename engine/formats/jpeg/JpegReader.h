// The reading side of the JPEG codec: a photo's header, its rows decoded one
// at a time through libjpeg within the limits every photo is held to, and
// the whole picture made of them. The per-photo step's JPEG decoder
// (OpenJpegDecoder, declared in PhotoCodec.h) is built from these.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "formats/jpeg/JpegSettings.h"

namespace vizuvod {

// What a JPEG file's header says of its picture.
struct TJPEGHeader {
  int width = 0;
  int height = 0;
  bool grayscale = false;
  bool multipleScans = false;  // progressive: all scans are read when decoding starts
};
// Fails with the library's error (EJPEG) for bytes without a header.
TJPEGHeader ReadJpegHeader(const std::vector<std::uint8_t>& bytes);

// True when decoding these bytes can fail only before its first row
// arrives, so that a consumer acting on each row as it comes (a progress
// bar) shows nothing before a failure that the whole picture would have met
// first: a file of several scans is read whole when decoding starts, and one
// of a single scan qualifies when its coded data runs into the end marker or
// the end of the bytes, leaving the library no marker to refuse after the
// rows. False for no bytes.
bool JpegFailsOnlyBeforeItsRows(const std::vector<std::uint8_t>& bytes);

// Turns a row of four-component inks (CMYK or YCCK) into blue, green, red:
// the row of inks, the row to fill, the width, and whether the inks are
// stored inverted (Adobe's marker).
using TJPEGInkRows = std::function<void(const std::uint8_t*, std::uint8_t*, int, bool)>;

// A photo decoded row by row, top to bottom, for a consumer that takes each
// row once and never needs the whole picture. Construction reads the header,
// refuses what a whole decode refuses (the same limits, before anything is
// allocated) and starts the library with the settings' scale, smoothing,
// performance, grayscale and pixel format; Finish reads the rows not asked
// for. The errors are those of decoding a TJPEGImage.
class TJPEGRowReader {
 public:
  // bytes and inkToBgr are the caller's and must outlive the reader. When
  // inkToBgr is set, the rows of a CMYK or YCCK file become blue, green, red
  // through it (a CMYK colour profile), in place of the plain arithmetic of
  // the inks.
  TJPEGRowReader(const std::vector<std::uint8_t>& bytes, const TJPEGDefaults& settings,
                 const TJPEGInkRows& inkToBgr);
  ~TJPEGRowReader();
  TJPEGRowReader(const TJPEGRowReader&) = delete;
  TJPEGRowReader& operator=(const TJPEGRowReader&) = delete;

  int Width() const;
  int Height() const;
  // The decoded picture's format: pf8bit with Palette() (grey, or quantised
  // colour) or pf24bit.
  TPixelFormat PixelFormat() const;
  const std::vector<TPaletteEntry>& Palette() const;
  // The next row into `row`, in PixelFormat()'s layout.
  void Read(std::uint8_t* row);
  // The next row as blue, green, red: the colours of the decoded picture
  // converted to the 24-bit format. Valid until the next call.
  const std::uint8_t* ReadBgr();
  void Finish();
  // The library's warnings while decoding (corrupt data, a premature end),
  // complete once Finish is done: the picture was completed from damaged
  // data. Empty for a sound file.
  const std::vector<std::string>& Warnings() const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// Decodes bytes whole into picture, which takes the decoded size, format and
// palette; warnings are cleared first and become the library's warnings once
// every row has arrived. A failure part-way leaves picture half-filled.
void DecodeJpeg(const std::vector<std::uint8_t>& bytes, const TJPEGDefaults& settings,
                const TJPEGInkRows& inkToBgr, TBitmap& picture, std::vector<std::string>& warnings);

}  // namespace vizuvod
