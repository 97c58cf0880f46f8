// Reading UTF-8 text one character at a time: names are bytes, and any of
// them may not be UTF-8 at all (a name written in another code page).
#pragma once

#include <cstddef>
#include <string_view>

namespace vizuvod {

// The length of the well-formed UTF-8 sequence at text[i] (no overlong
// forms, surrogates or code points past U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// The character at text[i], moving i past it; a byte that starts no
// well-formed sequence stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& i);

}  // namespace vizuvod
