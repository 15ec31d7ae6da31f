// The text report read back: its header, one line per folder (a name too long for its column on
// a line of its own), and the closing block with the total.
#include <QRegularExpression>

#include "listing/PreviousReport.h"
#include "listing/ReportFormat.h"

namespace dirtally::previous {

namespace {

constexpr int kNameWidth = report::kSizeColumn - 1;  // a name's column, padded, before the TAB
const QString kDashes = QStringLiteral("---------------");

qsizetype codePoints(const QString& text) {
    return text.size() -
           std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLowSurrogate(); });
}

// The report's lines, decoded one by one; each must end in CR LF.
class Lines {
  public:
    explicit Lines(const QByteArray& bytes) : bytes_(bytes) {}

    qsizetype number() const { return number_; }
    bool atEnd() const { return at_ >= bytes_.size(); }

    // The next line; false, with the reason, when there is none or it is not a line of text.
    bool next(QString* line, QString* why) {
        ++number_;
        const qsizetype end = bytes_.indexOf("\r\n", at_);
        const QByteArrayView bytes =
            end < 0 ? QByteArrayView() : QByteArrayView(bytes_).sliced(at_, end - at_);
        at_ = end < 0 ? bytes_.size() : end + 2;
        const std::optional<QString> text = end < 0 ? std::nullopt : utf8(bytes);
        const char* wrong = end < 0                                        ? "the report ends early"
                            : !text                                        ? "not UTF-8 text"
                            : bytes.contains('\r') || bytes.contains('\n') ? "a lone line break"
                                                                           : nullptr;
        if (wrong) {
            *why = QStringLiteral("line %1: %2").arg(number_).arg(QLatin1String(wrong));
            return false;
        }
        *line = *text;
        return true;
    }

  private:
    const QByteArray& bytes_;
    qsizetype at_ = 0;
    qsizetype number_ = 0;
};

// The header's seven lines: the program, the date and the folder with the mode.
bool readHeader(Lines& lines, PreviousReport* report, QString* why) {
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
std::optional<QString> nameError(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("a size without a folder");
    }
    if (std::optional<QString> error = shownNameError(name)) {
        return error;
    }
    if (name.contains(QLatin1Char('?')) || name.contains(QChar::ReplacementCharacter)) {
        return QStringLiteral(
                   "the name \"%1\" may stand for several folders: the report shows characters "
                   "it cannot show as \"?\" or \"\uFFFD\"; compare with a JSON report instead")
            .arg(name);
    }
    return std::nullopt;
}

QString dashLine() {
    return QString(report::kDashColumn - 1, QLatin1Char(' ')) + QLatin1Char('\t') + kDashes;
}

// One folder's line, after the line that held its name where that was too long for the column;
// why it cannot be read, nothing when it can.
std::optional<QString> readFolderLine(const QString& line, const QString& longName,
                                      PreviousReport* report) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    QString name = line.left(tab);
    if (tab < 0 || codePoints(name) != kNameWidth ||
        (!longName.isEmpty() &&
         (codePoints(longName) < kNameWidth + 1 || !name.trimmed().isEmpty()))) {
        return QStringLiteral("not a folder's line");
    }
    if (!longName.isEmpty()) {
        name = longName;
    }
    while (name.endsWith(QLatin1Char(' '))) {
        name.chop(1);
    }
    if (std::optional<QString> error = nameError(name)) {
        return error;
    }
    const QString field = line.mid(tab + 1).section(QLatin1Char('\t'), 0, 0);
    // A folder a comparison found gone is no folder of that report's tree.
    if (field.trimmed() == QStringLiteral("gone")) {
        return std::nullopt;
    }
    FolderSize size;
    if (field.trimmed().isEmpty()) {
        size = FolderSize::unreadable();
    } else if (const std::optional<std::uint64_t> bytes = groupedNumber(field)) {
        size = FolderSize::of(*bytes);
    } else {
        return QStringLiteral("the size \"%1\" is not a number of bytes").arg(field.trimmed());
    }
    report->folders.push_back({name.toStdString(), size});
    return std::nullopt;
}

// The folder lines, up to the dash line that starts the closing block.
bool readFolders(Lines& lines, PreviousReport* report, QString* why) {
    QString longName;
    for (QString line; lines.next(&line, why);) {
        if (longName.isEmpty() && line == dashLine()) {
            return true;
        }
        if (longName.isEmpty() && !line.contains(QLatin1Char('\t'))) {
            longName = line;
            continue;
        }
        if (const auto error = readFolderLine(line, std::exchange(longName, QString()), report)) {
            *why = QStringLiteral("line %1: %2").arg(lines.number()).arg(*error);
            return false;
        }
    }
    return false;
}

// The closing block: the total of the folders (or the used space, which is no total of theirs),
// and nothing after it.
bool readClosing(Lines& lines, PreviousReport* report, QString* why) {
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
    if (foldersTotal && !(lines.next(&line, why) && line == dashLine())) {
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

std::optional<PreviousReport> readText(const QByteArray& bytes, QString* why) {
    Lines lines(bytes);
    PreviousReport report;
    report.names = PreviousReport::Names::Lined;
    if (!readHeader(lines, &report, why) || !readFolders(lines, &report, why) ||
        !readClosing(lines, &report, why)) {
        return std::nullopt;
    }
    return report;
}

}  // namespace dirtally::previous
