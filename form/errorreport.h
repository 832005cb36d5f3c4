#pragma once

#include "store/status.h"

#include <cstdint>
#include <string>
#include <string_view>

// What went wrong with a file operation, in one Italian sentence: the
// operation, the file and the reason, or that another copy of the program
// has the phone book open. The window's message is made of it, and so is the
// command line's line. The file names in it go through escapeControls.
std::u16string failureSentence(const chiamoro::Status& status);

// The window's message for a failed file operation: the sentence, then what
// happens next (the program ends; or, for a phone book open elsewhere, what
// to do about it).
std::u16string errorReport(const chiamoro::Status& status);

// `text` with its control characters written out visibly, so that a name
// from the disk or the command line cannot break a message into lines, drive
// a terminal or turn the text around: a line break, a carriage return and a
// tab become \n, \r and \t; the other C0 and C1 controls and DEL \xHH; the
// marks that change the direction of text (U+061C, U+200E, U+200F,
// U+202A-U+202E, U+2066-U+2069), the line and paragraph separators and a
// lone surrogate \uHHHH. A backslash becomes \\, so that what is shown reads
// back to one text only.
std::u16string escapeControls(std::u16string_view text);

// Pieces of the program's sentences, for every text composed in form/.
std::u16string decimal(std::int64_t n);
// A text between double quotes, its control characters written out.
std::u16string quoted(std::u16string_view text);
// A file's name (UTF-8, as the system gives it), quoted.
std::u16string quotedFile(const std::string& path);
// "1 contatto", "3 contatti".
std::u16string counted(std::int64_t n, std::u16string_view one, std::u16string_view many);
