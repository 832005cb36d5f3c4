#pragma once

#include <QPlainTextEdit>
#include <limits>

// A multi-line text box whose text is exchanged with CR LF line breaks, with an
// input limit counted the same way: a line break takes two characters. Typing,
// pasting and dropping insert only what fits; Enter starts a new line only when
// two characters are left. Tab moves the focus on.
//
// Text written by other programs may hold a lone LF or a lone CR. The box keeps
// each as the one character it is: a lone LF shows as a line break within the
// paragraph, a lone CR as the mark "␍", and both come back as they went in,
// counting one against the limit.
class LimitedTextEdit : public QPlainTextEdit {
public:
    explicit LimitedTextEdit(QWidget* parent = nullptr);

    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }

    // The text with CR LF line breaks, and any lone LF or CR it was given.
    // Setting it is not limited.
    QString textCrLf() const;
    void setTextCrLf(const QString& text);

    // The length of the text, each line break counting two.
    qsizetype length() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    qsizetype room() const;
    QString fitting(const QString& text) const;

    int maxLength_ = std::numeric_limits<int>::max();
};
