#pragma once

#include <string>
#include <string_view>

// UTF-8, the encoding of file names on this system and of the files other
// programs exchange contacts in, to and from the program's UTF-16 text.

// A byte sequence that is not UTF-8 becomes U+FFFD, one per bad byte.
std::u16string decodeUtf8(std::string_view bytes);

// A lone surrogate becomes U+FFFD.
std::string encodeUtf8(std::u16string_view text);
