#pragma once

#include "exchange/sync.h"

#include <string>

// What a sync did, in Italian, line by line: the lines `chiamoro
// --sincronizza` prints after "chiamoro: ". `folder` is the name the user
// gave the folder, in UTF-8; control characters in names and texts from the
// files are written out (escapeControls). A card's lines read otherwise than
// they stand, and its fields fitted to the record, are worded as an import's
// (noticeLine, changeLine).

// One change: which contact, which way, what; or a file left alone.
std::u16string syncEventLine(const SyncEvent& event);
// The last line: what changed on each side, and how many contacts the two share.
std::u16string syncSummaryLine(const std::string& folder, const SyncReport& report);
// Why a sync was refused or failed, and what became of the two sides.
std::u16string syncFailureLine(const std::string& folder, const SyncReport& report);
