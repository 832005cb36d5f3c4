#include "contacttext.h"

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
    // TODO: locale-formatted date and time
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%x %X", &local);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(n));
}
