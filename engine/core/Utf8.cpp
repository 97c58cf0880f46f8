#include "core/Utf8.h"

namespace vizuvod {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
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

char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const std::size_t n = Utf8SequenceLength(text, i);
  if (n <= 1) {
    ++i;
    return lead;
  }
  char32_t cp = lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k)
    cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  i += n;
  return cp;
}

}  // namespace vizuvod
