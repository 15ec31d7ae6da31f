// The text report read back: its header, one line per folder (a name too long for its column on
// a line of its own), and the closing block with the total.
#include <QRegularExpression>
#include <cstring>

#include "listing/PreviousReport.h"
#include "listing/ReportFormat.h"

namespace dirtally::previous {

namespace {

constexpr int kNameWidth = report::kSizeColumn - 1;  // a name's column, padded, before the TAB
const QString kDashes = QStringLiteral("---------------");

// Where a byte first is in a line, or -1. memchr takes a long line many bytes at a time, where
// Qt's search for one byte takes it a byte at a time.
qsizetype find(QByteArrayView line, char c) {
    const void* at = line.isEmpty()
                         ? nullptr
                         : std::memchr(line.data(), c, static_cast<std::size_t>(line.size()));
    return at ? static_cast<const char*>(at) - line.data() : -1;
}

// Code points of valid UTF-8: every byte but those that continue one.
qsizetype codePoints(QByteArrayView utf8) {
    return std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xc0) != 0x80; });
}

// The report's lines, each of which must end in CR LF: as bytes where they are folder lines, the
// most of them, and decoded where they are more.
class TextLines {
  public:
    explicit TextLines(Lines& lines) : lines_(lines) {}

    qsizetype number() const { return lines_.number(); }
    bool atEnd() { return lines_.ahead(1).isEmpty(); }

    // The next line's bytes, valid UTF-8 without its CR LF; false, with the reason, when there is
    // none or it is not a line of text.
    bool next(QByteArrayView* line, QString* why) {
        QByteArrayView bytes;
        const bool got = lines_.next(&bytes);
        const bool whole = got && bytes.endsWith('\n') && bytes.chopped(1).endsWith('\r');
        *line = whole ? bytes.chopped(2) : QByteArrayView();
        const char* wrong = !got || (!whole && !bytes.endsWith('\n')) ? "the report ends early"
                            : !whole || find(*line, '\r') >= 0        ? "a lone line break"
                            : !QUtf8StringView(*line).isValidUtf8()   ? "not UTF-8 text"
                                                                      : nullptr;
        if (wrong) {
            *why = QStringLiteral("line %1: %2")
                       .arg(lines_.number() + (got ? 0 : 1))
                       .arg(QLatin1String(wrong));
        }
        return !wrong;
    }
    bool next(QString* line, QString* why) {
        QByteArrayView bytes;
        if (!next(&bytes, why)) {
            return false;
        }
        *line = *utf8(bytes);
        return true;
    }

  private:
    Lines& lines_;
};

// The header's seven lines: the program, the date and the folder with the mode.
bool readHeader(TextLines& lines, PreviousReport* report, QString* why) {
    QString line[7];
    for (QString& each : line) {
        if (!lines.next(&each, why)) {
            return false;
        }
    }
    // The folder, "(no subs)" for the whole tree, and what is counted where it is not what the
    // window counts.
    static const QRegularExpression kPathLine(QStringLiteral(
        R"(^Path - (.*?)  (\(no subs\) ?)?(?:\(((?:disk usage|links once|one file system|excluding: ).*)\))?$)"));
    const QRegularExpressionMatch path = kPathLine.match(line[5]);
    if (!line[0].isEmpty() || !line[1].startsWith(QStringLiteral("Dirtally by ")) ||
        !line[2].isEmpty() || !line[4].isEmpty() || !path.hasMatch() || !line[6].isEmpty()) {
        *why = QStringLiteral("lines 1 to 7: not the header of a report of Dirtally");
        return false;
    }
    const QString format = QStringLiteral("dddd - MMM d, yyyy");
    for (const QLocale& locale : {QLocale(), QLocale::c()}) {
        // A comparison's report names the previous report's date after its own.
        const QString today = line[3].section(QStringLiteral("  (compared with "), 0, 0);
        if (const QDate date = locale.toDate(today, format); date.isValid()) {
            report->date = date;
            break;
        }
    }
    report->folder = pathFromText(path.captured(1));
    report->oneLevel = path.captured(2).isEmpty();
    report->counted = path.captured(3);
    return true;
}

// Why a folder's name cannot be read back as the name of one folder only; nothing when it can.
std::optional<QString> nameError(QByteArrayView name) {
    if (name.isEmpty()) {
        return QStringLiteral("a size without a folder");
    }
    const QString text = *utf8(name);
    if (std::optional<QString> error = shownNameError(text)) {
        return error;
    }
    if (name.contains('?') || name.contains("\uFFFD")) {
        return QStringLiteral(
                   "the name \"%1\" may stand for several folders: the report shows characters "
                   "it cannot show as \"?\" or \"\uFFFD\"; compare with a JSON report instead")
            .arg(text);
    }
    return std::nullopt;
}

// Whether a name holds what a report cannot show exactly, which nameError tells: one pass over
// its bytes, U+FFFD looked for only where its first byte is.
bool doubtful(QByteArrayView name) {
    bool marked = false;
    for (const char c : name) {
        marked = marked || c == '?' || c == '\xef' || (c >= 0 && c < ' ') || c == '\x7f';
    }
    return name.isEmpty() || (marked && (name.contains('?') || name.contains("\uFFFD") ||
                                         std::any_of(name.begin(), name.end(), [](char c) {
                                             return (c >= 0 && c < ' ') || c == '\x7f';
                                         })));
}

QByteArrayView withoutTrailingSpaces(QByteArrayView name) {
    // Most of a folder's line is its name's padding: eight spaces at a time.
    static constexpr char kEight[] = "        ";
    while (name.size() >= 8 && std::memcmp(name.end() - 8, kEight, 8) == 0) {
        name.chop(8);
    }
    while (name.endsWith(' ')) {
        name.chop(1);
    }
    return name;
}

QByteArray dashLine() {
    return QByteArray(report::kDashColumn - 1, ' ') + '\t' + kDashes.toLatin1();
}

// One folder's line, after the line that held its name where that was too long for the column;
// why it cannot be read, nothing when it can.
std::optional<QString> readFolderLine(QByteArrayView line, qsizetype tab, QByteArrayView longName,
                                      PreviousReport* report) {
    const QByteArrayView padded = line.first(std::max<qsizetype>(tab, 0));
    const QByteArrayView shortName = withoutTrailingSpaces(padded);
    // The padding is spaces, a code point each.
    const qsizetype width = codePoints(shortName) + padded.size() - shortName.size();
    if (tab < 0 || width != kNameWidth ||
        (!longName.isEmpty() && (codePoints(longName) < kNameWidth + 1 || !shortName.isEmpty()))) {
        return QStringLiteral("not a folder's line");
    }
    const QByteArrayView name = longName.isEmpty() ? shortName : withoutTrailingSpaces(longName);
    if (doubtful(name)) {
        return nameError(name);
    }
    QByteArrayView field = line.sliced(tab + 1);
    const qsizetype nextTab = find(field, '\t');
    field = field.first(nextTab < 0 ? field.size() : nextTab);
    // Right-aligned: spaces first, many of them, which trimmed() would look at one by one.
    while (field.startsWith(' ')) {
        field = field.sliced(1);
    }
    field = field.trimmed();
    // A folder a comparison found gone is no folder of that report's tree.
    if (field == "gone") {
        return std::nullopt;
    }
    if (field.isEmpty()) {
        report->folders.add({name.data(), static_cast<std::size_t>(name.size())},
                            FolderSize::unreadable());
    } else if (const std::optional<std::uint64_t> bytes = groupedNumber(field)) {
        report->folders.add({name.data(), static_cast<std::size_t>(name.size())},
                            FolderSize::of(*bytes));
    } else if (field.size() > 1 && QByteArrayView("KMGTPE").contains(field.back())) {
        // A cron job that compares with the report it replaces would be refused every run.
        return QStringLiteral(
                   "the size \"%1\" is rounded (--human-readable); compare with a "
                   "report written without --human-readable, or as CSV or JSON")
            .arg(*utf8(field));
    } else {
        return QStringLiteral("the size \"%1\" is not a number of bytes").arg(*utf8(field));
    }
    return std::nullopt;
}

// The folder lines, up to the dash line that starts the closing block.
bool readFolders(TextLines& lines, PreviousReport* report, QString* why) {
    const QByteArray dashes = dashLine();
    // The line before, where it held a name too long for its column.
    QByteArray longName;
    for (QByteArrayView line; lines.next(&line, why);) {
        if (longName.isEmpty() && line == dashes) {
            return true;
        }
        const qsizetype tab = find(line, '\t');
        if (longName.isEmpty() && tab < 0) {
            longName = line.toByteArray();
            continue;
        }
        if (const auto error = readFolderLine(line, tab, std::exchange(longName, {}), report)) {
            *why = QStringLiteral("line %1: %2").arg(lines.number()).arg(*error);
            return false;
        }
    }
    return false;
}

// The closing block: the total of the folders (or the used space, which is no total of theirs),
// and nothing after it.
bool readClosing(TextLines& lines, PreviousReport* report, QString* why) {
    QString line;
    if (!lines.next(&line, why)) {
        return false;
    }
    const QStringList parts = line.split(QLatin1Char('\t'));
    const bool foldersTotal = parts[0].isEmpty();
    const bool treeTotal = parts[0] == QString(report::kTreeTotalColumn - 1, QLatin1Char(' '));
    const bool usedSpace = parts[0] == QString(report::kUsedSpaceColumn - 1, QLatin1Char(' '));
    const std::optional<std::uint64_t> total =
        parts.size() == 2 || parts.size() == 3 ? groupedNumber(parts[1]) : std::nullopt;
    if (!(foldersTotal || treeTotal || usedSpace) || !total) {
        *why = QStringLiteral("line %1: not the report's total").arg(lines.number());
        return false;
    }
    if (!usedSpace) {
        report->total = total;
    }
    if (foldersTotal && !(lines.next(&line, why) && line == QString::fromLatin1(dashLine()))) {
        *why = QStringLiteral("line %1: not the dash line under the total").arg(lines.number());
        return false;
    }
    if (!lines.atEnd()) {
        *why = QStringLiteral("line %1: more after the total").arg(lines.number() + 1);
        return false;
    }
    return true;
}

}  // namespace

std::optional<PreviousReport> readText(Lines& source, QString* why) {
    TextLines lines(source);
    PreviousReport report;
    report.names = PreviousReport::Names::Lined;
    if (!readHeader(lines, &report, why) || !readFolders(lines, &report, why) ||
        !readClosing(lines, &report, why)) {
        return std::nullopt;
    }
    return report;
}

}  // namespace dirtally::previous
