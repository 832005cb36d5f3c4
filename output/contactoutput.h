#pragma once

#include <QString>
#include <QStringList>

// Hands composed text to the platform.

// Empties the clipboard, then puts `text` on it as plain text only.
void copyToClipboard(const QString& text);

// Prints `texts` as one document on the default printer, 14-point font, one
// text per step from the top-left corner of the printable area, CR LF starting
// a new line, the line ended after each text. False on any failure, including
// no default printer.
bool printOnDefaultPrinter(const QStringList& texts);
