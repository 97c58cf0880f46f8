// Names as vizuvod-batch prints them: a file name may hold any byte but '/'
// and NUL, and a newline or a terminal escape sequence in one would forge
// lines or command the terminal.
#pragma once

#include <cstddef>
#include <string>

namespace vizuvod {

// The text with control characters (C0, DEL and C1), bytes that are no UTF-8
// and the backslash written as C-style escapes ("\n", "\x1b", "\\"); every
// other character, Cyrillic included, stays as it is.
std::string PrintableText(const std::string& text);

// A message as one short line: what passes `keep` bytes is cut (at a whole
// character) and ends in "..."; PrintableText then escapes line ends. The
// report keeps the whole text.
std::string OneLine(const std::string& text, std::size_t keep);

// How much of a message about a photo is shown: about 200 characters
// besides the photo's name, wherever the message names it.
std::size_t ShownOf(const std::string& photo, const std::string& text);

}  // namespace vizuvod
