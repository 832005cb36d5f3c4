#pragma once

#include <QString>
#include <QStringList>
#include <ctime>

// The shown contact as clipboard text and as printed lines, composed from the
// three box texts as they stand (not trimmed; CR LF line breaks kept).

// Rule, name, blank line, number, blank line, comments, rule, one blank.
QString clipboardText(const QString& nome, const QString& numero, const QString& commenti);

// The four texts handed to the printer one per step: name entry, number entry,
// comments entry, closing line with `dateTime`.
QStringList printTexts(const QString& nome, const QString& numero, const QString& commenti,
                       const QString& dateTime);

// Short date, one blank, time with seconds, under the C library's current
// locale; the date alone at exactly 00:00:00.
QString dateTimeText(const std::tm& local);
