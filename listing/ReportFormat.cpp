#include "listing/ReportFormat.h"

#include <algorithm>

#include "VersionInfo.h"
#include "listing/ReportWriter.h"

namespace dirtally {

namespace report {

namespace {

// Pads on the left to `width` characters, counted in code points as the writer counts its
// columns: some locales' digits (Chakma, Adlam) lie outside the BMP, two UTF-16 units each.
QString padded(const QString& text, qsizetype width) {
    const qsizetype characters = text.size() - std::count_if(text.begin(), text.end(), [](QChar c) {
                                     return c.isLowSurrogate();
                                 });
    return QString(std::max<qsizetype>(width - characters, 0), QLatin1Char(' ')) + text;
}

}  // namespace

QLocale withGroups(const QLocale& locale) {
    QLocale grouping = locale;
    grouping.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouping;
}

QString grouped(std::uint64_t value, const QLocale& locale) {
    // A locale of its own for every number would cost more than the number.
    if (!locale.numberOptions().testFlag(QLocale::OmitGroupSeparator)) {
        return locale.toString(static_cast<qulonglong>(value));
    }
    return withGroups(locale).toString(static_cast<qulonglong>(value));
}

QString sizeField(std::uint64_t bytes, const QLocale& locale) {
    return padded(QLatin1Char(' ') + grouped(bytes, locale), kSizeFieldWidth);
}

QString blankSizeField() {
    return QString(kSizeFieldWidth, QLatin1Char(' '));
}

QString totalField(std::uint64_t value, const QLocale& locale) {
    return padded(grouped(value, locale), kTotalFieldWidth);
}

QString dateLine(const QDate& date, const QLocale& locale) {
    return locale.toString(date, QStringLiteral("dddd - MMM d, yyyy"));
}

QString safeName(const std::string& name) {
    QString text = pathToText(name);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = QLatin1Char('?');
        }
    }
    return text;
}

QString displayName(const QString& safeName) {
    if (safeName.isEmpty()) {
        return safeName;
    }
    // The first character may be a surrogate pair; keep it whole.
    const qsizetype first = safeName.at(0).isHighSurrogate() && safeName.size() > 1 ? 2 : 1;
    return safeName.left(first).toUpper() + safeName.mid(first).toLower();
}

}  // namespace report

using namespace report;

ReportFormat::ReportFormat(ReportWriter& out, const QLocale& locale)
    : out_(out), locale_(withGroups(locale)) {}

void ReportFormat::header(const Path& folder, bool oneLevel, const QDate& today) {
    oneLevel_ = oneLevel;
    out_.endLine();
    out_.write(QStringLiteral("Dirtally by ") + QString::fromUtf8(version::webAddress));
    out_.endLine();
    out_.endLine();
    out_.write(dateLine(today, locale_));
    out_.endLine();
    out_.endLine();
    // "(no subs)" marks the report of the whole tree, made with "No Sub-dirs" unticked: the
    // marker has always stood for the mark being off, and readers of stored reports tell the two
    // kinds apart by it, so it keeps its meaning despite its words.
    out_.write(QStringLiteral("Path - ") + safeName(folder) +
               (oneLevel ? QStringLiteral("  ") : QStringLiteral("  (no subs)")));
    out_.endLine();
    out_.endLine();
}

void ReportFormat::folder(const QString& name, const FolderSize& size) {
    out_.write(oneLevel_ ? displayName(name) : name);
    out_.columnStop(kSizeColumn);
    out_.tab();
    out_.write(size.readable ? sizeField(size.bytes, locale_) : blankSizeField());
    out_.endLine();
}

void ReportFormat::closing(Closing block, std::uint64_t value) {
    dashLine();
    switch (block) {
        case Closing::TreeTotal:
            out_.columnStop(kTreeTotalColumn);
            out_.tab();
            out_.write(totalField(value, locale_));
            out_.endLine();
            break;
        case Closing::FoldersTotal:
            out_.tab();
            out_.columnStop(kFoldersTotalColumn);
            out_.write(totalField(value, locale_));
            out_.endLine();
            dashLine();
            break;
        case Closing::UsedSpace:
            out_.columnStop(kUsedSpaceColumn);
            out_.tab();
            out_.write(totalField(value, locale_));
            out_.endLine();
            break;
    }
}

void ReportFormat::dashLine() {
    out_.columnStop(kDashColumn);
    out_.tab();
    out_.write(QStringLiteral("---------------"));
    out_.endLine();
}

}  // namespace dirtally
