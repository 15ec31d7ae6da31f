#include "listing/ReportFormat.h"

namespace dirtally::report {

QString grouped(std::uint64_t value, const QLocale& locale) {
    QLocale withGroups = locale;
    withGroups.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withGroups.toString(static_cast<qulonglong>(value));
}

QString sizeField(std::uint64_t bytes, const QLocale& locale) {
    return (QLatin1Char(' ') + grouped(bytes, locale)).rightJustified(kSizeFieldWidth);
}

QString blankSizeField() {
    return QString(kSizeFieldWidth, QLatin1Char(' '));
}

QString totalField(std::uint64_t value, const QLocale& locale) {
    return grouped(value, locale).rightJustified(kTotalFieldWidth);
}

QString dateLine(const QDate& date, const QLocale& locale) {
    return locale.toString(date, QStringLiteral("dddd - MMM d, yyyy"));
}

QString safeName(const std::string& name) {
    QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = QLatin1Char('?');
        }
    }
    return text;
}

QString displayName(const std::string& name) {
    const QString text = safeName(name);
    if (text.isEmpty()) {
        return text;
    }
    // The first character may be a surrogate pair; keep it whole.
    const qsizetype firstLength = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return text.left(firstLength).toUpper() + text.mid(firstLength).toLower();
}

}  // namespace dirtally::report
