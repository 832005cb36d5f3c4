#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The text helpers of the exchange: the case and the blanks of what other
// programs write, line breaks, and bytes whose encoding nobody stated.

// Bytes whose encoding nobody stated: UTF-8 when they are valid UTF-8,
// otherwise Windows-1252, which is what spreadsheets and old phones on
// Italian systems write.
std::u16string decodeGuessing(std::string_view bytes);

// CR LF, a lone CR and a lone LF each become CR LF.
std::u16string normaliseBreaks(std::u16string_view text);

// A text on one line: CR LF, a lone CR and a lone LF each become a space.
std::u16string oneLine(std::u16string_view text);

// Lower case for ASCII and the Latin-1 letters ("SOCIETÀ" is "società"): names
// other programs give, compared in any case.
std::u16string lowerCase(std::u16string_view text);

// Upper case for ASCII alone: vCard's names and parameters, character sets' names.
std::string upperAscii(std::string_view text);

// Whether `text` ends with `suffix`, ASCII letters in any case: a file's ending.
bool endsWithNoCase(std::string_view text, std::string_view suffix);

// Without the spaces and tabs around it: a vCard's names and parameters.
std::string_view trimBlanks(std::string_view text);

// The pieces of `text` between occurrences of `separator`, the first `most`
// of them; the last piece held runs to the end of the text only when it is
// the text's own last one.
std::vector<std::u16string_view> splitAt(std::u16string_view text, std::u16string_view separator,
                                         std::size_t most);
