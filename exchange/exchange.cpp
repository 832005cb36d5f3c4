#include "exchange.h"

#include "exchange/contattolibero.h"
#include "exchange/csv.h"
#include "exchange/linereader.h"
#include "exchange/text.h"
#include "exchange/vcard.h"
#include "exchange/workbook.h"
#include "store/fileio.h"
#include "store/recordappend.h"
#include "store/recordfile.h"
#include "store/replacement.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

constexpr std::int64_t kReadBlockRecords = 4096;
constexpr std::size_t kWriteBlock = std::size_t{64} << 10;

// The file an export goes to, following links to the file at their end.
struct Target {
    std::string path; // the file itself
    std::string link; // the name given, when it is a link
    std::string scratch;
};

bool sameFile(FileSystem& fs, const std::string& one, const std::string& other) {
    struct stat first {};
    struct stat second {};
    return fs.stat(one.c_str(), &first) == 0 && fs.stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Whether `path` is the phone book itself, under another name: then an export
// would replace it and an import would read what it writes.
bool isPhoneBook(FileSystem& fs, const std::string& path, const PhoneBookFiles& files) {
    return sameFile(fs, path, files.data);
}

// Whether `path` names the phone book's scratch file, in its folder or in the
// current one: an export there would leave a file a later start could take
// for the phone book.
bool isPhoneBookScratch(FileSystem& fs, const std::string& path, const PhoneBookFiles& files) {
    const std::string folder = parentFolder(path);
    const std::string name = path.substr(path.rfind('/') + 1); // npos + 1: all of it
    return name == kScratchFileName &&
           (sameFile(fs, folder, files.folder) || sameFile(fs, folder, "."));
}

Status locateTarget(FileSystem& fs, const std::string& given, Target& target) {
    target = {given, {}, {}};
    if (Status status = followLinks(fs, given, target.path); !status.ok()) {
        return status;
    }
    if (target.path != given) {
        target.link = given;
    }
    // A name of the export's own beside the target, so that no file of the
    // user's is ever taken for a leftover.
    target.scratch = target.path + "." + std::to_string(::getpid()) + ".tmp";
    return Status::success();
}

// Where the export's text goes, a block at a time.
class Output {
public:
    virtual ~Output() = default;
    virtual Status open() = 0;
    virtual Status commit() = 0;

    Status put(const std::string& text) {
        pending_ += text;
        return pending_.size() >= kWriteBlock ? flush() : Status::success();
    }

protected:
    virtual Status flush() = 0;

    std::string pending_;
};

// A file, replaced in one step through a scratch file beside it (see
// Replacement): an existing one must be a regular file the user may write,
// and keeps its owner, group, permissions and extended attributes.
class FileOutput final : public Output {
public:
    FileOutput(FileSystem& fs, const Target& target) : replacement_(fs), target_(target) {}

    Status open() override {
        return replacement_.begin(target_.path, target_.scratch, target_.link);
    }

    // Everything on the disk, under the target's name.
    Status commit() override {
        if (Status status = flush(); !status.ok()) {
            return status;
        }
        return replacement_.commit();
    }

private:
    Status flush() override {
        if (Status status = replacement_.write(pending_.data(), pending_.size(), written_);
            !status.ok()) {
            return status;
        }
        written_ += static_cast<std::int64_t>(pending_.size());
        pending_.clear();
        return Status::success();
    }

    Replacement replacement_;
    const Target& target_;
    std::int64_t written_ = 0;
};

// Standard output: a pipe or a terminal as often as a file, so written in
// sequence with write(2), which the file-system seam does not cover.
class StreamOutput final : public Output {
public:
    Status open() override { return Status::success(); }
    Status commit() override { return flush(); }

private:
    Status flush() override {
        std::size_t done = 0;
        while (done < pending_.size()) {
            const ssize_t put =
                ::write(STDOUT_FILENO, pending_.data() + done, pending_.size() - done);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return Status::failure(FileOperation::Write, std::string(kStandardOutput),
                                       put < 0 ? errno : EIO);
            }
            done += static_cast<std::size_t>(put);
        }
        pending_.clear();
        return Status::success();
    }
};

} // namespace

std::optional<Formato> formatOf(std::string_view path) {
    if (endsWithNoCase(path, ".vcf") || endsWithNoCase(path, ".vcard")) {
        return Formato::VCard;
    }
    if (endsWithNoCase(path, ".xlsx")) {
        return Formato::Foglio;
    }
    if (endsWithNoCase(path, ".csv")) {
        return Formato::Csv;
    }
    return std::nullopt;
}

namespace {

// Every contact of the book that is not blank, in order, to `write`.
Status eachContact(RecordFile& book, std::int32_t total, ExchangeReport& report,
                   const std::function<Status(const ContattoLibero&)>& write) {
    std::string bytes;
    // 64-bit: the last block of the largest book ends past the largest record number.
    for (std::int64_t first = 1; first <= total; first += kReadBlockRecords) {
        const std::int64_t count = std::min<std::int64_t>(kReadBlockRecords, total - first + 1);
        if (Status status = book.readRecords(first, count, bytes); !status.ok()) {
            return status;
        }
        for (std::int64_t i = 0; i < count; ++i) {
            const ContattoLibero contatto = fromRecord(
                decodeRecord(bytes.data() + static_cast<std::size_t>(i) * kLunghezzaRecord));
            if (blank(contatto)) {
                ++report.skipped;
                continue;
            }
            if (Status status = write(contatto); !status.ok()) {
                return status;
            }
            ++report.contacts;
        }
    }
    return Status::success();
}

Status exportInto(FileSystem& fs, const std::string& target, Formato format, Target& where,
                  ExchangeReport& report) {
    PhoneBookFiles files;
    RecordFile book(fs);
    std::int32_t total = 0;
    if (Status status = locatePhoneBook(fs, files); !status.ok()) {
        return status;
    }
    if (Status status = book.openForReading(files); !status.ok()) {
        return status;
    }
    if (Status status = countRecords(book.length(), total); !status.ok()) {
        return status;
    }
    std::unique_ptr<Output> output;
    if (target == kStandardOutput) {
        output = std::make_unique<StreamOutput>();
    } else {
        if (Status status = locateTarget(fs, target, where); !status.ok()) {
            return status;
        }
        // Neither the phone book nor its scratch file, whatever the name.
        const Cause own =
            isPhoneBook(fs, where.path, files) ? Cause::PhoneBook
            : isPhoneBookScratch(fs, target, files) || isPhoneBookScratch(fs, where.path, files)
                ? Cause::PhoneBookScratch
                : Cause::System;
        if (own != Cause::System) {
            return Status::refusal(FileOperation::Write, where.path, own, EINVAL, 0, where.link);
        }
        output = std::make_unique<FileOutput>(fs, where);
    }
    if (Status status = output->open(); !status.ok()) {
        return status;
    }
    report.total = total;
    Status status;
    if (format == Formato::Foglio) {
        Workbook workbook;
        status = workbook.open(total, book.modified());
        if (status.ok()) {
            status = eachContact(book, total, report, [&workbook](const ContattoLibero& contatto) {
                return workbook.add(contatto);
            });
        }
        if (status.ok()) {
            status =
                workbook.finish([&output](const std::string& bytes) { return output->put(bytes); });
        }
    } else {
        status = output->put(format == Formato::Csv ? csvHeader() : std::string());
        if (status.ok()) {
            status =
                eachContact(book, total, report, [&output, format](const ContattoLibero& contatto) {
                    return output->put(format == Formato::VCard ? vcardOf(contatto)
                                                                : csvRow(contatto));
                });
        }
    }
    return status.ok() ? output->commit() : status;
}

} // namespace

ExchangeReport exportContacts(FileSystem& fs, const std::string& target, Formato format) {
    ExchangeReport report;
    Target where;
    report.status = exportInto(fs, target, format, where, report);
    // The scratch file is the export's own business: what failed there is
    // told of the file the user named.
    Status& status = report.status;
    if (!where.scratch.empty() && status.file == where.scratch && status.cause == Cause::System) {
        status.file = where.path;
        status.link = where.link;
        status.to.clear();
    }
    return report;
}

namespace {

// How often an import says how far it has come: every so many bytes of a file.
constexpr std::int64_t kProgressBytes = std::int64_t{256} << 10;

} // namespace

ImportBatch::ImportBatch(FileSystem& fs, FolderLock& folder, bool lock,
                         const ImportOptions& options)
    : fs_(fs), folder_(folder), lock_(lock), options_(options), append_(fs) {}

bool ImportBatch::progress(std::int64_t done, std::int64_t whole) {
    return !options_.onProgress || options_.onProgress(done, whole);
}

// The phone book as the window takes it, copied for the batch; its records
// indexed on the way for the duplicates.
Status ImportBatch::open() {
    if (lock_) {
        if (Status status = folder_.acquire(files_); !status.ok()) {
            return status;
        }
    }
    if (Status status = adoptOrphanedScratchFile(fs_, folder_, files_); !status.ok()) {
        return status;
    }
    const auto seen = [this](const char* records, std::int32_t first, std::int32_t count,
                             std::int64_t copied) {
        if (!options_.lookForDuplicates) {
            return progress(copied, append_.bookLength());
        }
        if (first == 1) {
            index_.reserve(static_cast<std::size_t>(append_.bookLength() / kLunghezzaRecord + 1));
        }
        for (std::int32_t i = 0; i < count; ++i) {
            index_.addBookRecord(records + static_cast<std::size_t>(i) * kLunghezzaRecord,
                                 first + i);
        }
        return progress(copied, append_.bookLength());
    };
    if (Status status = append_.open(files_, folder_, seen); !status.ok()) {
        return status;
    }
    index_.seal();
    return Status::success();
}

// Reads the contacts of `reader` into the batch; the report's counts as it goes.
Status ImportBatch::importAll(ContactReader& reader, const LineReader& lines,
                              ExchangeReport& report) {
    std::vector<FieldChange> changes;
    const auto read = [this](std::int32_t n, Contatto& record) { return append_.read(n, record); };
    std::int64_t reported = 0;
    for (;;) {
        if (lines.bytesRead() - reported >= kProgressBytes) {
            reported = lines.bytesRead();
            if (!progress(reported, lines.size())) {
                return Status::failure(FileOperation::Read, files_.data, ECANCELED, files_.link);
            }
        }
        ReadContact contact;
        bool got = false;
        if (Status status = reader.next(contact, got, report.problem);
            !status.ok() || !report.problem.ok() || !got) {
            return status;
        }
        if (blank(contact.contatto)) {
            ++report.skipped;
            continue;
        }
        changes.clear();
        // Compared as it will lie on the disk, where a character the code
        // page lacks is a '?', as the records it is compared with are.
        char bytes[kLunghezzaRecord];
        encodeRecord(toRecord(contact, changes), bytes);
        const Contatto record = decodeRecord(bytes);
        DuplicateIndex::Match match;
        if (options_.lookForDuplicates) {
            if (Status status = index_.find(record, read, match); !status.ok()) {
                return status;
            }
        }
        std::optional<DuplicateEvent> event;
        if (match.duplicate != 0) {
            Contatto existing;
            if (Status status = append_.read(match.duplicate, existing); !status.ok()) {
                return status;
            }
            using Kind = DuplicateEvent::Kind;
            const Kind kind = options_.doppioni == Doppioni::Salta         ? Kind::Skipped
                              : options_.doppioni == Doppioni::Sostituisci ? Kind::Replaced
                                                                           : Kind::Added;
            event = DuplicateEvent{kind, reader.line(), match.duplicate, fromRecord(existing).nome};
        } else if (match.similar != 0) {
            event = DuplicateEvent{DuplicateEvent::Kind::Similar, reader.line(), match.similar,
                                   fromRecord(match.similarRecord).nome};
        }
        if (event && options_.onDuplicate) {
            options_.onDuplicate(*event);
        }
        if (event && event->kind == DuplicateEvent::Kind::Skipped) {
            ++report.duplicates;
            continue;
        }
        if (event && event->kind == DuplicateEvent::Kind::Replaced) {
            if (Status status = append_.replace(match.duplicate, record); !status.ok()) {
                return status;
            }
            ++report.replaced;
        } else {
            if (Status status = append_.add(record); !status.ok()) {
                return status;
            }
            if (options_.lookForDuplicates) {
                index_.add(record, append_.totalAfter());
            }
            ++report.contacts;
            report.similar += event && event->kind == DuplicateEvent::Kind::Similar;
        }
        if (!changes.empty()) {
            ++report.changed;
            if (options_.onChange) {
                options_.onChange(reader.line(), changes);
            }
        }
    }
}

ExchangeReport ImportBatch::add(const std::string& source, Formato format) {
    ExchangeReport report;
    Status& status = report.status;
    if (failed_) {
        status = Status::failure(FileOperation::Write, files_.data, EINVAL, files_.link);
        return report;
    }
    // The file to import first: a mistake there touches nothing.
    LineReader lines(fs_, format == Formato::VCard ? LineReader::CrCrLf::OneEnd
                                                   : LineReader::CrCrLf::TwoEnds);
    if ((status = lines.open(source)).ok() && !opened_) {
        status = locatePhoneBook(fs_, files_);
    }
    if (status.ok() && isPhoneBook(fs_, source, files_)) {
        status = Status::refusal(FileOperation::Read, source, Cause::PhoneBook, EINVAL);
    }
    if (status.ok() && !opened_) {
        opened_ = true;
        status = open();
    }
    if (status.ok()) {
        Notices notices(options_.onNotice);
        std::unique_ptr<ContactReader> reader;
        if (format == Formato::VCard) {
            reader = std::make_unique<VCardReader>(lines, notices);
        } else {
            reader = std::make_unique<CsvReader>(lines, notices, format == Formato::Foglio);
        }
        try {
            status = importAll(*reader, lines, report);
        } catch (const std::bad_alloc&) {
            // Nothing the reader holds grows with the file; the system is short of memory.
            status = Status::failure(FileOperation::Read, source, ENOMEM);
        }
        if (report.ok()) {
            notices.finish();
            report.ignored = reader->ignored().withValues();
            report.ignoredEmpty = reader->ignored().empty();
            report.ignoredUnnamed = reader->ignored().unnamed();
            report.total = append_.totalAfter();
            return report;
        }
    }
    failed_ = true;
    append_.rollback();
    report.contacts = report.changed = report.skipped = 0;
    report.duplicates = report.replaced = report.similar = 0;
    return report;
}

Status ImportBatch::commit() {
    if (failed_ || !opened_) {
        return Status::failure(FileOperation::Write, files_.data, EINVAL, files_.link);
    }
    return append_.commit();
}

ExchangeReport importContacts(FileSystem& fs, const std::string& source, Formato format,
                              const ImportOptions& options) {
    FolderLock folder(fs);
    ImportBatch batch(fs, folder, true, options);
    ExchangeReport report = batch.add(source, format);
    if (!report.ok()) {
        return report;
    }
    if (!(report.status = batch.commit()).ok()) {
        if (!batch.committed()) {
            report.contacts = report.changed = report.skipped = 0;
            report.duplicates = report.replaced = report.similar = 0;
            report.ignored.clear();
            report.ignoredEmpty = report.ignoredUnnamed = 0;
            return report;
        }
        report.added = true;
    }
    report.total = batch.total();
    return report;
}
