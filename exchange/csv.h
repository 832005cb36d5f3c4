#pragma once

#include "exchange/linereader.h"
#include "exchange/reader.h"

#include <string>
#include <vector>

// CSV, the format of spreadsheets (RFC 4180).
//
// Written: the header row "Numero,Nome,Commenti", then one row per contact;
// commas between fields, CR LF at the end of a row, UTF-8. A field is put in
// double quotes, its own quotes doubled, when it holds a comma, a semicolon, a
// quote, a tab or a line break; a line break in the comments stays inside
// the quotes as it is (CR LF, or a lone LF or CR a record may hold), so that
// the record comes back byte for byte.
//
// Read: the first row that is not empty names the columns. Numero, Nome and
// Commenti are found by name, in any case and with any spaces around; every
// other column is passed over (ignored() lists them), and a header that names
// none of the three is refused. The separator is the comma, the semicolon or
// the tab, whichever the header row holds most of, as spreadsheets save it;
// a field is UTF-8 when it is valid UTF-8 and Windows-1252 otherwise (what a
// spreadsheet saves on an Italian system). Quoted fields may span lines, and
// keep their line breaks as they are; a row shorter than the header has empty
// fields.

std::string csvHeader();
std::string csvRow(const Voce& voce);

class CsvReader : public ContactReader {
public:
    explicit CsvReader(LineReader& lines) : lines_(lines) {}

    Status next(Voce& voce, bool& got, InputProblem& problem) override;
    std::int64_t line() const override { return rowLine_; }

    // The names of the columns passed over, once the first contact has been asked for.
    const std::vector<std::u16string>& ignored() const { return ignored_; }

private:
    // One row's fields, as bytes; `got` is false at the end of the file.
    Status row(std::vector<std::string>& fields, bool& got, InputProblem& problem);
    Status header(bool& got, InputProblem& problem);

    LineReader& lines_;
    bool headerRead_ = false;
    char separator_ = ',';
    std::string first_; // the header row's first line, read before its separator is known
    bool haveFirst_ = false;
    std::int64_t rowLine_ = 0;
    int numero_ = -1; // column indexes, -1 when missing
    int nome_ = -1;
    int commenti_ = -1;
    std::vector<std::u16string> ignored_;
};
