// Names as vizuvod-batch prints them: a file name may hold any byte but '/'
// and NUL, and a newline or a terminal escape sequence in one would forge
// lines or command the terminal.
#pragma once

#include <string>

namespace vizuvod {

// The text with control characters (C0, DEL and C1), bytes that are no UTF-8
// and the backslash written as C-style escapes ("\n", "\x1b", "\\"); every
// other character, Cyrillic included, stays as it is.
std::string PrintableText(const std::string& text);

}  // namespace vizuvod
