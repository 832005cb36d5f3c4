#include "qtdesktop.h"

#include "output/contactoutput.h"

#include <QStringList>

void QtDesktop::copyText(const std::u16string& text) {
    copyToClipboard(QString::fromStdU16String(text));
}

bool QtDesktop::print(const std::vector<std::u16string>& texts) {
    QStringList lines;
    for (const std::u16string& text : texts) {
        lines << QString::fromStdU16String(text);
    }
    return printOnDefaultPrinter(lines);
}

std::tm QtDesktop::localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}
