// The formats, one row each: the name vizuvod-batch's --formats takes, the
// label messages use, the file-name extensions the scan takes, the TFormats
// switch that chooses it, whether this build reads it, the test of a file's
// first bytes and the decoder that reads it, and, for a result format, its
// results' extension and encoder. The scan, the result names, --formats,
// --format, the window's format menu, the choice of a photo's decoder and a
// result's encoder go through these rows: a new format is its codec file and
// its row here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/PhotoCodec.h"
#include "formats/ResultFormat.h"

namespace vizuvod {

// The formats a scan may be widened to (vizuvod-batch --formats, the
// window's "Также HEIC, AVIF, PNG и WebP"); none set: the wizard's *.jpg alone.
struct TFormats {
  bool jpeg = false, png = false, webp = false, heic = false, avif = false;
  bool Any() const { return jpeg || png || webp || heic || avif; }
  // Every format this build reads: HEIC and AVIF only with libheif.
  static TFormats All();
};

struct TFormatRow {
  const char* name;           // "webp", as --formats and --format spell it
  const char* label;          // "WebP", as messages spell it
  const char* extensions[4];  // lower case, without the dot; unused ones nullptr
  bool TFormats::*chosen;
  bool readable;  // false: this build lacks its library
  // Whether a file's first bytes (at least 64 of them when the file has
  // them) are this format's.
  bool (*isItsBytes)(const std::uint8_t* bytes, std::size_t size);
  // Its decoder for the file at path (see OpenDecoder).
  std::unique_ptr<TPhotoDecoder> (*openDecoder)(const std::string& path, bool oneThread);
  const char* resultExtension;  // nullptr: never a result format
  TResultFormat result;         // with resultExtension: its results' format
  std::unique_ptr<TPhotoEncoder> (*makeEncoder)(const TEncoderSettings& settings);
};

// Every format, in the order messages and lists name them.
std::span<const TFormatRow> FormatRows();

// The row whose name is `name`, or nullptr.
const TFormatRow* FormatRowNamed(const std::string& name);

// Whether a lower-case extension is one of the row's.
bool HasExtension(const TFormatRow& row, const std::string& lowerExt);

// The row whose first bytes these are, or nullptr.
const TFormatRow* FormatRowOfBytes(const std::uint8_t* bytes, std::size_t size);

// "a, b and c".
std::string ListText(const std::vector<std::string>& items);

// The decoder for the file at path, which is read whole here (a PNG is read
// from the file as it is decoded): with anyFormat chosen by the file's first
// bytes, never by its name, and a file of no format's bytes refused
// (EUnknownFormat); without it always JPEG's. A file whose first bytes
// cannot be read goes to JPEG's decoder, which fails with the system's
// reason. Fails with the codec's exceptions (EFOpenError, EJPEG, EPhotoData,
// ...). With oneThread the decoder starts no threads of its own (libheif
// decodes a grid's tiles in several unless told not to): for callers that
// keep the cores busy with a photo each.
std::unique_ptr<TPhotoDecoder> OpenDecoder(const std::string& path, bool anyFormat = false,
                                           bool oneThread = false);

// The encoder of settings.format.
std::unique_ptr<TPhotoEncoder> MakeEncoder(const TEncoderSettings& settings);

}  // namespace vizuvod
