// Texts of the program are bytes: ASCII from its own catalogue, Latin-1
// from key presses, and whatever the settings file holds. The X side wants
// UTF-8.
#pragma once

#include <string>

namespace nrvnc {

bool Is_Valid_Utf8(const std::string& text);
// A text that is valid UTF-8 stays as it is; any other is read as Latin-1.
std::string To_Utf8(const std::string& text);
// The first count bytes of text, in UTF-8, read the way To_Utf8 reads the
// whole text (a character cut in two is left out).
std::string Prefix_To_Utf8(const std::string& text, std::size_t count);
std::string Latin1_To_Utf8(const std::string& text);
// Lower case for ASCII and the Latin-1 letters of UTF-8 text, for titles
// compared without regard to letter case.
std::string Fold_Case_Utf8(const std::string& utf8);

}  // namespace nrvnc
