#pragma once

#include "exchange/contattolibero.h"
#include "exchange/problem.h"
#include "exchange/reader.h"
#include "store/contatto.h"
#include "store/filesystem.h"
#include "store/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One contact in a file of its own, as a folder kept in step with a CardDAV
// address book holds it (vdirsyncer's "filesystem" storage): what the sync
// reads of such a file, and how it writes one.
//
// A record owns only part of a card: the name (FN and N) and the numbers with
// the comments (TEL and NOTE). Everything else a phone or a server put there
// (UID, EMAIL, ADR, PHOTO, BDAY, X-...) goes back byte for byte when the card
// is rewritten: the file is copied line by line, the record's properties
// taking the place of the card's own, and memory stays the size of a block
// whatever the photo.

// The properties a record makes of itself in a card, as vCard lines ending in
// CR LF: the name (N, FN), and the numbers and comments (TEL, NOTE). The one
// place where a record becomes card properties: both new cards and rewritten
// ones take them from here, and it takes them from vcardOf.
struct CardProperties {
    std::string name;
    std::string numbers;
};
CardProperties cardProperties(const ContattoLibero& contatto);

// A new card for a record, with its UID.
std::string newCard(const std::string& uid, const ContattoLibero& contatto);

// What the sync reads of a file: the record the import makes of its (first)
// card, by the import's rules, its UID, and a fingerprint of its text.
struct CardFile {
    Contatto record;
    std::vector<FieldChange> changes; // what fitting the card into a record changed
    std::int64_t line = 0;            // where the card begins
    std::string uid;                  // empty when the card has none
    std::uint64_t hash = 0;
    bool blank = true; // nothing of it would show in the window
};

// Reads `path`. A file that is no vCard comes back as `problem`; lines read
// otherwise than they stand go to `onNotice`, as for an import.
chiamoro::Status readCardFile(FileSystem& fs, const std::string& path, CardFile& card,
                              InputProblem& problem, const NoticeReport& onNotice = {});

// The fingerprint of a card's text (CardFile::hash), a piece at a time:
// FNV-1a, 64 bits, which tells a text from what it was.
class TextHash {
public:
    void add(std::string_view bytes) {
        for (const char c : bytes) {
            value_ = (value_ ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

// Where a rewritten card goes, a piece at a time.
using ByteSink = std::function<chiamoro::Status(std::string_view bytes)>;

// Copies the card at `path` to `out`, with the record's name in place of the
// card's own (FN and N) when `name` is set, and its numbers and comments in
// place of the card's TEL and NOTE when `numbers` is set (with the labels
// Apple gives its numbers, itemN.X-ABLabel of a TEL's group). The record's lines go
// where the first of the lines they replace stood (before END:VCARD when the
// card had none), with the file's own line end. Only the first card of the
// file changes; a UTF-16 or UTF-32 file comes out in UTF-8. The same card
// merged twice with the same record comes out the same.
chiamoro::Status mergeCard(FileSystem& fs, const std::string& path, const ContattoLibero& contatto,
                           bool name, bool numbers, const ByteSink& out);
