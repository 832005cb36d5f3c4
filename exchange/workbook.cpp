#include "workbook.h"

#include "store/fileio.h"
#include "store/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

constexpr std::size_t kBlock = std::size_t{64} << 10;

// Past 4 GB a workbook needs ZIP64. A contact takes at most about 1 KB of a
// sheet's XML (its fields' every character escaped), less once compressed:
// below this many contacts the workbook cannot come near it.
constexpr std::int64_t kZip64From = 3000000;

// The columns' widths, in characters of the default font: the number's and
// the name's fitted to their longest text between these, the comments' fixed.
constexpr double kNarrowest = 10;
constexpr double kWidest = 42;
constexpr double kCommentsWidth = 50;

constexpr std::uint8_t kA4 = 9; // as Excel numbers its paper sizes

const char* const kHeader[] = {"Numero", "Nome", "Commenti"};

bool hexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// A field as the cell's text, in UTF-8: a CR LF is one line break, the cell's
// LF. Office Open XML reads "_xHHHH_" in a text as the character HHHH, so a
// text that holds one as it stands gets its '_' written as "_x005F_".
std::string cellText(std::u16string_view field) {
    std::u16string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == u'\r' && i + 1 < field.size() && field[i + 1] == u'\n') {
            continue;
        }
        const bool escape =
            field[i] == u'_' && i + 6 < field.size() &&
            (field[i + 1] == u'x' || field[i + 1] == u'X') &&
            std::all_of(field.begin() + static_cast<std::ptrdiff_t>(i) + 2,
                        field.begin() + static_cast<std::ptrdiff_t>(i) + 6, hexDigit) &&
            field[i + 6] == u'_';
        text += escape ? std::u16string_view(u"_x005F_") : field.substr(i, 1);
    }
    return encodeUtf8(text);
}

double widthFor(std::size_t longest) {
    return std::clamp(static_cast<double>(longest) + 2, kNarrowest, kWidest);
}

// The temporary folder, as libxlsxwriter and the C library take it.
std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string name = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    return name;
}

} // namespace

Workbook::Workbook(std::int64_t rowsPerSheet)
    : rowsPerSheet_(rowsPerSheet), folder_(temporaryFolder()) {}

Workbook::~Workbook() {
    if (book_ != nullptr) {
        lxw_workbook_free(book_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Status Workbook::failure(int error) const {
    return Status::failure(FileOperation::WriteTemporary, folder_ == "/" ? folder_ : folder_ + "/",
                           error != 0 ? error : EIO);
}

Status Workbook::open(std::int64_t contacts, std::time_t created) {
    // The workbook's own file, without a name; libxlsxwriter opens it again
    // by the name the system gives its descriptor.
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // A file system without nameless files: a name, taken away at once.
        std::string name = folder_ + "/chiamoro-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0 && ::unlink(name.c_str()) != 0) {
            const int error = errno;
            ::close(fd_);
            fd_ = -1;
            errno = error;
        }
    }
    if (fd_ < 0) {
        return failure(errno);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd_);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder_.data();
    options.use_zip64 = contacts >= kZip64From ? LXW_TRUE : LXW_FALSE;
    book_ = workbook_new_opt(path.c_str(), &options);
    if (book_ == nullptr) {
        return failure(ENOMEM);
    }
    lxw_doc_properties properties{};
    properties.created = created;
    workbook_set_properties(book_, &properties);

    header_ = workbook_add_format(book_);
    text_ = workbook_add_format(book_);
    comments_ = workbook_add_format(book_);
    for (lxw_format* format : {header_, text_, comments_}) {
        format_set_num_format(format, "@"); // text: what is typed there stays text
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
    }
    format_set_bold(header_);
    format_set_text_wrap(comments_);
    return newSheet();
}

Status Workbook::newSheet() {
    const std::string name =
        sheets_ == 0 ? std::string("Contatti") : "Contatti " + std::to_string(sheets_ + 1);
    errno = 0;
    sheet_ = workbook_add_worksheet(book_, name.c_str());
    if (sheet_ == nullptr) {
        return failure(errno); // its temporary file could not be made
    }
    ++sheets_;
    rows_ = 0;
    std::fill(std::begin(widest_), std::end(widest_), 0);
    for (lxw_col_t column = 0; column < 3; ++column) {
        worksheet_write_string(sheet_, 0, column, kHeader[column], header_);
    }
    worksheet_freeze_panes(sheet_, 1, 0);
    worksheet_repeat_rows(sheet_, 0, 0);
    worksheet_set_paper(sheet_, kA4);
    worksheet_fit_to_pages(sheet_, 1, 0);
    worksheet_set_column(sheet_, 2, 2, kCommentsWidth, comments_);
    return Status::success();
}

Status Workbook::endSheet() {
    worksheet_set_column(sheet_, 0, 0, widthFor(widest_[0]), text_);
    worksheet_set_column(sheet_, 1, 1, widthFor(widest_[1]), text_);
    // libxlsxwriter does not check its writes of the rows: a full disk would
    // leave a sheet cut short.
    errno = 0;
    if (std::fflush(sheet_->optimize_tmpfile) != 0 || std::ferror(sheet_->optimize_tmpfile)) {
        return failure(errno);
    }
    return Status::success();
}

Status Workbook::add(const ContattoLibero& contatto) {
    if (rows_ == rowsPerSheet_) {
        if (Status status = endSheet(); !status.ok()) {
            return status;
        }
        if (Status status = newSheet(); !status.ok()) {
            return status;
        }
    }
    const auto row = static_cast<lxw_row_t>(++rows_);
    const std::u16string* fields[] = {&contatto.numero, &contatto.nome, &contatto.commenti};
    for (lxw_col_t column = 0; column < 3; ++column) {
        const std::u16string& field = *fields[column];
        lxw_format* format = column == 2 ? comments_ : text_;
        const lxw_error error =
            field.empty()
                ? worksheet_write_blank(sheet_, row, column, format)
                : worksheet_write_string(sheet_, row, column, cellText(field).c_str(), format);
        if (error != LXW_NO_ERROR) {
            return failure(error == LXW_ERROR_MEMORY_MALLOC_FAILED ? ENOMEM : errno);
        }
        if (column < 2) {
            widest_[column] = std::max(widest_[column], field.size());
        }
    }
    return Status::success();
}

Status Workbook::finish(const std::function<Status(const std::string&)>& put) {
    if (Status status = endSheet(); !status.ok()) {
        return status;
    }
    errno = 0;
    const lxw_error error = workbook_close(book_);
    book_ = nullptr;
    if (error != LXW_NO_ERROR) {
        return failure(error == LXW_ERROR_MEMORY_MALLOC_FAILED ? ENOMEM : errno);
    }
    // The workbook as it was written, a block at a time.
    std::string block(kBlock, '\0');
    for (std::int64_t at = 0;; at += static_cast<std::int64_t>(kBlock)) {
        const ssize_t got = readFully(posixFileSystem(), fd_, block.data(), kBlock, at);
        if (got < 0) {
            return failure(errno);
        }
        if (got > 0) {
            if (Status status = put(block.substr(0, static_cast<std::size_t>(got))); !status.ok()) {
                return status;
            }
        }
        if (static_cast<std::size_t>(got) < kBlock) {
            return Status::success();
        }
    }
}
