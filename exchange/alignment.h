#pragma once

#include "store/contatto.h"

#include <array>
#include <cstdint>
#include <vector>

// Which of today's records continue which of the records remembered from the
// last sync. Records have no identity of their own, but the window changes a
// phone book in three ways only: it edits a record in place, appends one, or
// deletes one; a sync does the same. So an alignment of the two sequences, as
// a diff makes one, recovers what happened:
//
// - records the same on both sides are matched as the longest common
//   sequence, found as patience diff finds it (the records that occur once
//   on each side, in order, anchor the rest; common starts and ends match);
// - between two anchors, a remembered record and one of today's that share
//   a field (the same name, number or comments, not blank) are the same
//   record edited, paired in order, as many shared fields as possible;
// - a remembered record left over was deleted, one of today's was added.
//
// A record edited in all three of its fields at once is thus a deletion and
// an addition. Records are compared as the window shows them: trimmed of the
// spaces around each field.

// What the alignment knows of a record: hashes of its three trimmed fields.
struct RecordKey {
    std::array<std::uint64_t, 3> fields{};
    std::array<bool, 3> blank{};
    std::uint64_t whole = 0;

    bool operator==(const RecordKey& other) const { return fields == other.fields; }
};

RecordKey keyOf(const Contatto& record);
RecordKey keyOf(const char* bytes); // the 180 bytes of a record

// For each remembered record, the index of today's record that continues it,
// or -1 when it was deleted. Today's records that continue none were added.
std::vector<std::int32_t> align(const std::vector<RecordKey>& before,
                                const std::vector<RecordKey>& now);
