#pragma once

#include <string>
#include <string_view>

// Upper-casing for search: each character maps to exactly one character, so a
// text keeps its length ("ß" stays "ß"). The mapping follows the C library's
// LC_CTYPE (the user's locale once the program has called setlocale); every
// lower-case letter of Windows-1252 is upper-cased even under the plain "C"
// locale, which knows only ASCII.
char16_t toUpperChar(char16_t c);
std::u16string toUpper(std::u16string_view text);
