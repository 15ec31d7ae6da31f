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

void CsvFormat::folder(const ListedFolder& listed) {
    out_.write(field(report::safeName(listed.path)) + QLatin1Char(','));
    if (listed.change && listed.change->kind == SizeChange::Kind::Gone) {
        out_.write(QStringLiteral("gone"));
    } else if (listed.size.readable) {
        out_.write(QString::number(listed.size.bytes));
    }
    if (listed.change) {
        // A plain number with its sign, as a spreadsheet reads it.
        out_.writeUtf8(",");
        out_.write(
            report::changeText(*listed.change, [](QLatin1StringView sign, std::uint64_t amount) {
                char text[24] = {};
                std::copy(sign.begin(), sign.end(), text);
                const char* end = std::to_chars(text + sign.size(), std::end(text), amount).ptr;
                return QString::fromLatin1(text, end - text);
            }));
    }
    out_.endLine();
}

// The total and the used space are the text report's; a spreadsheet sums the rows itself.
void CsvFormat::closing(Closing, std::uint64_t) {}

}  // namespace dirtally
