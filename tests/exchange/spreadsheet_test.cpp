// The workbook as LibreOffice Calc opens it, in English and in Italian: every
// cell is text, none a formula or a number, and reads as it went out; its
// layout; a book past a sheet's rows on the sheets after it; and back into a
// phone book from the CSV Calc saves.

#include "exchange/exchange.h"
#include "exchange/workbook.h"
#include "helpers.h"
#include "store/utf8.h"
#include "support/records.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using SpreadsheetTest = InTempDir;

struct Cell {
    std::string type; // office:value-type
    bool formula = false;
    std::string text; // its paragraphs, one "\n" between them
};

std::string unescapedXml(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1)) {
            text.replace(at, std::string(entity).size(), character);
        }
    }
    return text;
}

// The text of a cell's paragraphs, with the spaces, tabs and breaks the
// format writes as elements.
std::string paragraphs(const std::string& xml) {
    std::string text;
    bool inParagraph = false; // the file is indented between its elements
    int count = 0;
    for (std::size_t at = 0; at < xml.size();) {
        if (xml[at] != '<') {
            const std::size_t next = std::min(xml.find('<', at), xml.size());
            if (inParagraph) {
                text += unescapedXml(xml.substr(at, next - at));
            }
            at = next;
            continue;
        }
        const std::size_t close = xml.find('>', at);
        const std::string tag = xml.substr(at, close - at + 1);
        if (tag.starts_with("<text:p")) {
            text += count++ > 0 ? "\n" : "";
            inParagraph = !tag.ends_with("/>");
        } else if (tag == "</text:p>") {
            inParagraph = false;
        } else if (tag.starts_with("<text:s")) {
            const std::size_t n = tag.find("text:c=\"");
            text += std::string(n == std::string::npos ? 1 : std::stoul(tag.substr(n + 8)), ' ');
        } else if (tag.starts_with("<text:tab")) {
            text += '\t';
        } else if (tag.starts_with("<text:line-break")) {
            text += '\n';
        }
        at = close + 1;
    }
    return text;
}

using Rows = std::vector<std::vector<Cell>>;

// The cells of a sheet of a flat OpenDocument spreadsheet, row by row, the
// empty rows left out.
Rows sheetCells(const std::string& xml) {
    Rows rows;
    for (std::size_t row = xml.find("<table:table-row"); row != std::string::npos;
         row = xml.find("<table:table-row", row + 1)) {
        const std::size_t end = xml.find("</table:table-row>", row);
        const std::string cellsXml = xml.substr(row, end - row);
        std::vector<Cell> cells;
        for (std::size_t cell = cellsXml.find("<table:table-cell"); cell != std::string::npos;
             cell = cellsXml.find("<table:table-cell", cell + 1)) {
            const std::size_t open = cellsXml.find('>', cell);
            const std::string tag = cellsXml.substr(cell, open - cell);
            Cell found;
            if (const std::size_t type = tag.find("office:value-type=\"");
                type != std::string::npos) {
                found.type = tag.substr(type + 19, tag.find('"', type + 19) - type - 19);
            }
            found.formula = tag.find("table:formula=") != std::string::npos;
            if (cellsXml[open - 1] != '/') {
                const std::size_t close = cellsXml.find("</table:table-cell>", open);
                found.text = paragraphs(cellsXml.substr(open + 1, close - open - 1));
            }
            cells.push_back(found);
        }
        while (!cells.empty() && cells.back().type.empty()) {
            cells.pop_back(); // the empty cells to the end of the row
        }
        if (!cells.empty()) {
            rows.push_back(cells);
        }
    }
    return rows;
}

// The sheets of a flat OpenDocument spreadsheet: each one's name and XML.
std::vector<std::pair<std::string, std::string>> sheets(const std::string& fods) {
    std::vector<std::pair<std::string, std::string>> found;
    for (std::size_t at = fods.find("<table:table "); at != std::string::npos;
         at = fods.find("<table:table ", at + 1)) {
        const std::size_t name = fods.find("table:name=\"", at) + 12;
        found.emplace_back(fods.substr(name, fods.find('"', name) - name),
                           fods.substr(at, fods.find("</table:table>", at) - at));
    }
    return found;
}

// The value of the attribute `name` of the first element at or after `at`
// that has it.
std::string attribute(const std::string& xml, std::size_t at, const std::string& name) {
    const std::size_t start = xml.find(name + "=\"", at) + name.size() + 2;
    return xml.substr(start, xml.find('"', start) - start);
}

// What a named style of the document says: its element, up to the next style.
std::string style(const std::string& fods, const std::string& name) {
    const std::size_t at = fods.find("<style:style style:name=\"" + name + "\"");
    return at == std::string::npos ? std::string()
                                   : fods.substr(at, fods.find("</style:style>", at) - at);
}

// Calc, headless, in English or in Italian (as its locale follows the
// environment's), converts `file` into `to` ("fods", or a filter and its
// options), in the folder `into`.
void convert(const std::string& dir, const char* locale, const std::string& file,
             const std::string& to, const std::string& into) {
    const std::string command = "LOCPATH=" CHIAMORO_TEST_LOCALES " LC_ALL=" + std::string(locale) +
                                " HOME=" + dir + " soffice -env:UserInstallation=file://" + dir +
                                "/profilo --headless --convert-to '" + to + "' --outdir " + dir +
                                "/" + into + " " + file + " >" + dir + "/soffice.log 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir + "/soffice.log");
}

// A text as a cell of Calc, and as Calc's CSV, shows it: every line break is LF.
std::string lineFeeds(std::u16string_view text) {
    std::string bytes = encodeUtf8(normaliseBreaks(text));
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
         at = bytes.find("\r\n", at)) {
        bytes.replace(at, 2, "\n");
    }
    return bytes;
}

TEST_F(SpreadsheetTest, LibreOfficeReadsEveryCellAsTheTextThatWentOut) {
    const std::vector<ContattoLibero> contacts = {
        {u"+39 333 1234567", u"Numero con spazi", u"06 1234567"},
        {u"+393331234567", u"=HYPERLINK(\"http://example.com\";\"clic\")", u"@SUM(1;2)"},
        {u"0612345", u"-5", u"1/2"},
        {u"12:30", u"3,14", u"1.000"},
        {u"1e5", u"5%", u"€5"},
        {u"VERO", u"'apostrofo", u"  =1+1"},
        // (LibreOffice 7.4 drops the tabs of a cell of more than one line.)
        {u"00393331234567", u"Zoë \"detta\"\tNicolò", u"Prima riga\r\nseconda; terza"},
        {u"'0612345", u"'=SOMMA(A1)", u"''@"},
        {u"€ ‰ Œ ž", std::u16string(40, u'è'), u"=SOMMA(A1) \"citato\""},
        {u"", u"_x0041_ e _X004a_", u"a\nb\rc\r\n\r\nd"},
        {u"", u"", u""}, // blank: left out
    };
    std::string book;
    for (const ContattoLibero& contatto : contacts) {
        book += record(contatto.numero, contatto.nome, contatto.commenti);
    }
    writeFile(kDataFileName, book);
    const ExchangeReport out = exportContacts(posixFileSystem(), "rubrica.xlsx", Formato::Foglio);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out.contacts, 10);
    EXPECT_EQ(out.skipped, 1);

    for (const char* locale : {"C.UTF-8", "it_IT.UTF-8"}) {
        SCOPED_TRACE(locale);
        convert(dir(), locale, "rubrica.xlsx", "fods", locale);
        const std::string fods = readFile(std::string(locale) + "/rubrica.fods");
        const auto sheet = sheets(fods);
        ASSERT_EQ(sheet.size(), 1u);
        EXPECT_EQ(sheet[0].first, "Contatti");
        const Rows rows = sheetCells(sheet[0].second);
        ASSERT_EQ(rows.size(), 11u);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const std::u16string header[] = {u"Numero", u"Nome", u"Commenti"};
            const ContattoLibero& contatto = r == 0 ? ContattoLibero{} : contacts[r - 1];
            const std::u16string* fields[] = {&contatto.numero, &contatto.nome, &contatto.commenti};
            ASSERT_EQ(rows[r].size(), 3u) << "row " << r + 1;
            for (std::size_t f = 0; f < 3; ++f) {
                const Cell& cell = rows[r][f];
                // The window's text: the spaces around it are not kept.
                const std::string sent =
                    r == 0 ? encodeUtf8(header[f]) : lineFeeds(trimSpaces(*fields[f]));
                SCOPED_TRACE(sent);
                EXPECT_EQ(cell.type, sent.empty() ? "" : "string");
                EXPECT_FALSE(cell.formula);
                EXPECT_EQ(cell.text, sent); // as it went out, with no mark in front
            }
        }
        // The header row bold and on every printed page; A4, fitted to the
        // page's width; the comments wrapped.
        const std::string& table = sheet[0].second;
        const std::size_t header = table.find("<table:table-header-rows>");
        ASSERT_NE(header, std::string::npos);
        EXPECT_NE(style(fods, attribute(table, table.find("<table:table-cell", header),
                                        "table:style-name"))
                      .find("fo:font-weight=\"bold\""),
                  std::string::npos);
        EXPECT_TRUE(fods.find("fo:page-width=\"8.2681in\" fo:page-height=\"11.6929in\"") !=
                        std::string::npos ||
                    fods.find("fo:page-width=\"21.001cm\" fo:page-height=\"29.7cm\"") !=
                        std::string::npos);
        EXPECT_NE(fods.find("style:scale-to-X=\"1\""), std::string::npos);
        std::size_t third = table.find("<table:table-column");
        third = table.find("<table:table-column", table.find("<table:table-column", third + 1) + 1);
        EXPECT_NE(style(fods, attribute(table, third, "table:default-cell-style-name"))
                      .find("fo:wrap-option=\"wrap\""),
                  std::string::npos);
    }

    // Saved by Calc as CSV and imported, the contacts come back as the window
    // shows them, with Calc's line breaks.
    convert(dir(), "it_IT.UTF-8", "rubrica.xlsx", "csv:Text - txt - csv (StarCalc):59,34,76,1",
            "csv");
    std::filesystem::remove(kDataFileName);
    const ExchangeReport in = importContacts(posixFileSystem(), "csv/rubrica.csv", Formato::Csv);
    ASSERT_TRUE(in.ok()) << in.problem.line;
    EXPECT_EQ(in.changed, 0);
    std::vector<ContattoLibero> shown;
    for (std::size_t i = 0; i + 1 < contacts.size(); ++i) {
        const ContattoLibero& c = contacts[i];
        shown.push_back({trimSpaces(c.numero), trimSpaces(c.nome),
                         decodeUtf8(lineFeeds(trimSpaces(c.commenti)))});
    }
    EXPECT_EQ(contactsIn(), shown);
}

TEST_F(SpreadsheetTest, ABookLargerThanASheetGoesOnToTheSheetsAfterIt) {
    Workbook workbook(2); // contacts per sheet
    ASSERT_TRUE(workbook.open(5, 0).ok());
    for (const char16_t* name : {u"uno", u"due", u"tre", u"quattro", u"cinque"}) {
        ASSERT_TRUE(workbook.add({u"06 1", name, u""}).ok());
    }
    std::string bytes;
    ASSERT_TRUE(workbook
                    .finish([&bytes](const std::string& block) {
                        bytes += block;
                        return chiamoro::Status::success();
                    })
                    .ok());
    writeFile("fogli.xlsx", bytes);
    convert(dir(), "it_IT.UTF-8", "fogli.xlsx", "fods", "fogli");
    const std::string fods = readFile("fogli/fogli.fods");
    std::vector<std::pair<std::string, std::vector<std::string>>>
        names; // a sheet's names, header first
    for (const auto& [sheet, xml] : sheets(fods)) {
        std::vector<std::string> column;
        for (const auto& row : sheetCells(xml)) {
            column.push_back(row.size() > 1 ? row[1].text : "");
        }
        names.emplace_back(sheet, column);
        // Each sheet prints its own header row on every page.
        EXPECT_NE(xml.find("<table:table-header-rows>"), std::string::npos) << sheet;
    }
    EXPECT_EQ(names, (std::vector<std::pair<std::string, std::vector<std::string>>>{
                         {"Contatti", {"Nome", "uno", "due"}},
                         {"Contatti 2", {"Nome", "tre", "quattro"}},
                         {"Contatti 3", {"Nome", "cinque"}}}));
}

} // namespace
