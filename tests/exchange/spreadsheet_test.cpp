// The spreadsheet's CSV as LibreOffice Calc opens it with a double click, in
// English and in Italian: every cell is text, none a formula or a number, and
// reads as it went out.

#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "helpers.h"
#include "store/utf8.h"
#include "support/records.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
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

// The cells of the first sheet of a flat OpenDocument spreadsheet, row by row.
std::vector<std::vector<Cell>> sheetCells(const std::string& fods) {
    std::vector<std::vector<Cell>> rows;
    for (std::size_t row = fods.find("<table:table-row"); row != std::string::npos;
         row = fods.find("<table:table-row", row + 1)) {
        const std::size_t end = fods.find("</table:table-row>", row);
        const std::string xml = fods.substr(row, end - row);
        std::vector<Cell> cells;
        for (std::size_t cell = xml.find("<table:table-cell"); cell != std::string::npos;
             cell = xml.find("<table:table-cell", cell + 1)) {
            const std::size_t open = xml.find('>', cell);
            const std::string tag = xml.substr(cell, open - cell);
            Cell found;
            if (const std::size_t type = tag.find("office:value-type=\"");
                type != std::string::npos) {
                found.type = tag.substr(type + 19, tag.find('"', type + 19) - type - 19);
            }
            found.formula = tag.find("table:formula=") != std::string::npos;
            if (xml[open - 1] != '/') {
                const std::size_t close = xml.find("</table:table-cell>", open);
                found.text = paragraphs(xml.substr(open + 1, close - open - 1));
            }
            cells.push_back(found);
        }
        while (!cells.empty() && cells.back().type.empty()) {
            cells.pop_back(); // the empty cells to the end of the row
        }
        rows.push_back(cells);
    }
    return rows;
}

std::string lineFeeds(std::u16string_view text) {
    std::string bytes = encodeUtf8(text);
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
    };
    std::string book;
    for (const ContattoLibero& contatto : contacts) {
        book += record(contatto.numero, contatto.nome, contatto.commenti);
    }
    writeFile(kDataFileName, book);
    ASSERT_TRUE(exportContacts(posixFileSystem(), "rubrica.foglio.csv", Formato::Foglio).ok());

    for (const char* language : {"1033", "1040"}) { // English (US), Italian
        SCOPED_TRACE(language);
        // Options as the import dialog opens a file with a byte-order mark and
        // semicolons: every column "Standard", formulas evaluated.
        const std::string command = "HOME=" + dir() + " soffice -env:UserInstallation=file://" +
                                    dir() + "/profilo --headless --infilter=CSV:59,34,76,1,," +
                                    language + " --convert-to fods --outdir " + dir() + "/" +
                                    language + " rubrica.foglio.csv >" + dir() +
                                    "/soffice.log 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir() + "/soffice.log");
        const auto rows = sheetCells(readFile(std::string(language) + "/rubrica.foglio.fods"));
        ASSERT_EQ(rows.size(), contacts.size() + 1);
        EXPECT_EQ(rows[0].size(), 3u);
        for (std::size_t r = 0; r < contacts.size(); ++r) {
            const ContattoLibero& contatto = contacts[r];
            const std::u16string* fields[] = {&contatto.numero, &contatto.nome, &contatto.commenti};
            ASSERT_EQ(rows[r + 1].size(), 3u) << "row " << r + 1;
            for (std::size_t f = 0; f < 3; ++f) {
                const Cell& cell = rows[r + 1][f];
                // The window's text: the spaces around it are not kept.
                const std::u16string shown = trimSpaces(*fields[f]);
                const std::string sent = lineFeeds(shown);
                SCOPED_TRACE(sent);
                EXPECT_EQ(cell.type, "string");
                EXPECT_FALSE(cell.formula);
                // As it went out: the text, after the apostrophe that keeps it so.
                EXPECT_EQ(cell.text, (needsTextMark(shown) ? "'" : "") + sent);
            }
        }
    }
    // And back into a phone book, as the window shows it.
    std::string shown;
    for (const ContattoLibero& contatto : contacts) {
        shown += record(trimSpaces(contatto.numero), trimSpaces(contatto.nome),
                        trimSpaces(contatto.commenti));
    }
    std::filesystem::remove(kDataFileName);
    ASSERT_TRUE(importContacts(posixFileSystem(), "rubrica.foglio.csv", Formato::Foglio).ok());
    EXPECT_EQ(readFile(kDataFileName), shown);
}

} // namespace
