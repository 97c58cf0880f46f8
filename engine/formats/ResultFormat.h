// The formats a result can be written in.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace vizuvod {

enum class TResultFormat { rfJpeg, rfWebp, rfAvif };

// The extension of a result in that format, without the dot: jpg, webp, avif.
const char* ExtensionOf(TResultFormat format);

// The result's own file name for a photo's: a JPEG result of a PNG, WebP,
// HEIC or AVIF photo is "<stem>.jpg", and every other name stays as it is; a
// WebP or AVIF result is "<stem>.webp" or "<stem>.avif" whatever the photo's
// format.
std::string ResultNameOf(const std::string& name, TResultFormat format = TResultFormat::rfJpeg);

// The photos' names and the names of their results in every format: what
// an earlier run may have written beside them, to be told apart from photos.
std::unordered_set<std::string> PhotoAndResultNames(const std::vector<std::string>& photos);

// A photo's file name without its extension ("IMG 1" of "IMG 1.JPG"), and the
// extension without its dot ("JPG"), and that in lower case ("jpg").
std::string StemOf(const std::string& name);
std::string ExtOf(const std::string& name);
std::string LowerExtOf(const std::string& name);

}  // namespace vizuvod
