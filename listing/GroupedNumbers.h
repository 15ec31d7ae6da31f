#pragma once

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>

namespace dirtally::report {

// Numbers as report::grouped writes them, for a report's many lines: the locale is asked once
// per number of digits for where its separators go, then each number's digits are put in place.
// Asking the locale for every number (it queries the system each time) cost more than the rest
// of a report line.
class GroupedNumbers {
  public:
    explicit GroupedNumbers(const QLocale& locale);

    // The number padded on the left with spaces to `width` characters (code points), with at
    // least `leadingSpaces` of them.
    QString text(std::uint64_t value, qsizetype width = 0, qsizetype leadingSpaces = 0);
    // The same text appended to `out` in UTF-8, as a report line is laid out.
    void append(QByteArray& out, std::uint64_t value, qsizetype width = 0,
                qsizetype leadingSpaces = 0);

  private:
    // The locale's own text of 10^(digits - 1) in UTF-8, its characters, and where its digits
    // (the leading one and the zeros) start.
    struct Layout {
        QByteArray utf8;
        qsizetype characters = 0;
        QList<qsizetype> digits;
    };
    const Layout& layout(int digits) {
        Layout& shape = layouts_[static_cast<std::size_t>(digits)];
        if (shape.utf8.isEmpty()) {
            shape = askedLayout(digits);
        }
        return shape;
    }
    Layout askedLayout(int digits) const;

    QLocale locale_;
    char32_t zero_;
    // The locale's ten digits in UTF-8: one block of ten code points, all of one length.
    std::array<std::array<char, 4>, 10> digits_{};
    qsizetype digitBytes_ = 1;
    std::array<Layout, 21> layouts_;  // by number of digits; empty until first needed
};

}  // namespace dirtally::report
