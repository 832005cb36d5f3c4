#pragma once

#include <ctime>
#include <string>
#include <vector>

// The shown contact as clipboard text and as printed lines, composed from the
// three box texts as they stand (not trimmed; CR LF line breaks kept).

// Rule, name, blank line, number, blank line, comments, rule, one blank.
std::u16string clipboardText(const std::u16string& nome, const std::u16string& numero,
                             const std::u16string& commenti);

// The four texts handed to the printer one per step: name entry, number entry,
// comments entry, closing line with `dateTime`.
std::vector<std::u16string> printTexts(const std::u16string& nome, const std::u16string& numero,
                                       const std::u16string& commenti,
                                       const std::u16string& dateTime);

// Short date, one blank, time with seconds, under the C library's current
// locale; the date alone at exactly 00:00:00.
std::u16string dateTimeText(const std::tm& local);
