#include "csv.h"

#include "store/utf8.h"

#include <string_view>

namespace {

// A field as it stands: a line break inside the quotes stays the one it is
// (CR LF, or the lone LF of a spreadsheet's cell), as the record keeps it.
std::u16string fieldText(std::string_view bytes) {
    return trimSpaces(decodeGuessing(bytes));
}

std::u16string upperAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text;
}

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

std::u16string column(const std::vector<std::string>& fields, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) {
        return {};
    }
    return fieldText(fields[static_cast<std::size_t>(index)]);
}

} // namespace

std::string csvHeader() {
    return "Numero,Nome,Commenti\r\n";
}

std::string csvRow(const Voce& voce) {
    return quoted(voce.numero) + ',' + quoted(voce.nome) + ',' + quoted(voce.commenti) + "\r\n";
}

Status CsvReader::row(std::vector<std::string>& fields, bool& got, InputProblem& problem) {
    fields.clear();
    std::string line;
    if (haveFirst_) {
        line = std::move(first_);
        haveFirst_ = false;
        got = true;
    } else if (Status status = lines_.next(line, got); !status.ok() || !got) {
        return status;
    }
    rowLine_ = lines_.lineNumber();
    std::string field;
    bool inQuotes = false;
    std::int64_t opened = 0;
    for (;;) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (inQuotes) {
                if (c != '"') {
                    field += c;
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else if (c == separator_) {
                fields.push_back(std::move(field));
                field.clear();
            } else if (c == '"' && field.find_first_not_of(' ') == std::string::npos) {
                field.clear(); // spaces before the opening quote do not count
                inQuotes = true;
                opened = lines_.lineNumber();
            } else {
                field += c; // even a quote inside a field, as spreadsheets take it
            }
        }
        if (!inQuotes) {
            break;
        }
        // A line break inside the quotes belongs to the field.
        field += lines_.ending();
        bool more = false;
        if (Status status = lines_.next(line, more); !status.ok()) {
            return status;
        }
        if (!more) {
            problem = {InputProblem::Kind::UnterminatedQuote, opened};
            return Status::success();
        }
    }
    fields.push_back(std::move(field));
    return Status::success();
}

Status CsvReader::header(bool& got, InputProblem& problem) {
    do {
        if (Status status = lines_.next(first_, got); !status.ok() || !got) {
            return status;
        }
    } while (first_.find_first_not_of(" \t") == std::string::npos);
    haveFirst_ = true;
    separator_ = guessSeparator(first_);
    std::vector<std::string> names;
    if (Status status = row(names, got, problem); !status.ok() || !problem.ok()) {
        return status;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string name = fieldText(names[i]);
        const std::u16string key = upperAscii(name);
        int* index = key == u"NUMERO"     ? &numero_
                     : key == u"NOME"     ? &nome_
                     : key == u"COMMENTI" ? &commenti_
                                          : nullptr;
        if (index != nullptr && *index < 0) {
            *index = static_cast<int>(i);
        } else if (!name.empty()) {
            ignored_.push_back(name); // an unknown column, or a known one again
        }
    }
    if (numero_ < 0 && nome_ < 0 && commenti_ < 0) {
        problem = {InputProblem::Kind::UnknownColumns, rowLine_};
    }
    return Status::success();
}

Status CsvReader::next(Voce& voce, bool& got, InputProblem& problem) {
    got = false;
    if (!headerRead_) {
        headerRead_ = true;
        if (Status status = header(got, problem); !status.ok() || !got || !problem.ok()) {
            got = false;
            return status;
        }
    }
    std::vector<std::string> fields;
    if (Status status = row(fields, got, problem); !status.ok() || !got || !problem.ok()) {
        got = got && status.ok() && problem.ok();
        return status;
    }
    voce = {column(fields, numero_), column(fields, nome_), column(fields, commenti_)};
    return Status::success();
}
