#include "PrintableText.h"

#include <cstdio>

namespace vizuvod {

std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  const std::size_t n = b < 0x80                 ? 1
                        : b >= 0xC2 && b <= 0xDF ? 2
                        : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4
                                                 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((b == 0xE0 && byte(i + 1) < 0xA0) || (b == 0xED && byte(i + 1) >= 0xA0) ||
      (b == 0xF0 && byte(i + 1) < 0x90) || (b == 0xF4 && byte(i + 1) >= 0x90))
    return 0;
  return n;
}

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

}  // namespace vizuvod
