#pragma once

#include "exchange/columns.h"
#include "exchange/contactbuilder.h"
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
// Read: the first row that is not empty names the columns, and columnNamed()
// says what each holds: this program's own Numero, Nome and Commenti, or the
// many columns of Google Contacts, Outlook and Thunderbird, in English or in
// Italian. A header that names none of them is refused; the other columns
// are passed over and counted (ignored()). The name, the number and the
// comments are put together by the rules of ContactBuilder.
//
// The separator is the comma, the semicolon or the tab, whichever the header
// row holds most of, as spreadsheets save it; a field is UTF-8 when it is
// valid UTF-8 and Windows-1252 otherwise (what a spreadsheet saves on an
// Italian system). Quoted fields may span lines, and keep their line breaks
// as they are; a row shorter than the header has empty fields, and the fields
// of a longer one past the header's columns are reported and ignored. In a
// spreadsheet's CSV (one read as such, or any with a UTF-8 byte-order mark
// and semicolons, as spreadsheets on an Italian system save it), a field that
// is an apostrophe and what needsTextMark() protects is that text; any other
// CSV keeps it.
//
// Memory stays bounded: a row is read as it comes, and of a field only the
// first kFieldBytes are held.

std::string csvHeader();
std::string csvRow(const ContattoLibero& contatto);

// Whether a field of a spreadsheet's CSV that starts with an apostrophe is
// that apostrophe and the text it protects: what a spreadsheet, or a program
// writing for one, marks so that it stays text. That is, text that starts
// with = + - @ (after any spaces), a tab, a line break or an apostrophe, or
// that a spreadsheet would read as a number, a date, a time, a percentage, an
// amount or a truth value (0612345, 1/2, 12:30, 5%, VERO).
bool needsTextMark(std::u16string_view text);

class CsvReader : public ContactReader {
public:
    static constexpr std::size_t kFieldBytes = std::size_t{32} << 10;
    static constexpr std::size_t kColumns = 1024;

    // `spreadsheet`: the file is a spreadsheet's CSV, whatever it looks like.
    CsvReader(LineReader& lines, Notices& notices, bool spreadsheet = false)
        : lines_(lines), notices_(notices), spreadsheet_(spreadsheet) {}

    chiamoro::Status next(ReadContact& contact, bool& got, InputProblem& problem) override;
    std::int64_t line() const override { return rowLine_; }
    const IgnoredFields& ignored() const override { return ignored_; }

private:
    chiamoro::Status header(bool& got, InputProblem& problem);
    // Reads the row that begins with `piece`, handing each field to
    // fieldEnded() as it ends.
    chiamoro::Status row(std::string_view piece, bool ends, InputProblem& problem);
    void feed(std::string_view piece);
    void add(std::string_view bytes);
    void fieldEnded();
    void rowField(std::size_t column, std::string_view bytes, bool cut);
    void addNumbers(std::u16string_view text, bool cut, PhoneKind kind, std::u16string_view label);
    void rowEnded();
    std::u16string text(std::string_view bytes) const;

    LineReader& lines_;
    Notices& notices_;
    bool spreadsheet_;
    bool headerRead_ = false;
    bool inHeader_ = false;
    char separator_ = ',';
    std::int64_t rowLine_ = 0;
    std::int64_t rows_ = 0;

    // The field being read.
    std::string field_;
    bool cut_ = false;
    bool inQuotes_ = false;
    bool quoteInQuotes_ = false; // a quote inside quotes: closing, or the first of two
    bool onlySpaces_ = true;
    std::int64_t opened_ = 0; // the line where the quotes opened
    std::size_t column_ = 0;

    std::vector<std::u16string> names_; // the header's, while it is read
    std::size_t headerColumns_ = 0;
    std::vector<Column> columns_;
    std::vector<std::size_t> ignoredIndex_; // per column, in ignored_
    std::int64_t extra_ = 0;                // non-empty fields past the header's columns

    // Google's numbered pairs of this row, put in once the row is read.
    struct Pair {
        int pair = 0;
        std::u16string type;
        std::vector<HeldText> numbers;
    };
    std::vector<Pair> pairs_;
    std::size_t pairNumbers_ = 0;
    std::u16string company_; // the name of the company's column

    ContactBuilder contact_;
    IgnoredFields ignored_;
};
