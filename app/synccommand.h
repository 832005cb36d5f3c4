#pragma once

#include <QString>

// --sincronizza CARTELLA: the phone book of the current folder kept in step
// with a folder of vCards, without a window; what came of it in Italian on
// standard error, one line a change and a last line of counts. The result is
// the exit status, as for --importa: 0 when done, 1 when it failed or was
// refused.
int synchronizeContacts(const QString& folder, bool emptiedBookConfirmed);
