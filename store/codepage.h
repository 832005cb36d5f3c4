#pragma once

#include <string>
#include <string_view>

// Windows-1252, the code page of the data file. Every byte decodes to one
// UTF-16 code unit; the five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) decode to the control characters of the same value, so
// every byte survives a round trip.

char16_t decodeCp1252(unsigned char byte);

// A code unit the code page cannot hold (a lone surrogate, each half of an
// emoji, CJK, ...) becomes '?'.
unsigned char encodeCp1252(char16_t unit);

std::u16string decodeCp1252(std::string_view bytes);
std::string encodeCp1252(std::u16string_view text);
