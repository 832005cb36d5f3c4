#include "sync.h"

#include "exchange/alignment.h"
#include "exchange/duplicates.h"
#include "exchange/syncstate.h"
#include "exchange/vcard.h"
#include "exchange/vcardfile.h"
#include "store/fileio.h"
#include "store/recordfile.h"
#include "store/replacement.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <uuid/uuid.h>

using chiamoro::FileOperation;
using chiamoro::Status;
using Kind = SyncEvent::Kind;

namespace {

constexpr const char* kCardScratch = ".chiamoro.tmp";
constexpr std::int32_t kBlockRecords = 4096;

bool isCardName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.size() <= 4) {
        return false;
    }
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return end == ".vcf";
}

// A random UID (RFC 4122, version 4); the card's file takes its name.
std::string newUid() {
    uuid_t uuid;
    ::uuid_generate_random(uuid);
    char text[37];
    ::uuid_unparse_lower(uuid, text);
    return text;
}

// The contact as a card shows it: a card must have a name, so a record
// without one is named by its number, or else kNoName (see vcardOf).
Contatto asCard(const Contatto& record) {
    ContattoLibero contatto = fromRecord(record);
    if (contatto.nome.empty()) {
        contatto.nome = contatto.numero.empty() ? std::u16string(kNoName) : contatto.numero;
    }
    std::vector<FieldChange> changes;
    return toRecord(contatto, changes);
}

std::u16string shownName(const Contatto& record) {
    const ContattoLibero contatto = fromRecord(record);
    return contatto.nome.empty() ? contatto.numero : contatto.nome;
}

// Where a contact comes in the phone book once the sync is done: its record
// number then, before the book is compacted, or past the last for one
// appended. The state keeps the book's order.
using Position = std::int64_t;
constexpr Position kNowhere = INT64_MAX;

enum class BookSide { Same, Edited, Gone };
enum class FileSide { Same, Touched, Changed, Gone, Skipped };

// A record new in the phone book, or one that needs a card of its own.
struct AddedRecord {
    std::int32_t n = 0;
    StoredRecord record;
    Kind reason = Kind::FileCreated; // Conflict: already reported
    bool taken = false;
};

// A card new in the folder.
struct AddedFile {
    std::string name;
    CardFile card;
    struct stat info {};
    bool taken = false;
};

// A card to write.
struct CardWrite {
    std::string file;
    StoredRecord record;
    std::string uid;      // of a new card; empty for a card rewritten
    bool name = false;    // rewritten: its name
    bool numbers = false; // rewritten: its numbers and comments
    Position position = 0;
};

class Sync {
public:
    Sync(FileSystem& fs, const std::string& folder, const SyncOptions& options, SyncReport& report)
        : fs_(fs), folder_(folder), options_(options), report_(report), lock_(fs), book_(fs) {
        while (folder_.size() > 1 && folder_.back() == '/') {
            folder_.pop_back();
        }
    }
    Sync(const Sync&) = delete;
    Sync& operator=(const Sync&) = delete;

    Status run();

private:
    std::string inFolder(const std::string& name) const { return folder_ + "/" + name; }
    std::string besideBook(const char* name) const {
        return files_.folder == "." ? std::string(name) : files_.folder + "/" + name;
    }

    Status openBook();
    Status scanBook();
    Status listFolder(bool& missing);
    Status readFile(const std::string& name, CardFile& card, bool& usable);
    Status plan();
    Status planEntry(SyncEntry& entry, std::int32_t match);
    Status pairAdded();
    Position claimOrAppend(const Contatto& record);
    Status apply();
    Status writeCard(CardWrite& write);
    Status replaceBook();

    void event(Kind kind, const Contatto& record, const std::string& file) {
        events_.push_back({kind, shownName(record), file, {}, false});
    }
    // What fitting a card into the record of the event just planned changed,
    // to be said after that event.
    void fitted(const CardFile& card) {
        if (!card.changes.empty()) {
            fitted_.push_back({events_.size() - 1, events_.back().file, card.line, card.changes});
        }
    }
    void keep(Position position, SyncEntry entry) {
        entries_.emplace_back(position, std::move(entry));
    }

    FileSystem& fs_;
    std::string folder_;
    const SyncOptions& options_;
    SyncReport& report_;

    PhoneBookFiles files_;
    FolderLock lock_;
    RecordFile book_;        // only read: the phone book is replaced whole
    std::int32_t total_ = 0; // the book's records, as the window counts them
    std::int64_t length_ = 0;

    SyncState state_;
    std::string absolute_;
    std::vector<std::int32_t> items_; // the records that are not blank
    std::vector<RecordKey> itemKeys_;

    struct Listed {
        struct stat info {};
        bool regular = false;
    };
    std::unordered_map<std::string, Listed> listing_;
    std::int64_t cardFiles_ = 0;

    // The plan.
    std::map<std::int32_t, StoredRecord> updates_;
    std::set<std::int32_t> deletes_;
    std::vector<StoredRecord> appends_;
    std::vector<CardWrite> writes_;
    std::vector<std::string> removals_;
    std::vector<AddedRecord> addedRecords_;
    std::vector<AddedFile> addedFiles_;
    std::unordered_map<std::string, std::size_t> byUid_; // of addedFiles_
    std::vector<std::pair<Position, SyncEntry>> entries_;
    std::vector<SyncEvent> events_;
    struct Fitted {
        std::size_t event;
        std::string file;
        std::int64_t line;
        std::vector<FieldChange> changes;
    };
    std::vector<Fitted> fitted_;
    bool dirty_ = false;
};

Status Sync::openBook() {
    if (Status status = locatePhoneBook(fs_, files_); !status.ok()) {
        return status;
    }
    if (Status status = lock_.acquire(files_); !status.ok()) {
        return status;
    }
    if (Status status = adoptOrphanedScratchFile(fs_, lock_, files_); !status.ok()) {
        return status;
    }
    if (Status status = book_.open(files_); !status.ok()) {
        return status;
    }
    if (book_.created()) {
        if (Status status = lock_.sync(); !status.ok()) {
            return status;
        }
    }
    length_ = book_.length();
    return countRecords(length_, total_);
}

Status Sync::scanBook() {
    std::string bytes;
    for (std::int64_t first = 1; first <= total_; first += kBlockRecords) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(kBlockRecords, total_ - first + 1));
        if (Status status = book_.readRecords(first, count, bytes); !status.ok()) {
            return status;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            const RecordKey key =
                keyOf(bytes.data() + std::size_t{kLunghezzaRecord} * static_cast<std::size_t>(i));
            if (!(key.blank[0] && key.blank[1] && key.blank[2])) {
                items_.push_back(static_cast<std::int32_t>(first) + i);
                itemKeys_.push_back(key);
            }
        }
    }
    return Status::success();
}

Status Sync::listFolder(bool& missing) {
    missing = false;
    std::vector<std::string> names;
    if (fs_.readFolder(folder_.c_str(), names) != 0) {
        if (errno == ENOENT) {
            missing = true;
        }
        return Status::failure(FileOperation::Read, folderStatusName(folder_), errno);
    }
    for (const std::string& name : names) {
        if (!isCardName(name)) {
            continue;
        }
        Listed listed;
        if (fs_.lstat(inFolder(name).c_str(), &listed.info) != 0) {
            if (errno == ENOENT) {
                continue; // gone since
            }
            return Status::failure(FileOperation::Stat, inFolder(name), errno);
        }
        listed.regular = S_ISREG(listed.info.st_mode);
        listing_.emplace(name, listed);
        ++cardFiles_;
    }
    return Status::success();
}

// Reads a card; one that is no card of a contact is reported and not usable.
Status Sync::readFile(const std::string& name, CardFile& card, bool& usable) {
    usable = false;
    InputProblem problem;
    const auto noticed = [this, &name](const Notice& notice) {
        if (options_.onNotice) {
            options_.onNotice(name, notice);
        }
    };
    if (Status status = readCardFile(fs_, inFolder(name), card, problem, noticed); !status.ok()) {
        return status;
    }
    if (!problem.ok() || card.blank) {
        SyncEvent skipped{Kind::FileSkipped, {}, name, problem, false};
        ++report_.counts[static_cast<std::size_t>(Kind::FileSkipped)];
        if (options_.onEvent) {
            options_.onEvent(skipped);
        }
        return Status::success();
    }
    usable = true;
    return Status::success();
}

Position Sync::claimOrAppend(const Contatto& record) {
    const RecordKey key = keyOf(record);
    for (AddedRecord& added : addedRecords_) {
        if (!added.taken && keyOf(added.record.bytes()) == key) {
            added.taken = true;
            return added.n;
        }
    }
    appends_.push_back(record);
    return Position{total_} + static_cast<Position>(appends_.size());
}

// Plans what becomes of a remembered contact; what is kept of it is taken
// from `entry`, which is spent.
Status Sync::planEntry(SyncEntry& entry, std::int32_t match) {
    // The phone book's side.
    BookSide book = BookSide::Gone;
    std::int32_t n = 0;
    Contatto record;
    if (match >= 0) {
        n = items_[static_cast<std::size_t>(match)];
        book = itemKeys_[static_cast<std::size_t>(match)] == keyOf(entry.book.bytes())
                   ? BookSide::Same
                   : BookSide::Edited;
        if (book == BookSide::Edited) {
            if (Status status = book_.read(n, record); !status.ok()) {
                return status;
            }
        }
    }
    // The folder's side.
    FileSide file = FileSide::Gone;
    CardFile card;
    Fingerprint print = entry.fingerprint;
    std::string uid = entry.uid;
    if (const auto listed = listing_.find(entry.file); listed != listing_.end()) {
        if (!listed->second.regular) {
            file = FileSide::Skipped;
            SyncEvent skipped{Kind::FileSkipped, shownName(entry.book), entry.file, {}, true};
            ++report_.counts[static_cast<std::size_t>(Kind::FileSkipped)];
            if (options_.onEvent) {
                options_.onEvent(skipped);
            }
        } else if (entry.fingerprint.sameFile(listed->second.info)) {
            file = FileSide::Same;
        } else {
            bool usable = false;
            if (Status status = readFile(entry.file, card, usable); !status.ok()) {
                return status;
            }
            print = Fingerprint::of(listed->second.info, card.hash);
            uid = card.uid;
            file = !usable                               ? FileSide::Skipped
                   : card.hash == entry.fingerprint.hash ? FileSide::Touched
                                                         : FileSide::Changed;
        }
        listing_.erase(listed);
    } else if (const auto renamed = byUid_.find(entry.uid); !entry.uid.empty() &&
                                                            renamed != byUid_.end() &&
                                                            !addedFiles_[renamed->second].taken) {
        // The card under another name: the same contact.
        AddedFile& moved = addedFiles_[renamed->second];
        moved.taken = true;
        entry.file = moved.name;
        card = std::move(moved.card);
        print = Fingerprint::of(moved.info, card.hash);
        file = card.hash == entry.fingerprint.hash ? FileSide::Touched : FileSide::Changed;
        dirty_ = true;
    }
    const Position here = book == BookSide::Gone ? kNowhere : Position{n};
    const auto remember = [&](Position position, const StoredRecord& bookRecord,
                              const StoredRecord& cardRecord) {
        keep(position, {entry.file, uid, print, bookRecord, cardRecord});
    };
    const auto rewrite = [&](const Contatto& current) {
        const ContattoLibero now = fromRecord(record);
        const ContattoLibero before = fromRecord(current);
        CardWrite write{entry.file,
                        record,
                        {},
                        now.nome != before.nome,
                        now.numero != before.numero || now.commenti != before.commenti,
                        here};
        if (write.name || write.numbers) {
            writes_.push_back(write);
            event(Kind::FileUpdated, record, entry.file);
        } else {
            remember(here, record, current);
        }
        dirty_ = true;
    };

    if (file == FileSide::Skipped) {
        remember(here, entry.book, entry.card); // left as it was, to be seen again next time
        return Status::success();
    }
    if (file == FileSide::Touched) {
        dirty_ = true;
        file = FileSide::Same; // the same text under a new name or time
    }
    const bool recordChanged =
        file == FileSide::Changed && !(keyOf(card.record) == keyOf(entry.card.bytes()));
    switch (book) {
    case BookSide::Same:
        if (file == FileSide::Same) {
            entry.uid = std::move(uid);
            entry.fingerprint = print;
            keep(here, std::move(entry)); // the everyday case, without a copy
        } else if (file == FileSide::Gone) {
            deletes_.insert(n);
            event(Kind::RecordDeleted, entry.book, entry.file);
            dirty_ = true;
        } else if (recordChanged) {
            updates_[n] = card.record;
            event(Kind::RecordUpdated, card.record, entry.file);
            fitted(card);
            remember(here, card.record, card.record);
            dirty_ = true;
        } else {
            remember(here, entry.book, card.record);
            dirty_ = true;
        }
        return Status::success();
    case BookSide::Edited:
        if (file == FileSide::Same) {
            rewrite(entry.card);
        } else if (file == FileSide::Gone) {
            // The change wins: the record gets a card again.
            addedRecords_.push_back({n, record, Kind::FileRestored, false});
            dirty_ = true;
        } else if (!recordChanged) {
            rewrite(card.record);
        } else if (keyOf(card.record) == keyOf(record)) {
            remember(here, record, card.record); // the same change on both sides
            dirty_ = true;
        } else {
            // Already the card this record would make of it (a sync that
            // stopped before its state was written)?
            const ContattoLibero now = fromRecord(record);
            const ContattoLibero shown = fromRecord(card.record);
            TextHash merged;
            if (Status status =
                    mergeCard(fs_, inFolder(entry.file), now, now.nome != shown.nome,
                              now.numero != shown.numero || now.commenti != shown.commenti,
                              [&merged](std::string_view bytes) {
                                  merged.add(bytes);
                                  return Status::success();
                              });
                !status.ok()) {
                return status;
            }
            if (merged.value() == card.hash) {
                remember(here, record, card.record);
            } else {
                // Both kept: the card stays with a record of its own, and
                // this record gets a card of its own.
                event(Kind::Conflict, record, entry.file);
                remember(claimOrAppend(card.record), card.record, card.record);
                addedRecords_.push_back({n, record, Kind::Conflict, false});
            }
            dirty_ = true;
        }
        return Status::success();
    case BookSide::Gone:
        if (file == FileSide::Same) {
            removals_.push_back(entry.file);
            event(Kind::FileDeleted, entry.book, entry.file);
        } else if (file == FileSide::Changed) {
            // The change wins: the card's contact comes back.
            event(Kind::RecordRestored, card.record, entry.file);
            remember(claimOrAppend(card.record), card.record, card.record);
        }
        dirty_ = true;
        return Status::success();
    }
    return Status::success();
}

Status Sync::pairAdded() {
    // The same record on both sides.
    std::unordered_multimap<std::uint64_t, std::size_t> byKey;
    for (std::size_t i = 0; i < addedRecords_.size(); ++i) {
        if (!addedRecords_[i].taken) {
            byKey.emplace(keyOf(addedRecords_[i].record.bytes()).whole, i);
        }
    }
    const auto pair = [this](AddedRecord& record, AddedFile& file) {
        record.taken = file.taken = true;
        keep(record.n, {file.name, file.card.uid, Fingerprint::of(file.info, file.card.hash),
                        record.record, file.card.record});
        ++report_.paired;
        dirty_ = true;
    };
    for (AddedFile& file : addedFiles_) {
        const RecordKey key = keyOf(file.card.record);
        const auto [from, to] = byKey.equal_range(key.whole);
        for (auto it = from; it != to; ++it) {
            AddedRecord& record = addedRecords_[it->second];
            if (!record.taken && keyOf(record.record.bytes()) == key) {
                pair(record, file);
                break;
            }
        }
    }
    // The same contact by the duplicate rule, each as its card shows it.
    DuplicateIndex index;
    std::vector<std::size_t> indexed;
    for (std::size_t i = 0; i < addedRecords_.size(); ++i) {
        if (!addedRecords_[i].taken) {
            char bytes[kLunghezzaRecord];
            encodeRecord(asCard(addedRecords_[i].record), bytes);
            indexed.push_back(i);
            index.addBookRecord(bytes, static_cast<std::int32_t>(indexed.size()));
        }
    }
    index.seal();
    const auto read = [this, &indexed](std::int32_t n, Contatto& record) {
        const AddedRecord& added = addedRecords_[indexed[static_cast<std::size_t>(n) - 1]];
        // One taken already is no longer there to be found.
        record = added.taken ? Contatto{} : asCard(added.record);
        return Status::success();
    };
    for (AddedFile& file : addedFiles_) {
        if (file.taken || indexed.empty()) {
            continue;
        }
        DuplicateIndex::Match match;
        if (Status status = index.find(asCard(file.card.record), read, match); !status.ok()) {
            return status;
        }
        if (match.duplicate > 0) {
            AddedRecord& record =
                addedRecords_[indexed[static_cast<std::size_t>(match.duplicate) - 1]];
            if (!record.taken) {
                pair(record, file);
            }
        }
    }
    // What is left goes across.
    for (AddedRecord& record : addedRecords_) {
        if (record.taken) {
            continue;
        }
        std::string uid = newUid();
        while (listing_.count(uid + ".vcf") != 0) {
            uid = newUid();
        }
        record.taken = true;
        writes_.push_back({uid + ".vcf", record.record, uid, false, false, record.n});
        if (record.reason != Kind::Conflict) { // reported as the conflict
            event(record.reason, record.record, uid + ".vcf");
        }
        dirty_ = true;
    }
    for (AddedFile& file : addedFiles_) {
        if (file.taken) {
            continue;
        }
        event(Kind::RecordAdded, file.card.record, file.name);
        fitted(file.card);
        keep(claimOrAppend(file.card.record),
             {file.name, file.card.uid, Fingerprint::of(file.info, file.card.hash),
              file.card.record, file.card.record});
        dirty_ = true;
    }
    return Status::success();
}

Status Sync::plan() {
    std::vector<RecordKey> remembered;
    remembered.reserve(state_.entries.size());
    for (const SyncEntry& entry : state_.entries) {
        remembered.push_back(keyOf(entry.book.bytes()));
    }
    const std::vector<std::int32_t> match = align(remembered, itemKeys_);
    // New in the phone book: records no remembered one continues. Known
    // before the remembered ones are planned, which may claim them.
    std::vector<bool> continued(items_.size(), false);
    for (const std::int32_t j : match) {
        if (j >= 0) {
            continued[static_cast<std::size_t>(j)] = true;
        }
    }
    for (std::size_t j = 0; j < items_.size(); ++j) {
        if (!continued[j]) {
            Contatto record;
            if (Status status = book_.read(items_[j], record); !status.ok()) {
                return status;
            }
            addedRecords_.push_back({items_[j], record, Kind::FileCreated, false});
        }
    }
    // New in the folder: files the state does not name, read first, so that
    // a card found under a new name (its UID the same) continues its contact.
    std::unordered_set<std::string> named;
    for (const SyncEntry& entry : state_.entries) {
        named.insert(entry.file);
    }
    std::vector<std::string> names;
    for (const auto& [name, listed] : listing_) {
        if (named.count(name) == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const Listed& listed = listing_[name];
        if (!listed.regular) {
            SyncEvent skipped{Kind::FileSkipped, {}, name, {}, true};
            ++report_.counts[static_cast<std::size_t>(Kind::FileSkipped)];
            if (options_.onEvent) {
                options_.onEvent(skipped);
            }
            continue;
        }
        AddedFile added{name, {}, listed.info, false};
        bool usable = false;
        if (Status status = readFile(name, added.card, usable); !status.ok()) {
            return status;
        }
        if (usable) {
            if (!added.card.uid.empty()) {
                byUid_.emplace(added.card.uid, addedFiles_.size());
            }
            addedFiles_.push_back(std::move(added));
        }
    }
    entries_.reserve(state_.entries.size());
    for (std::size_t i = 0; i < state_.entries.size(); ++i) {
        if (Status status = planEntry(state_.entries[i], match[i]); !status.ok()) {
            return status;
        }
    }
    state_.entries = {}; // spent
    return pairAdded();
}

Status Sync::writeCard(CardWrite& write) {
    const std::string path = inFolder(write.file);
    Replacement replacement(fs_);
    // A new card is private (0600), as vdirsyncer makes its own: the
    // replacement gives a new file what the umask allows.
    const bool fresh = !write.uid.empty();
    const mode_t umask = fresh ? ::umask(077) : 0;
    Status begun = replacement.begin(path, inFolder(kCardScratch));
    if (fresh) {
        ::umask(umask);
    }
    if (!begun.ok()) {
        return begun;
    }
    std::int64_t written = 0;
    const ByteSink put = [&](std::string_view bytes) {
        Status status = replacement.write(bytes.data(), bytes.size(), written);
        written += static_cast<std::int64_t>(bytes.size());
        return status;
    };
    const ContattoLibero contatto = fromRecord(write.record);
    Status status = write.uid.empty()
                        ? mergeCard(fs_, path, contatto, write.name, write.numbers, put)
                        : put(newCard(write.uid, contatto));
    if (status.ok()) {
        status = replacement.commit();
    }
    if (!replacement.renamed()) {
        return status;
    }
    if (fs_.close(replacement.release()) != 0 && status.ok()) { // synced already
        status = Status::failure(FileOperation::Close, path, errno);
    }
    if (!status.ok()) {
        return status;
    }
    // What the next sync will compare with.
    CardFile card;
    InputProblem problem;
    if (Status read = readCardFile(fs_, path, card, problem); !read.ok()) {
        return read;
    }
    struct stat info {};
    if (fs_.lstat(path.c_str(), &info) != 0) {
        return Status::failure(FileOperation::Stat, path, errno);
    }
    keep(write.position,
         {write.file, card.uid, Fingerprint::of(info, card.hash), write.record, card.record});
    return Status::success();
}

Status Sync::replaceBook() {
    Replacement copy(fs_);
    if (Status status = copy.begin(files_.data, files_.scratch, files_.link); !status.ok()) {
        return status;
    }
    std::string in;
    std::string out;
    std::int64_t written = 0;
    const auto flush = [&]() {
        Status status = copy.write(out.data(), out.size(), written);
        written += static_cast<std::int64_t>(out.size());
        out.clear();
        return status;
    };
    // Records past the last one the window counts (a torn tail) are dropped,
    // as an append drops them; the window's blank records stay.
    const std::int32_t records = length_ == 0 ? 0 : total_;
    for (std::int64_t first = 1; first <= records; first += kBlockRecords) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(kBlockRecords, records - first + 1));
        if (Status status = book_.readRecords(first, count, in); !status.ok()) {
            return status;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t n = static_cast<std::int32_t>(first) + i;
            if (deletes_.count(n) != 0) {
                continue;
            }
            if (const auto update = updates_.find(n); update != updates_.end()) {
                out.append(update->second.bytes(), kLunghezzaRecord);
            } else {
                out.append(in, static_cast<std::size_t>(i) * kLunghezzaRecord, kLunghezzaRecord);
            }
        }
        if (Status status = flush(); !status.ok()) {
            return status;
        }
    }
    for (const StoredRecord& record : appends_) {
        out.append(record.bytes(), kLunghezzaRecord);
    }
    if (Status status = flush(); !status.ok()) {
        return status;
    }
    Status status = copy.commit();
    // Synced; the book's descriptor reads the old file still.
    if (copy.renamed() && fs_.close(copy.release()) != 0 && status.ok()) {
        status = Status::failure(FileOperation::Close, files_.data, errno, files_.link);
    }
    return status;
}

Status Sync::apply() {
    const bool bookChanges = !updates_.empty() || !deletes_.empty() || !appends_.empty();
    if (!dirty_ && !bookChanges && writes_.empty() && removals_.empty()) {
        return Status::success();
    }
    for (CardWrite& write : writes_) {
        if (Status status = writeCard(write); !status.ok()) {
            return status;
        }
        report_.partial = true;
    }
    for (const std::string& name : removals_) {
        if (fs_.unlink(inFolder(name).c_str()) != 0 && errno != ENOENT) {
            return Status::failure(FileOperation::Remove, inFolder(name), errno);
        }
        report_.partial = true;
    }
    if (!removals_.empty()) {
        if (Status status = syncFolder(fs_, folder_); !status.ok()) {
            return status;
        }
    }
    if (bookChanges) {
        if (Status status = replaceBook(); !status.ok()) {
            return status;
        }
    }
    // Last: the state, in the phone book's new order.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    SyncState next;
    next.folder = absolute_;
    for (auto& [position, entry] : entries_) {
        next.entries.push_back(std::move(entry));
    }
    if (Status status =
            writeSyncState(fs_, besideBook(kSyncStateName), besideBook(kSyncScratchName), next);
        !status.ok()) {
        return status;
    }
    report_.partial = false;
    return Status::success();
}

Status Sync::run() {
    if (Status status = openBook(); !status.ok()) {
        return status;
    }
    std::int64_t badLine = 0;
    if (Status status = readSyncState(fs_, besideBook(kSyncStateName), state_, badLine);
        !status.ok()) {
        return status;
    }
    if (badLine != 0) {
        report_.problem = {SyncProblem::Kind::BadState, badLine, besideBook(kSyncStateName), 0};
        return Status::success();
    }
    std::error_code error;
    absolute_ = std::filesystem::absolute(folder_, error).lexically_normal().string();
    if (error) { // the current folder is gone
        return Status::failure(FileOperation::Stat, folderStatusName(folder_), error.value());
    }
    while (absolute_.size() > 1 && absolute_.back() == '/') {
        absolute_.pop_back();
    }
    if (!state_.folder.empty() && state_.folder != absolute_) {
        report_.problem = {SyncProblem::Kind::OtherFolder, 0, state_.folder, 0};
        return Status::success();
    }
    if (state_.folder.empty()) {
        dirty_ = true; // the first sync leaves a state, even of nothing
    }
    const auto seen = static_cast<std::int64_t>(state_.entries.size());
    bool missing = false;
    Status listed = listFolder(missing);
    if ((missing || (listed.ok() && cardFiles_ == 0)) && seen > 0) {
        report_.problem = {SyncProblem::Kind::FolderEmptied, 0, folder_, seen};
        return Status::success();
    }
    if (!listed.ok()) {
        return listed;
    }
    if (Status status = scanBook(); !status.ok()) {
        return status;
    }
    if (items_.empty() && seen > 0 && !options_.emptiedBookConfirmed) {
        report_.problem = {SyncProblem::Kind::BookEmptied, 0, files_.data, seen};
        return Status::success();
    }
    if (Status status = plan(); !status.ok()) {
        return status;
    }
    if (Status status = apply(); !status.ok()) {
        return status;
    }
    report_.contacts = static_cast<std::int64_t>(entries_.size());
    auto fitted = fitted_.begin();
    for (std::size_t i = 0; i < events_.size(); ++i) {
        ++report_.counts[static_cast<std::size_t>(events_[i].kind)];
        if (options_.onEvent) {
            options_.onEvent(events_[i]);
        }
        for (; fitted != fitted_.end() && fitted->event == i; ++fitted) {
            if (options_.onChange) {
                options_.onChange(fitted->file, fitted->line, fitted->changes);
            }
        }
    }
    return Status::success();
}

} // namespace

SyncReport synchronize(FileSystem& fs, const std::string& folder, const SyncOptions& options) {
    SyncReport report;
    Sync sync(fs, folder, options, report);
    report.status = sync.run();
    return report;
}
