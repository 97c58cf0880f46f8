// The formats' table.
#include "Formats.h"

namespace vizuvod {

namespace {
#ifdef VIZUVOD_HEIF
constexpr bool HeifRead = true;
#else
constexpr bool HeifRead = false;
#endif

constexpr TFormatRow Rows[] = {
    {"jpeg", "JPEG", {"jpg", "jpeg", "jpe"}, &TFormats::jpeg, true, "jpg", TResultFormat::Jpeg},
    {"png", "PNG", {"png"}, &TFormats::png, true, nullptr, {}},
    {"webp", "WebP", {"webp"}, &TFormats::webp, true, "webp", TResultFormat::Webp},
    {"heic", "HEIC", {"heic", "heif", "hif"}, &TFormats::heic, HeifRead, nullptr, {}},
    {"avif", "AVIF", {"avif"}, &TFormats::avif, HeifRead, "avif", TResultFormat::Avif}};
}  // namespace

std::span<const TFormatRow> FormatRows() { return Rows; }

const TFormatRow* FormatRowNamed(const std::string& name) {
  for (const TFormatRow& row : FormatRows())
    if (name == row.name) return &row;
  return nullptr;
}

bool HasExtension(const TFormatRow& row, const std::string& lowerExt) {
  for (const char* ext : row.extensions)
    if (ext && lowerExt == ext) return true;
  return false;
}

}  // namespace vizuvod
