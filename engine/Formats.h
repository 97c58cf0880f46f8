// The formats, one row each: the name vizuvod-batch's --formats takes, the
// label messages use, the file-name extensions the scan takes, the TFormats
// switch that chooses it, whether this build reads it, and the extension of
// its results when it is also a result format. The scan, the result names,
// --formats, --format and the window's format menu go through these rows; a
// format's first-bytes test and its decoder and encoder are still picked in
// OpenDecoder and MakeEncoder.
#pragma once

#include <span>
#include <string>

#include "PhotoScan.h"
#include "ResultFormat.h"

namespace vizuvod {

struct TFormatRow {
  const char* name;           // "webp", as --formats and --format spell it
  const char* label;          // "WebP", as messages spell it
  const char* extensions[4];  // lower case, without the dot; unused ones nullptr
  bool TFormats::*chosen;
  bool readable;                // false: this build lacks its library
  const char* resultExtension;  // nullptr: never a result format
  TResultFormat result;         // with resultExtension: its results' format
};

// Every format, in the order messages and lists name them.
std::span<const TFormatRow> FormatRows();

// The row whose name is `name`, or nullptr.
const TFormatRow* FormatRowNamed(const std::string& name);

// Whether a lower-case extension is one of the row's.
bool HasExtension(const TFormatRow& row, const std::string& lowerExt);

}  // namespace vizuvod
