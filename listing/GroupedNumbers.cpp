#include "listing/GroupedNumbers.h"

#include <algorithm>
#include <charconv>

#include "listing/ReportFormat.h"

namespace dirtally::report {

GroupedNumbers::GroupedNumbers(const QLocale& locale)
    : locale_(locale), zero_(grouped(0, locale).toUcs4().front()) {}

const GroupedNumbers::Layout& GroupedNumbers::layout(int digits) {
    Layout& layout = layouts_[static_cast<std::size_t>(digits)];
    if (layout.isEmpty()) {
        std::uint64_t power = 1;
        for (int i = 1; i < digits; ++i) {
            power *= 10;
        }
        layout = grouped(power, locale_).toUcs4();
    }
    return layout;
}

QString GroupedNumbers::text(std::uint64_t value, qsizetype width, qsizetype leadingSpaces) {
    char digits[20];
    const char* end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    const Layout& shape = layout(static_cast<int>(end - digits));
    const qsizetype spaces = std::max(width - shape.size(), leadingSpaces);
    // Written in place: a piece appended at a time cost more than the digits.
    QString text(spaces + 2 * shape.size(), Qt::Uninitialized);
    QChar* out = std::fill_n(text.data(), spaces, QLatin1Char(' '));
    // The layout's digits are its leading one and zeros; everything else is the locale's own.
    const char* digit = digits;
    for (const char32_t c : shape) {
        const bool isDigit = c == zero_ || c == zero_ + 1;
        const auto units =
            QChar::fromUcs4(isDigit ? zero_ + static_cast<char32_t>(*digit++ - '0') : c);
        out = std::copy(units.chars, units.chars + units.size(), out);
    }
    text.truncate(out - text.constData());
    return text;
}

}  // namespace dirtally::report
