#pragma once

#include "exchange/contattolibero.h"
#include "exchange/problem.h"
#include "store/filesystem.h"
#include "store/status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The phone book of the current folder kept in step with a folder of vCards,
// one contact a file, as vdirsyncer's "filesystem" storage keeps a CardDAV
// address book (and a phone keeps that in step with the server).
//
// What the last sync saw is kept beside the phone book (syncstate.h). Each
// sync finds what changed on either side since:
//
// - in the phone book, by aligning today's records with the remembered ones
//   (alignment.h): a record edited, added or deleted;
// - in the folder, by each file's fingerprint: a file changed, added or
//   deleted (files whose name starts with "." or does not end in ".vcf" are
//   not contacts, as for vdirsyncer); a card found under another name with
//   the UID it had is the same contact.
//
// and carries each change to the other side: a card rewritten, written new
// or removed; a record rewritten in place, appended or deleted. A rewritten
// card changes only what the record holds (see mergeCard). Records and cards
// new on both sides are paired first: the same record, or the same contact
// by the duplicate rule (duplicates.h), are one contact and nothing is
// doubled; this is how the first sync pairs the two sides. Then:
//
// - changed on both sides, differently: both versions are kept, the folder's
//   as a record appended, the phone book's as a new card, and the conflict
//   is reported;
// - changed on one side and deleted on the other: the change wins;
// - a folder without a card, or missing, while the last sync saw contacts,
//   is refused, and so is a phone book emptied since, unless confirmed.
//
// Every write is all or nothing: each card is written to a scratch file in
// the folder (".chiamoro.tmp") and renamed over its name; the phone book is
// replaced in one step (see Replacement); the state is written last, and only
// when something changed. A crash at any point leaves things from which the
// next sync ends in the same result: each step, done again on what a
// previous run left, finds its work done (a card that already reads as the
// record, a record that already holds the card, a new card that pairs with
// its record).
//
// The phone book is taken as an import takes it: locked against a window,
// created if missing. Memory holds the state and 44 bytes a record of the
// phone book, never a card's photo.

struct SyncEvent {
    enum class Kind {
        FileCreated,    // a record new in the phone book: its card written
        FileUpdated,    // a record edited: its card rewritten
        FileDeleted,    // a record deleted: its card removed
        FileRestored,   // a record edited whose card was deleted: the card written again
        RecordAdded,    // a card new in the folder: appended to the phone book
        RecordUpdated,  // a card changed: its record rewritten in place
        RecordDeleted,  // a card removed: its record deleted
        RecordRestored, // a card changed whose record was deleted: appended again
        Conflict,       // changed on both sides: the folder's version appended, the
                        // phone book's written as a card of its own
        FileSkipped,    // a file that is no card of a contact, left alone (see `problem`)
    };
    static constexpr std::size_t kKinds = 10;

    Kind kind = Kind::FileCreated;
    std::u16string name; // the contact's name as the window shows it (its number, without one)
    std::string file;    // the card's file name in the folder
    // FileSkipped: no card in it (NoCard), nothing of it a record would show
    // (Readable), or no regular file at all (`notRegular`).
    InputProblem problem;
    bool notRegular = false;
};

struct SyncProblem {
    enum class Kind {
        Readable,      // nothing wrong
        BadState,      // the state file is damaged at `line`
        OtherFolder,   // the phone book is kept in step with `folder`, not this one
        FolderEmptied, // no card in the folder (or no folder), while the last sync saw `contacts`
        BookEmptied,   // no contact in the phone book, while the last sync saw `contacts`
    };
    Kind kind = Kind::Readable;
    std::int64_t line = 0;
    std::string folder;
    std::int64_t contacts = 0;

    bool ok() const { return kind == Kind::Readable; }
};

struct SyncReport {
    chiamoro::Status status;
    SyncProblem problem;
    std::array<std::int64_t, SyncEvent::kKinds> counts{}; // by SyncEvent::Kind
    std::int64_t paired = 0;   // new on both sides, found to be one contact
    std::int64_t contacts = 0; // kept in step once done
    bool partial = false;      // failed after some cards were written or removed

    bool ok() const { return status.ok() && problem.ok(); }
    std::int64_t count(SyncEvent::Kind kind) const {
        return counts[static_cast<std::size_t>(kind)];
    }
};

struct SyncOptions {
    bool emptiedBookConfirmed = false; // a phone book emptied since is emptied in the folder too
    std::function<void(const SyncEvent&)> onEvent;
    // A card's line read otherwise than it stands, or a card that storing changed.
    std::function<void(const std::string& file, const Notice&)> onNotice;
    std::function<void(const std::string& file, std::int64_t line, const std::vector<FieldChange>&)>
        onChange;
};

// Keeps the phone book of the current folder in step with `folder`.
SyncReport synchronize(FileSystem& fs, const std::string& folder, const SyncOptions& options = {});
