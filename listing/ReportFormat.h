#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>

#include "listing/ReportSink.h"

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
// A folder's size: one space and the grouped number, padded on the left to 14 characters.
QString sizeField(std::uint64_t bytes, const QLocale& locale);
// The size field of a folder whose size cannot be read.
QString blankSizeField();
// A total: the grouped number padded on the left to 17 characters.
QString totalField(std::uint64_t value, const QLocale& locale);
// Today's date as "Sunday - Dec 6, 2026", in the locale's language.
QString dateLine(const QDate& date, const QLocale& locale);
// A file name made safe for one report line: undecodable bytes become U+FFFD and control
// characters "?", so no name can break the line structure.
QString safeName(const std::string& name);
// A sub-folder's name as the one-level listing shows it: its first character in upper case, the
// rest in lower case.
QString displayName(const QString& safeName);

}  // namespace report

// The report as Dirtally has always written it: UTF-8 text with CR LF line ends, a header, one
// line per folder with its size at a fixed column, and a closing block.
class ReportFormat final : public ReportSink {
  public:
    ReportFormat(ReportWriter& out, const QLocale& locale);

    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const QString& name, const FolderSize& size) override;
    void closing(Closing block, std::uint64_t value) override;

  private:
    void dashLine();

    ReportWriter& out_;
    QLocale locale_;
    bool oneLevel_ = true;
};

}  // namespace dirtally
