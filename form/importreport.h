#pragma once

#include "exchange/exchange.h"

#include <cstdint>
#include <string>
#include <vector>

// What an import did, in Italian, line by line: the lines `chiamoro
// --importa` prints after "chiamoro: ", and the details of the window's box.
// `file` is the name the user knows the file by, in UTF-8; control
// characters in names and texts from the file are written out
// (escapeControls).

// "\"rubrica.csv\", riga 7: Nome tagliato a 40 caratteri (ne aveva 52)."
std::u16string changeLine(const std::string& file, std::int64_t line,
                          const std::vector<FieldChange>& changes);
// A line or field read otherwise than it stands, or how many more there were.
std::u16string noticeLine(const std::string& file, const Notice& notice);
// A duplicate, or a contact that may be one.
std::u16string duplicateLine(const std::string& file, const DuplicateEvent& event);
// The columns or properties that had no place in the phone book; empty if none.
std::u16string ignoredLine(const std::string& file, const ExchangeReport& report, Formato format);
// The last line: what came in, and how many records the phone book holds.
std::u16string summaryLine(const std::string& file, const ExchangeReport& report);
// Why an import failed, and whether the contacts are in the phone book.
std::u16string failureLine(const std::string& file, const ExchangeReport& report);

// The lines of an import, gathered as it goes, for the window's box: the
// first kHeldLines of them, and how many more there were.
class ImportLines {
public:
    static constexpr std::size_t kHeldLines = 1000;

    // Options whose reports come here, each named after the file set last.
    ImportOptions options();
    void setFile(const std::string& file) { file_ = file; }
    void add(std::u16string line);

    // Every line held, one a line, and the count of the others.
    std::u16string text() const;
    // Whether anything was left out, cut or read otherwise than it stood.
    bool altered() const { return altered_; }
    void setAltered() { altered_ = true; }

private:
    std::string file_;
    std::vector<std::u16string> lines_;
    std::int64_t more_ = 0;
    bool altered_ = false;
};
