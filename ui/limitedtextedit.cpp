#include "limitedtextedit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// How the box holds the two line breaks that are not CR LF: a lone LF as a
// break inside the paragraph, a lone CR as its control picture. Neither can
// come from the data file as a character of its own, which has no such
// characters in its code page.
constexpr QChar kLoneLf = QChar::LineSeparator;
constexpr QChar kLoneCr = u'\u240D';

// A CR LF line break: a paragraph of the document, or "\n" in text to insert.
bool isLineBreak(QChar c) {
    return c == u'\n' || c == QChar::ParagraphSeparator;
}

qsizetype lengthCrLf(QStringView text) {
    qsizetype length = text.size();
    for (const QChar c : text) {
        if (isLineBreak(c)) {
            ++length;
        }
    }
    return length;
}

// Any of CR LF, CR, LF and the Unicode separators as one LF.
QString withLfBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

} // namespace

LimitedTextEdit::LimitedTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void LimitedTextEdit::setMaxLength(int length) {
    maxLength_ = length;
}

QString LimitedTextEdit::textCrLf() const {
    // The raw text keeps every character as typed (toPlainText would turn a
    // no-break space into a space); its line breaks are paragraph separators.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(kLoneLf, u'\n');
    text.replace(kLoneCr, u'\r');
    return text;
}

void LimitedTextEdit::setTextCrLf(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            shown += u'\n'; // a paragraph
            ++i;
        } else if (text[i] == u'\n') {
            shown += kLoneLf;
        } else if (text[i] == u'\r') {
            shown += kLoneCr;
        } else {
            shown += text[i];
        }
    }
    setPlainText(shown);
}

qsizetype LimitedTextEdit::length() const {
    return lengthCrLf(document()->toRawText());
}

qsizetype LimitedTextEdit::room() const {
    return qsizetype(maxLength_) - length() + lengthCrLf(textCursor().selectedText());
}

QString LimitedTextEdit::fitting(const QString& text) const {
    qsizetype left = room();
    qsizetype end = 0;
    while (end < text.size()) {
        // A line break takes two characters, a surrogate pair is never split.
        qsizetype next = end + 1;
        if (text[end].isHighSurrogate() && next < text.size() && text[next].isLowSurrogate()) {
            ++next;
        }
        const qsizetype cost = isLineBreak(text[end]) ? 2 : next - end;
        if (cost > left) {
            break;
        }
        left -= cost;
        end = next;
    }
    return text.left(end);
}

void LimitedTextEdit::keyPressEvent(QKeyEvent* event) {
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::InsertParagraphSeparator) ||
        event->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Enter too makes an ordinary line break.
        if (room() >= 2) {
            insertPlainText(QStringLiteral("\n"));
            ensureCursorVisible();
        }
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.front().isPrint()) {
        const QString fits = fitting(typed);
        if (fits.size() < typed.size()) {
            if (!fits.isEmpty()) {
                insertPlainText(fits);
            }
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LimitedTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    const QString fits = fitting(withLfBreaks(committed));
    if (fits == committed) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(fits, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    event->accept();
}

void LimitedTextEdit::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString fits = fitting(withLfBreaks(source->text()));
    if (!fits.isEmpty()) {
        insertPlainText(fits);
        ensureCursorVisible();
    }
}
