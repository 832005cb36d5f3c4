#pragma once

#include <QString>
#include <QStringList>

// Hands composed text to the platform: the clipboard and the print system.

// Empties the clipboard, then puts `text` on it as plain text only.
void copyToClipboard(const QString& text);

// Prints `texts` as one document on the default destination of the print
// system, 14-point font, one text per step from the top-left corner of the
// printable area, CR LF starting a new line, the line ended after each text.
// True once the print server has accepted and queued the job; false when
// there is no default destination, the server cannot be reached or stops
// answering, the destination does not accept jobs, any step of the job's
// submission fails, or the page cannot be rendered.
bool printOnDefaultPrinter(const QStringList& texts);
