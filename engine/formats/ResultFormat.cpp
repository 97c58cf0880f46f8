// Result names by format, shared by the window and vizuvod-batch.
#include "formats/ResultFormat.h"

#include "formats/Formats.h"

namespace vizuvod {

std::string LowerExtOf(const std::string& name) {
  std::string ext = ExtOf(name);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext;
}

std::string ResultNameOf(const std::string& name, TResultFormat format) {
  if (format != TResultFormat::rfJpeg) return StemOf(name) + "." + ExtensionOf(format);
  const std::string ext = LowerExtOf(name);
  bool other = false;
  for (const TFormatRow& row : FormatRows())
    other = other || (row.chosen != &TFormats::jpeg && HasExtension(row, ext));
  return other && name.find('.') != std::string::npos
             ? StemOf(name) + "." + ExtensionOf(TResultFormat::rfJpeg)
             : name;
}

std::unordered_set<std::string> PhotoAndResultNames(const std::vector<std::string>& photos) {
  std::unordered_set<std::string> names(photos.begin(), photos.end());
  for (const std::string& n : photos)
    for (const TFormatRow& row : FormatRows())
      if (row.resultExtension) names.insert(ResultNameOf(n, row.result));
  return names;
}

std::string StemOf(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ExtOf(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

}  // namespace vizuvod
