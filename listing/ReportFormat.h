#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>

namespace dirtally::report {

inline constexpr int kSizeFieldWidth = 14;
inline constexpr int kTotalFieldWidth = 17;
inline constexpr char16_t kSeparator = u'/';
inline const QString kDashes = QStringLiteral("---------------");

// A number with the locale's thousands separator, also where the locale leaves it out by default.
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
// A sub-folder's name as the one-level listing shows it: first character in upper case, the rest
// in lower case.
QString displayName(const std::string& name);

}  // namespace dirtally::report
