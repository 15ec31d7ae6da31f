#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>

#include "listing/GroupedNumbers.h"
#include "listing/LineFormat.h"
#include "platform/system/Counting.h"

namespace dirtally {

class ReportWriter;

namespace report {

// The columns, counted from 1, at which the report's items start (see ReportWriter::columnStop).
inline constexpr int kSizeColumn = 83;          // a folder line's TAB, then its size
inline constexpr int kDashColumn = 82;          // the TAB before a dash line's hyphens
inline constexpr int kTreeTotalColumn = 80;     // the TAB before the total of a whole tree
inline constexpr int kFoldersTotalColumn = 78;  // the one-level total, after a leading TAB
inline constexpr int kUsedSpaceColumn = 82;     // the TAB before the file system's used space

inline constexpr int kSizeFieldWidth = 14;
inline constexpr int kTotalFieldWidth = 17;

// The locale with its thousands separator shown, also where it leaves it out by default.
QLocale withGroups(const QLocale& locale);
// A number with the locale's thousands separator (see withGroups).
QString grouped(std::uint64_t value, const QLocale& locale);
// A size as du -h writes it: below 1024 the bytes, else powers of 1024 with a suffix (K, M, G,
// T, P, E), one decimal below 10, rounded up: "0", "1023", "1.0K", "4.2G", "512K".
QString humanSize(std::uint64_t bytes);
// Appends a folder's size in UTF-8: one space and the grouped number, padded on the left to 14
// characters; where the size cannot be read, the field blank.
void sizeField(QByteArray& line, const FolderSize& size, GroupedNumbers& numbers);
// A total: the grouped number padded on the left to 17 characters.
QString totalField(std::uint64_t value, GroupedNumbers& numbers);
// Today's date as "Sunday - Dec 6, 2026", in the locale's language.
QString dateLine(const QDate& date, const QLocale& locale);
// A folder's change since a previous report: "+1,234,567", "-42", "0", "new" for a folder that
// report did not hold, empty where it is not known. `amount` writes the amount in the report's
// unit after its sign ("+", "-", or "" where nothing changed); a format that lays it out in its
// line's own bytes returns nothing. Inline, since a report calls it for each of its lines.
template <typename Amount>
QString changeText(const SizeChange& change, Amount&& amount) {
    if (change.kind == SizeChange::Kind::New) {
        return QStringLiteral("new");
    }
    if (!change.amount) {
        return QString();
    }
    const QLatin1StringView sign(*change.amount == 0 ? "" : change.shrank ? "-" : "+");
    return amount(sign, *change.amount);
}
// What a report counts, as its path line says it after the folder: "disk usage, links once,
// one file system, excluding: *.tmp"; empty for what the window counts.
QString countedWords(const Counting& counting);
// A file name made safe for one report line: undecodable bytes become U+FFFD and control
// characters "?", so no name can break the line structure.
QString safeName(const std::string& name);
// A sub-folder's name as the one-level listing shows it: its first character in upper case, the
// rest in lower case.
QString displayName(QString safeName);
// Appends a name to a report line in UTF-8, as safeName shows it, and as displayName where
// `display`, then the spaces to the line's TAB at `column` and the TAB; with column 0, the TAB
// right after the name.
void appendName(QByteArray& line, const std::string& name, bool display, int column);

}  // namespace report

// The report as Dirtally has always written it: UTF-8 text with CR LF line ends, a header, one
// line per folder with its size at a fixed column, and a closing block.
class ReportFormat final : public LineFormat {
  public:
    // humanReadable: sizes and the total as humanSize writes them, in the same columns.
    ReportFormat(ReportWriter& out, const QLocale& locale, const Counting& counting = {},
                 bool humanReadable = false);

    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const ListedFolder& listed) override;
    // A held line leaves out the spaces before its size's TAB, most of its bytes; they are put
    // back when it is written.
    void layOut(const ListedFolder& listed, QByteArray& line) override;
    void writeLine(QByteArrayView line) override;
    void closing(Closing block, std::uint64_t value) override;
    // The date line names the previous report's date; each folder line and the total gain their
    // change after a TAB, and a gone folder "gone" in place of its size.
    void compareWith(const Comparison& comparison) override;

  private:
    void dashLine();
    void totalLine(std::uint64_t value);
    void lineOf(const ListedFolder& listed, QByteArray& line, int sizeColumn);
    void appendSize(QByteArray& line, const FolderSize& size);
    QString totalText(std::uint64_t value);
    void appendChange(QByteArray& line, const SizeChange& change);

    ReportWriter& out_;
    QLocale locale_;
    report::GroupedNumbers numbers_;
    Counting counting_;
    bool humanReadable_;
    bool oneLevel_ = true;
    const Comparison* comparison_ = nullptr;
};

}  // namespace dirtally
