#include "contactoutput.h"

#include <QClipboard>
#include <QGuiApplication>

void copyToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

bool printOnDefaultPrinter(const QStringList& texts) {
    // TODO: print through QPrinter
    (void)texts;
    return false;
}
