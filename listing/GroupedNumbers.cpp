#include "listing/GroupedNumbers.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

namespace dirtally::report {

namespace {

QByteArray utf8(char32_t c) {
    const auto units = QChar::fromUcs4(c);
    return QStringView(units.chars, units.size()).toUtf8();
}

}  // namespace

GroupedNumbers::GroupedNumbers(const QLocale& locale)
    : locale_(locale), zero_(grouped(0, locale).toUcs4().front()) {
    for (char32_t d = 0; d < 10; ++d) {
        const QByteArray digit = utf8(zero_ + d);
        digitBytes_ = digit.size();
        std::copy(digit.begin(), digit.end(), digits_[d].begin());
    }
}

GroupedNumbers::Layout GroupedNumbers::askedLayout(int digits) const {
    std::uint64_t power = 1;
    for (int i = 1; i < digits; ++i) {
        power *= 10;
    }
    // Everything but the leading one and the zeros is the locale's own.
    Layout layout;
    for (const char32_t c : grouped(power, locale_).toUcs4()) {
        if (c == zero_ || c == zero_ + 1) {
            layout.digits.append(layout.utf8.size());
        }
        layout.utf8 += utf8(c);
        ++layout.characters;
    }
    return layout;
}

QString GroupedNumbers::text(std::uint64_t value, qsizetype width, qsizetype leadingSpaces) {
    QByteArray text;
    append(text, value, width, leadingSpaces);
    return QString::fromUtf8(text);
}

// Written in place: a piece appended at a time cost more than the digits.
void GroupedNumbers::append(QByteArray& out, std::uint64_t value, qsizetype width,
                            qsizetype leadingSpaces) {
    char digits[20];
    const char* end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    const Layout& shape = layout(static_cast<int>(end - digits));
    const qsizetype spaces = std::max(width - shape.characters, leadingSpaces);
    char* text = std::fill_n(appended(out, spaces + shape.utf8.size()), spaces, ' ');
    std::memcpy(text, shape.utf8.constData(), static_cast<std::size_t>(shape.utf8.size()));
    const char* digit = digits;
    for (const qsizetype offset : shape.digits) {
        const std::array<char, 4>& bytes = digits_[static_cast<std::size_t>(*digit++ - '0')];
        for (qsizetype i = 0; i < digitBytes_; ++i) {
            text[offset + i] = bytes[static_cast<std::size_t>(i)];
        }
    }
}

}  // namespace dirtally::report
