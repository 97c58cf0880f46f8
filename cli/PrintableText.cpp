#include "PrintableText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/Utf8.h"

namespace vizuvod {

std::string PrintableText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    const std::size_t n = Utf8SequenceLength(text, i);
    // C1 controls (U+0080..U+009F) include the one-byte CSI.
    const bool control = n == 0 || b < 0x20 || b == 0x7F ||
                         (n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
    if (b == '\\') {
      out += "\\\\";
    } else if (!control) {
      out.append(text, i, n);
      i += n;
      continue;
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\t') {
      out += "\\t";
    } else {
      const std::size_t count = n == 0 ? 1 : n;
      for (std::size_t k = 0; k < count; ++k) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(text[i + k]));
        out += hex;
      }
      i += count;
      continue;
    }
    ++i;
  }
  return out;
}

std::string OneLine(const std::string& text, std::size_t keep) {
  if (text.size() <= keep) return text;
  std::size_t cut = keep;
  while (cut > 0 && (std::uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

std::size_t ShownOf(const std::string& photo, const std::string& text) {
  std::size_t named = 0;
  for (std::size_t at = text.find(photo); !photo.empty() && at != std::string::npos;
       at = text.find(photo, at + photo.size()))
    ++named;
  return 200 + std::max<std::size_t>(named, 1) * (photo.size() + 2);
}

}  // namespace vizuvod
