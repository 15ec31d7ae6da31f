#include "listing/ReportFormat.h"

#include <QStringList>
#include <algorithm>
#include <cstring>

#include "VersionInfo.h"
#include "listing/Comparison.h"
#include "listing/ReportWriter.h"

namespace dirtally {

using namespace Qt::StringLiterals;

namespace report {

namespace {

// Pads on the left to `width` characters, counted in code points as the writer counts its
// columns: some locales' digits (Chakma, Adlam) lie outside the BMP, two UTF-16 units each.
QString padded(const QString& text, qsizetype width) {
    const qsizetype characters = text.size() - std::count_if(text.begin(), text.end(), [](QChar c) {
                                     return c.isLowSurrogate();
                                 });
    if (characters >= width) {
        return text;
    }
    return QString(width - characters, QLatin1Char(' ')) + text;
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

QString humanSize(std::uint64_t bytes) {
    static constexpr char kSuffixes[] = "KMGTPE";
    using Wide = unsigned __int128;  // 10 x 2^64 does not fit 64 bits
    Wide unit = 1;
    int power = 0;
    while (bytes >= unit * 1024 && power < 6) {
        unit *= 1024;
        ++power;
    }
    if (power == 0) {
        return QString::number(bytes);
    }
    // Rounded up, as du rounds: a size never reads smaller than it is. Rounding up may carry it
    // to 10 (no decimal then) or to 1024 of its unit (then it is 1.0 of the next).
    for (;;) {
        const QChar suffix = QLatin1Char(kSuffixes[power - 1]);
        if (bytes < 10 * unit) {
            const auto tenths = static_cast<unsigned>((Wide{bytes} * 10 + unit - 1) / unit);
            return tenths < 100
                       ? QStringLiteral("%1.%2%3").arg(tenths / 10).arg(tenths % 10).arg(suffix)
                       : QStringLiteral("10") + suffix;
        }
        const auto whole = static_cast<unsigned>((Wide{bytes} + unit - 1) / unit);
        if (whole < 1024 || power == 6) {
            return QString::number(whole) + suffix;
        }
        unit *= 1024;
        ++power;
    }
}

void sizeField(QByteArray& line, const FolderSize& size, GroupedNumbers& numbers) {
    if (size.readable) {
        numbers.append(line, size.bytes, kSizeFieldWidth, 1);
    } else {
        std::fill_n(appended(line, kSizeFieldWidth), kSizeFieldWidth, ' ');
    }
}

QString totalField(std::uint64_t value, GroupedNumbers& numbers) {
    return numbers.text(value, kTotalFieldWidth);
}

QString dateLine(const QDate& date, const QLocale& locale) {
    return locale.toString(date, QStringLiteral("dddd - MMM d, yyyy"));
}

QString countedWords(const Counting& counting) {
    QStringList words;
    if (counting.diskUsage) {
        words << QStringLiteral("disk usage");
    }
    if (counting.linksOnce) {
        words << QStringLiteral("links once");
    }
    if (counting.oneFileSystem) {
        words << QStringLiteral("one file system");
    }
    if (!counting.exclude.empty()) {
        QStringList patterns;
        for (const std::string& pattern : counting.exclude) {
            patterns << safeName(pattern);
        }
        words << QStringLiteral("excluding: ") + patterns.join(QStringLiteral(", "));
    }
    return words.join(QStringLiteral(", "));
}

QString safeName(const std::string& name) {
    // Most names are printable ASCII, which reads the same as Latin-1 and needs no decoder.
    if (std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7f; })) {
        return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    QString text = pathToText(name);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = QLatin1Char('?');
        }
    }
    return text;
}

QString displayName(QString safeName) {
    if (safeName.isEmpty()) {
        return safeName;
    }
    // Lowered in place, the common case costs no copy: an ASCII first character lowered and
    // raised again is itself.
    if (safeName.at(0).unicode() < 0x80) {
        QString name = std::move(safeName).toLower();
        name[0] = name.at(0).toUpper();
        return name;
    }
    // The first character may be a surrogate pair; keep it whole.
    const qsizetype first = safeName.at(0).isHighSurrogate() && safeName.size() > 1 ? 2 : 1;
    return safeName.left(first).toUpper() + safeName.mid(first).toLower();
}

void appendName(QByteArray& line, const std::string& name, bool display, int column) {
    // Most names are printable ASCII: their own UTF-8, a character a byte, cased byte by byte as
    // they are copied; any other byte sends the name the long way.
    const auto size = static_cast<qsizetype>(name.size());
    const qsizetype start = line.size();
    char* ascii = appended(line, size + (column ? columnBytes(size, column) : 0) + 1);
    bool printable = true;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = name[static_cast<std::size_t>(i)];
        printable &= c >= 0x20 && c < 0x7f;
        ascii[i] = display && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (printable) {
        if (display && size > 0 && *ascii >= 'a' && *ascii <= 'z') {
            *ascii = static_cast<char>(*ascii - 'a' + 'A');
        }
        *(column ? toColumn(ascii + size, size, column) : ascii + size) = '\t';
        return;
    }
    line.truncate(start);
    const QByteArray text = (display ? displayName(safeName(name)) : safeName(name)).toUtf8();
    const qsizetype characters =
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xc0) != 0x80; });
    char* out = appended(line, text.size() + (column ? columnBytes(characters, column) : 0) + 1);
    out = std::copy(text.begin(), text.end(), out);
    *(column ? toColumn(out, characters, column) : out) = '\t';
}

}  // namespace report

using namespace report;

ReportFormat::ReportFormat(ReportWriter& out, const QLocale& locale, const Counting& counting,
                           bool humanReadable)
    : out_(out),
      locale_(withGroups(locale)),
      numbers_(locale_),
      counting_(counting),
      humanReadable_(humanReadable) {}

void ReportFormat::header(const Path& folder, bool oneLevel, const QDate& today) {
    oneLevel_ = oneLevel;
    out_.endLine();
    out_.write(QStringLiteral("Dirtally by ") + QString::fromUtf8(version::webAddress));
    out_.endLine();
    out_.endLine();
    out_.write(dateLine(today, locale_));
    if (comparison_) {
        const PreviousReport& previous = comparison_->previous();
        out_.write(QStringLiteral("  (compared with %1)")
                       .arg(previous.none   ? QStringLiteral("no earlier report")
                            : previous.date ? dateLine(*previous.date, locale_)
                                            : QStringLiteral("a report of no date")));
    }
    out_.endLine();
    out_.endLine();
    // "(no subs)" marks the report of the whole tree, made with "No Sub-dirs" unticked: the
    // marker has always stood for the mark being off, and readers of stored reports tell the two
    // kinds apart by it, so it keeps its meaning despite its words.
    // What is counted, when it is not what the window counts, comes after that marker, so that
    // the marker keeps its place.
    const QString counted = countedWords(counting_);
    out_.write(QStringLiteral("Path - ") + safeName(folder) +
               (oneLevel ? QStringLiteral("  ") : QStringLiteral("  (no subs)")) +
               (counted.isEmpty() ? QString()
                : oneLevel        ? QStringLiteral("(%1)").arg(counted)
                                  : QStringLiteral(" (%1)").arg(counted)));
    out_.endLine();
    out_.endLine();
}

// A folder line always starts at the first column, so it is laid out on its own.
void ReportFormat::folder(const ListedFolder& listed) {
    lineOf(listed, out_.buffer(), kSizeColumn);
    out_.linesEnded();
}

void ReportFormat::layOut(const ListedFolder& listed, QByteArray& line) {
    lineOf(listed, line, 0);
}

// A name holds no TAB (safeName shows it as "?"): the first ends the name.
void ReportFormat::writeLine(QByteArrayView line) {
    const qsizetype tab = line.indexOf('\t');
    out_.writeLines(line.first(tab), kSizeColumn, line.sliced(tab));
}

void ReportFormat::lineOf(const ListedFolder& listed, QByteArray& line, int sizeColumn) {
    appendName(line, listed.path, oneLevel_, sizeColumn);
    if (listed.change && listed.change->kind == SizeChange::Kind::Gone) {
        line += padded(QStringLiteral("gone"), kSizeFieldWidth).toUtf8();
    } else {
        appendSize(line, listed.size);
    }
    if (listed.change) {
        line += '\t';
        appendChange(line, *listed.change);
    }
    std::memcpy(appended(line, 2), "\r\n", 2);
}

void ReportFormat::compareWith(const Comparison& comparison) {
    comparison_ = &comparison;
}

void ReportFormat::totalLine(std::uint64_t value) {
    out_.write(totalText(value));
    if (comparison_) {
        out_.tab();
        QByteArray field;
        appendChange(field, comparison_->totalChange(value));
        out_.writeUtf8(field);
    }
    out_.endLine();
}

void ReportFormat::appendSize(QByteArray& line, const FolderSize& size) {
    if (size.readable && humanReadable_) {
        line += padded(QLatin1Char(' ') + humanSize(size.bytes), kSizeFieldWidth).toUtf8();
    } else {
        sizeField(line, size, numbers_);
    }
}

// The change's column, padded to the size field's width. Its amount is laid out in the line's
// own bytes as the sizes are, its sign in the space before its first digit: asking the locale
// for each change cost more than the rest of the line.
void ReportFormat::appendChange(QByteArray& line, const SizeChange& change) {
    bool laidOut = false;
    const QString text = changeText(change, [&](QLatin1StringView sign, std::uint64_t amount) {
        if (humanReadable_) {
            return sign + humanSize(amount);
        }
        const qsizetype start = line.size();
        numbers_.append(line, amount, kSizeFieldWidth, 1);
        if (!sign.isEmpty()) {
            qsizetype digit = start;
            while (line.at(digit) == ' ') {
                ++digit;
            }
            line[digit - 1] = sign.front().toLatin1();
        }
        laidOut = true;
        return QString();
    });
    if (!laidOut) {
        line += padded(text, kSizeFieldWidth).toUtf8();
    }
}

QString ReportFormat::totalText(std::uint64_t value) {
    return humanReadable_ ? padded(humanSize(value), kTotalFieldWidth)
                          : totalField(value, numbers_);
}

void ReportFormat::closing(Closing block, std::uint64_t value) {
    dashLine();
    switch (block) {
        case Closing::TreeTotal:
            out_.columnStop(kTreeTotalColumn);
            out_.tab();
            totalLine(value);
            break;
        case Closing::FoldersTotal:
            out_.tab();
            out_.columnStop(kFoldersTotalColumn);
            totalLine(value);
            dashLine();
            break;
        case Closing::UsedSpace:
            out_.columnStop(kUsedSpaceColumn);
            out_.tab();
            out_.write(totalText(value));
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
