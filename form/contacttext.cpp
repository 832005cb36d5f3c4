#include "contacttext.h"

#include <array>
#include <cwchar>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kRule = QString(20, QLatin1Char('-'));
const QString kLabelGap = QStringLiteral(":   ");
} // namespace

QString clipboardText(const QString& nome, const QString& numero, const QString& commenti) {
    return kRule + kCrLf + nome + kCrLf + kCrLf + numero + kCrLf + kCrLf + commenti + kCrLf +
           kRule + kCrLf + QStringLiteral(" ");
}

QStringList printTexts(const QString& nome, const QString& numero, const QString& commenti,
                       const QString& dateTime) {
    return {
        QStringLiteral("Nome") + kLabelGap + nome + kCrLf,
        QStringLiteral("Numero") + kLabelGap + numero + kCrLf + kCrLf,
        QStringLiteral("Commenti") + kLabelGap + kCrLf + commenti + kCrLf,
        QString(36, QLatin1Char('#')) + QStringLiteral(" ") + dateTime + QStringLiteral(" ") +
            QString(5, QLatin1Char('#')),
    };
}

QString dateTimeText(const std::tm& local) {
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    // The wide variant hands back the locale's text already decoded, whatever
    // multibyte encoding the locale uses.
    std::array<wchar_t, 256> buffer{};
    const std::size_t length =
        std::wcsftime(buffer.data(), buffer.size(), midnight ? L"%x" : L"%x %X", &local);
    return QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length));
}
