#include "csv.h"

#include "exchange/text.h"
#include "store/utf8.h"

#include <algorithm>
#include <string_view>

using chiamoro::Status;

namespace {

// A header's name is short: longer ones are no column's the program knows.
constexpr std::size_t kNameBytes = 256;

// Google puts several numbers of one kind in one cell.
constexpr std::u16string_view kNumberSeparator = u" ::: ";

// The separator the header row holds most of, outside quotes.
char guessSeparator(std::string_view line) {
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool quoted = false;
    for (const char c : line) {
        quoted = c == '"' ? !quoted : quoted;
        if (!quoted) {
            commas += c == ',';
            semicolons += c == ';';
            tabs += c == '\t';
        }
    }
    if (semicolons > commas && semicolons >= tabs) {
        return ';';
    }
    return tabs > commas ? '\t' : ',';
}

std::string quoted(std::u16string_view text) {
    const std::string bytes = encodeUtf8(text);
    if (bytes.find_first_of(",;\"\t\r\n") == std::string::npos) {
        return bytes;
    }
    std::string field = "\"";
    for (const char c : bytes) {
        field += c;
        if (c == '"') {
            field += '"';
        }
    }
    return field + '"';
}

bool hasValue(std::string_view bytes) {
    return bytes.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

} // namespace

std::string csvHeader() {
    return "Numero,Nome,Commenti\r\n";
}

std::string csvRow(const ContattoLibero& contatto) {
    return quoted(contatto.numero) + ',' + quoted(contatto.nome) + ',' + quoted(contatto.commenti) +
           "\r\n";
}

bool needsTextMark(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return false;
    }
    // What a spreadsheet takes for the start of a formula (some after the
    // spaces in front), and the mark itself.
    if (std::u16string_view(u"\t\r\n'").find(text.front()) != std::u16string_view::npos ||
        std::u16string_view(u"=+-@").find(text[first]) != std::u16string_view::npos) {
        return true;
    }
    // A value: digits with the signs of numbers, dates, times, amounts and
    // percentages, and nothing else but the spaces around them (inner spaces
    // make it text, as "06 1234567" is).
    const std::u16string trimmed = trimSpaces(text);
    bool digit = false;
    bool other = false;
    for (const char16_t c : trimmed) {
        if (c >= u'0' && c <= u'9') {
            digit = true;
        } else if (std::u16string_view(u".,/:%()eE$€£¥").find(c) == std::u16string_view::npos) {
            other = true;
        }
    }
    if (digit && !other) {
        return true;
    }
    // Truth values, in English and in Italian.
    std::u16string upper = trimmed;
    for (char16_t& c : upper) {
        c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    return upper == u"TRUE" || upper == u"FALSE" || upper == u"VERO" || upper == u"FALSO";
}

std::u16string CsvReader::text(std::string_view bytes) const {
    std::u16string text = lines_.converted() ? decodeUtf8(bytes) : decodeGuessing(bytes);
    // A spreadsheet's protection of the text, which the phone book does not keep.
    if (spreadsheet_ && text.size() > 1 && text.front() == u'\'' &&
        needsTextMark(std::u16string_view(text).substr(1))) {
        text.erase(0, 1);
    }
    return text;
}

void CsvReader::add(std::string_view bytes) {
    const std::size_t room = kHeldBytes - field_.size();
    field_.append(bytes.substr(0, room));
    cut_ = cut_ || bytes.size() > room;
}

void CsvReader::feed(std::string_view piece) {
    const char stops[] = {separator_, '"'};
    for (std::size_t i = 0; i < piece.size();) {
        if (quoteInQuotes_) {
            quoteInQuotes_ = false;
            if (piece[i] == '"') {
                add("\""); // two quotes inside quotes are one
                ++i;
                continue;
            }
            inQuotes_ = false; // the quotes closed before this character
        }
        if (inQuotes_) {
            const std::size_t quote = piece.find('"', i);
            add(piece.substr(i, quote == std::string_view::npos ? quote : quote - i));
            if (quote == std::string_view::npos) {
                return;
            }
            quoteInQuotes_ = true;
            i = quote + 1;
            continue;
        }
        if (piece[i] == separator_) {
            fieldEnded();
            ++i;
        } else if (piece[i] == '"' && onlySpaces_) {
            field_.clear(); // spaces before the opening quote do not count
            cut_ = false;
            inQuotes_ = true;
            opened_ = lines_.lineNumber();
            ++i;
        } else {
            // Up to the next separator or quote; a quote inside a field is
            // itself, as spreadsheets take it.
            std::size_t stop = piece.find_first_of(std::string_view(stops, 2), i + 1);
            stop = stop == std::string_view::npos ? piece.size() : stop;
            const std::string_view run = piece.substr(i, stop - i);
            add(run);
            onlySpaces_ = onlySpaces_ && run.find_first_not_of(' ') == std::string_view::npos;
            i = stop;
        }
    }
}

void CsvReader::fieldEnded() {
    if (inHeader_) {
        if (column_ < kColumns) {
            names_.push_back(trimSpaces(text(std::string_view(field_).substr(0, kNameBytes))));
        }
        ++headerColumns_;
    } else {
        rowField(column_, field_, cut_);
    }
    ++column_;
    field_.clear();
    cut_ = false;
    onlySpaces_ = true;
    inQuotes_ = false;
    quoteInQuotes_ = false;
}

Status CsvReader::row(std::string_view piece, bool ends, InputProblem& problem) {
    rowLine_ = lines_.lineNumber();
    column_ = 0;
    for (;;) {
        feed(piece);
        if (ends) {
            if (!inQuotes_ || quoteInQuotes_) {
                fieldEnded();
                return Status::success();
            }
            // A line break inside the quotes belongs to the field.
            add(*lines_.ending() != '\0' ? lines_.ending() : "\r\n");
        }
        bool more = false;
        if (Status status = lines_.next(piece, ends, more); !status.ok()) {
            return status;
        }
        if (!more) {
            problem = {InputProblem::Kind::UnterminatedQuote, opened_};
            return Status::success();
        }
    }
}

Status CsvReader::header(bool& got, InputProblem& problem) {
    // The first line with something in it, as much of it as it takes to see
    // which separator it uses.
    std::string_view piece;
    bool ends = false;
    do {
        if (Status status = lines_.next(piece, ends, got); !status.ok() || !got) {
            return status;
        }
    } while (!hasValue(piece));
    std::string start(piece);
    while (!ends && start.size() < kNameBytes * 16) {
        bool more = false;
        if (Status status = lines_.next(piece, ends, more); !status.ok()) {
            return status;
        }
        start.append(piece);
    }
    separator_ = guessSeparator(start);
    spreadsheet_ =
        spreadsheet_ || (lines_.encoding() == LineReader::Encoding::Utf8 && separator_ == ';');
    inHeader_ = true;
    Status status = row(start, ends, problem);
    inHeader_ = false;
    if (!status.ok() || !problem.ok()) {
        return status;
    }
    const bool surnames = std::any_of(names_.begin(), names_.end(), isSurnameColumn);
    bool known = false;
    for (const std::u16string& name : names_) {
        Column column = columnNamed(name, surnames);
        known = known || column.role != Column::Role::Ignored;
        ignoredIndex_.push_back(column.role == Column::Role::Ignored ? ignored_.declare(name)
                                                                     : IgnoredFields::kNames);
        if (column.role == Column::Role::Name && column.part == NamePart::Company &&
            company_.empty()) {
            company_ = name;
        }
        if (column.guessed) {
            notices_.add(
                {Notice::Kind::PhoneColumn, rowLine_, rowLine_, 0,
                 encodeUtf8(std::u16string_view(name).substr(0, IgnoredFields::kLongestName))});
        }
        columns_.push_back(std::move(column));
    }
    names_.clear();
    if (headerColumns_ > kColumns) {
        notices_.add({Notice::Kind::ManyColumns,
                      rowLine_,
                      rowLine_,
                      static_cast<std::int64_t>(headerColumns_ - kColumns),
                      {}});
    }
    if (!known) {
        problem = {InputProblem::Kind::UnknownColumns, rowLine_};
    }
    return Status::success();
}

void CsvReader::addNumbers(std::u16string_view text, bool cut, PhoneKind kind,
                           std::u16string_view label) {
    // Every number: the builder keeps the best of those past the ones it holds.
    const auto numbers = splitAt(text, kNumberSeparator, text.size() + 1);
    for (const std::u16string_view number : numbers) {
        const bool last = number.end() == text.end();
        contact_.phone({lineText(number, cut && last), std::u16string(label), kind, false, {}});
    }
}

void CsvReader::rowField(std::size_t column, std::string_view bytes, bool cut) {
    if (column >= columns_.size()) {
        // Past the header's columns; those past the ones told apart are reported once.
        if (column >= headerColumns_ && hasValue(bytes)) {
            ++extra_;
        }
        return;
    }
    const Column& named = columns_[column];
    switch (named.role) {
    case Column::Role::Ignored:
        if (hasValue(bytes)) {
            ignored_.seen(ignoredIndex_[column], rows_);
        }
        break;
    case Column::Role::Name:
        contact_.name(named.part, lineText(text(bytes), cut));
        break;
    case Column::Role::Phone:
        if (named.whole) {
            contact_.phone({lineText(text(bytes), cut), named.label, named.kind, false, {}});
        } else {
            addNumbers(text(bytes), cut, named.kind, named.label);
        }
        break;
    case Column::Role::PhoneType:
    case Column::Role::PhoneValue: {
        auto pair = std::find_if(pairs_.begin(), pairs_.end(),
                                 [&named](const Pair& p) { return p.pair == named.pair; });
        if (pair == pairs_.end()) {
            pair = pairs_.insert(pairs_.end(), Pair{named.pair, {}, {}});
        }
        if (named.role == Column::Role::PhoneType) {
            pair->type = lineText(text(bytes)).text;
            break;
        }
        const std::u16string numbers = text(bytes);
        for (const std::u16string_view number :
             splitAt(numbers, kNumberSeparator, ContactBuilder::kHeldPhones - pairNumbers_)) {
            const bool last = number.end() == std::u16string_view(numbers).end();
            pair->numbers.push_back(lineText(number, cut && last));
            ++pairNumbers_;
        }
        break;
    }
    case Column::Role::Notes:
        contact_.note(noteText(text(bytes), cut));
        break;
    }
}

void CsvReader::rowEnded() {
    for (const Pair& pair : pairs_) {
        PhoneKind kind = PhoneKind::Voice;
        const std::u16string label = phoneLabel(pair.type, kind);
        for (const HeldText& number : pair.numbers) {
            contact_.phone({number, label, kind, false, {}});
        }
    }
    if (contact_.companyUnused()) {
        ignored_.seen(company_, rows_);
    }
    if (extra_ > 0) {
        notices_.add({Notice::Kind::ExtraFields, rowLine_, lines_.lineNumber(), extra_, {}});
    }
}

Status CsvReader::next(ReadContact& contact, bool& got, InputProblem& problem) {
    got = false;
    if (!headerRead_) {
        headerRead_ = true;
        if (Status status = header(got, problem); !status.ok() || !got || !problem.ok()) {
            got = false;
            return status;
        }
        got = false;
    }
    std::string_view piece;
    bool ends = false;
    bool more = false;
    if (Status status = lines_.next(piece, ends, more); !status.ok() || !more) {
        return status;
    }
    ++rows_;
    contact_.clear();
    pairs_.clear();
    pairNumbers_ = 0;
    extra_ = 0;
    if (Status status = row(piece, ends, problem); !status.ok() || !problem.ok()) {
        return status;
    }
    rowEnded();
    contact = contact_.contact();
    got = true;
    return Status::success();
}
