#pragma once

#include "exchange/exchange.h"

#include <QString>

// --esporta FILE, --importa FILE and --sincronizza CARTELLA of the phone book
// of the current folder, without a window: the work, and what came of it in
// Italian on standard error. The result is the exit status: 0 when done, 1
// when it failed (or, for a sync, was refused).

int exportContacts(const QString& file, Formato format);
int importContacts(const QString& file, Formato format, Doppioni doppioni);

// The phone book kept in step with a folder of vCards: one line a change and
// a last line of counts.
int synchronizeContacts(const QString& folder, bool emptiedBookConfirmed);
