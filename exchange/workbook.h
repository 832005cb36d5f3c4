#pragma once

#include "exchange/contattolibero.h"
#include "store/status.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// The phone book as a workbook of Office Open XML (.xlsx), which LibreOffice,
// Excel and online spreadsheets open, made by libxlsxwriter.
//
// Every cell is a text cell holding the field as the window shows it, with
// no apostrophe or other mark: a spreadsheet shows it as it is and never
// evaluates it, whatever it looks like (0612345, +39 333 1234567, =1+1, 1/2).
// A line break is the cell's own, LF; the cells are formatted as text, so
// that what is typed into them later stays text too. The header row (Numero,
// Nome, Commenti) is bold and frozen; the number's and the name's columns are
// as wide as their longest text, the comments' wraps; each sheet prints on A4,
// fitted to the page's width, the header row on every page. A sheet holds
// kRowsPerSheet contacts under its header, as many as a spreadsheet's
// 1,048,576 rows allow; the next ones go on to "Contatti 2", and so on.
//
// Memory stays flat whatever the book: libxlsxwriter's constant-memory mode
// writes each row out as the next one begins, to a temporary file, and the
// workbook is assembled in another, from which finish() hands it on a block at
// a time. They lie in the temporary folder ($TMPDIR, else /tmp), nameless, so
// that nothing is left behind, whenever the program stops; they need about
// twice the sheets' XML (some 220 bytes a contact) while the workbook is made.
class Workbook {
public:
    static constexpr std::int64_t kRowsPerSheet = 1048575;

    explicit Workbook(std::int64_t rowsPerSheet = kRowsPerSheet);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // `contacts`: how many will come, at most (a workbook past 4 GB needs the
    // ZIP64 extensions, which are taken only then); `created`: the time the
    // workbook records as its creation.
    chiamoro::Status open(std::int64_t contacts, std::time_t created);
    chiamoro::Status add(const ContattoLibero& contatto);
    // Assembles the workbook and hands its bytes to `put`, in order.
    chiamoro::Status finish(const std::function<chiamoro::Status(const std::string&)>& put);

private:
    chiamoro::Status newSheet();
    chiamoro::Status endSheet();
    chiamoro::Status failure(int error) const; // in the temporary folder

    std::int64_t rowsPerSheet_;
    std::string folder_; // the temporary folder
    int fd_ = -1;        // the workbook, assembled
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* text_ = nullptr;
    lxw_format* comments_ = nullptr;
    int sheets_ = 0;
    std::int64_t rows_ = 0;          // contacts on the sheet
    std::size_t widest_[2] = {0, 0}; // the longest number and name on the sheet
};
