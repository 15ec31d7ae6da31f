#include "listing/CsvFormat.h"

#include <algorithm>
#include <charconv>

#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

namespace dirtally {

bool CsvFormat::apostrophed(QChar first, QChar second) {
    // Spreadsheets read a cell that starts with one of these as a formula, and a folder's name
    // is anybody's to choose: the apostrophe keeps it text, and a spreadsheet shows it not.
    static const QString kFormulaStart = QStringLiteral("=+-@\t\r");
    return kFormulaStart.contains(first) ||
           (first == QLatin1Char('\'') &&
            (second == QLatin1Char('\'') || kFormulaStart.contains(second)));
}

QString CsvFormat::field(const QString& text) {
    const bool formula =
        !text.isEmpty() && apostrophed(text.front(), text.size() > 1 ? text.at(1) : QChar());
    if (!formula && std::none_of(text.begin(), text.end(), [](QChar c) {
            return c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
                   c == QLatin1Char('\n');
        })) {
        return text;
    }
    QString quoted = formula ? QLatin1Char('\'') + text : text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void CsvFormat::compareWith(const Comparison&) {
    comparing_ = true;
}

void CsvFormat::header(const Path&, bool, const QDate&) {
    out_.write(comparing_ ? QStringLiteral("folder,bytes,change") : QStringLiteral("folder,bytes"));
    out_.endLine();
}

void CsvFormat::layOut(const ListedFolder& listed, QByteArray& line) {
    // Most names are printable ASCII with nothing to quote: their own field, in their own bytes.
    const Path& name = listed.path;
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return c >= 0x20 && c < 0x7f && c != ',' && c != '"'; }) &&
        (name.empty() ||
         !apostrophed(QLatin1Char(name[0]), name.size() > 1 ? QLatin1Char(name[1]) : QChar()))) {
        line.append(name.data(), static_cast<qsizetype>(name.size()));
    } else {
        line += field(report::safeName(name)).toUtf8();
    }
    line += ',';
    if (listed.change && listed.change->kind == SizeChange::Kind::Gone) {
        line += "gone";
    } else if (listed.size.readable) {
        char digits[20];
        line.append(
            digits,
            std::to_chars(std::begin(digits), std::end(digits), listed.size.bytes).ptr - digits);
    }
    if (listed.change) {
        // A plain number with its sign, as a spreadsheet reads it.
        line += ',';
        const QString text =
            report::changeText(*listed.change, [&](QLatin1StringView sign, std::uint64_t amount) {
                char digits[24];
                const char* end = std::to_chars(std::begin(digits), std::end(digits), amount).ptr;
                char* at = appended(line, sign.size() + (end - digits));
                std::copy(std::cbegin(digits), end, std::copy(sign.begin(), sign.end(), at));
                return QString();
            });
        line += text.toLatin1();
    }
    line += "\r\n";
}

void CsvFormat::writeLine(QByteArrayView line) {
    out_.writeLines(line);
}

// The total and the used space are the text report's; a spreadsheet sums the rows itself.
void CsvFormat::closing(Closing, std::uint64_t) {}

}  // namespace dirtally
