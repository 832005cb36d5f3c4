#pragma once

#include "exchange/exchange.h"

#include <QString>

// --esporta FILE and --importa FILE of the phone book of the current folder,
// without a window: the work, and what came of it in Italian on standard
// error. The result is the exit status: 0 when done, 1 when it failed.

int exportContacts(const QString& file, Formato format);
int importContacts(const QString& file, Formato format, Doppioni doppioni);
