#pragma once

#include "store/contatto.h"
#include "store/filesystem.h"
#include "store/status.h"

#include <array>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

// What the last sync saw, kept beside the phone book in "Chiamoro.SYN" so that
// the next one can tell what changed on either side since.
//
// A text file of lines, each ending in LF. The first is the format's name,
// "Chiamoro sincronizzazione 1"; the second names the folder the phone book
// is kept in step with: "cartella", a tab, its absolute path. Then one line a
// contact, in the phone book's order, five fields between tabs:
//
//   file name   the card's file, in the folder
//   UID         the card's UID, as it stands (may be empty)
//   fingerprint "SIZE MTIME INODE HASH": the file's size, its modification
//               time in nanoseconds, its inode (all decimal) and the hash of
//               its text (16 hexadecimal digits, see CardFile)
//   record      the phone book's record as synced, its 180 bytes
//   card        the record the card reads as, its 180 bytes, or "=" when it
//               is the same as the phone book's
//
// Bytes below 0x20, 0x7F and the backslash are written "\xHH" in every field.

inline constexpr const char* kSyncStateName = "Chiamoro.SYN";
inline constexpr const char* kSyncScratchName = "Chiamoro.SYN.tmp";

struct Fingerprint {
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::uint64_t inode = 0;
    std::uint64_t hash = 0;

    // Whether the file's lstat says it is the file fingerprinted, unchanged.
    bool sameFile(const struct stat& info) const;
    static Fingerprint of(const struct stat& info, std::uint64_t hash);
};

// A record as the state holds it: its 180 bytes, a fifth of a Contatto's
// memory. Taken from and given as a Contatto where one is wanted.
class StoredRecord {
public:
    StoredRecord() { bytes_.fill(' '); }
    StoredRecord(const Contatto& record) { encodeRecord(record, bytes_.data()); }
    operator Contatto() const { return decodeRecord(bytes_.data()); }

    const char* bytes() const { return bytes_.data(); }
    char* bytes() { return bytes_.data(); }
    bool operator==(const StoredRecord&) const = default;

private:
    std::array<char, kLunghezzaRecord> bytes_;
};

struct SyncEntry {
    std::string file;
    std::string uid;
    Fingerprint fingerprint;
    StoredRecord book;
    StoredRecord card;
};

struct SyncState {
    std::string folder; // empty before the first sync
    std::vector<SyncEntry> entries;
};

// Reads the state at `path`; a missing file is an empty state. A line that is
// not what it should be is reported by its number in `badLine` (the state is
// then not used: guessing could double or lose contacts).
chiamoro::Status readSyncState(FileSystem& fs, const std::string& path, SyncState& state,
                               std::int64_t& badLine);

// Writes the state in one step, through the scratch file beside it (see
// Replacement).
chiamoro::Status writeSyncState(FileSystem& fs, const std::string& path, const std::string& scratch,
                                const SyncState& state);
