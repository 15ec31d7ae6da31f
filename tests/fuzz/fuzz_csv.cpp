// The CSV report from any folder names (made safe as a run makes them) and sizes, read back with
// a reader of RFC 4180 of its own: the header row, then each folder's name and size as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <QBuffer>
#include <QStringList>
#include <cstdlib>
#include <optional>
#include <vector>

#include "listing/CsvFormat.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {

// One field from `at` on: quoted, with its quotes doubled, or plain (no quote, comma, CR or LF).
std::optional<QString> readField(const QString& text, qsizetype& at) {
    QString field;
    if (at < text.size() && text.at(at) == '"') {
        for (++at; at < text.size(); ++at) {
            if (text.at(at) != '"') {
                field += text.at(at);
            } else if (text.mid(at, 2) == QStringLiteral("\"\"")) {
                field += text.at(at++);
            } else {
                ++at;
                return field;
            }
        }
        return std::nullopt;  // no closing quote
    }
    while (at < text.size() && !QStringLiteral(",\"\r\n").contains(text.at(at))) {
        field += text.at(at++);
    }
    return field;
}

// The records of a CSV text, each ending in CR LF; nothing where the text breaks the grammar.
std::optional<std::vector<QStringList>> readCsv(const QString& text) {
    std::vector<QStringList> records;
    for (qsizetype at = 0; at < text.size();) {
        QStringList record;
        for (bool more = true; more;) {
            const std::optional<QString> field = readField(text, at);
            if (!field || (text.mid(at, 2) != QStringLiteral("\r\n") && text.mid(at, 1) != ",")) {
                return std::nullopt;
            }
            record << *field;
            more = text.at(at) == ',';
            at += more ? 1 : 2;
        }
        records.push_back(record);
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    std::vector<QStringList> rows{{QStringLiteral("folder"), QStringLiteral("bytes")}};
    {
        ReportWriter writer(buffer);
        CsvFormat csv(writer);
        csv.header(in.ConsumeRandomLengthString(100), in.ConsumeBool(), QDate(2026, 12, 6));
        while (in.remaining_bytes() > 0) {
            const std::string path = in.ConsumeRandomLengthString(300);
            const QString name = report::safeName(path);
            const bool readable = in.ConsumeBool();
            const auto bytes = in.ConsumeIntegral<std::uint64_t>();
            csv.folder({path, readable ? FolderSize::of(bytes) : FolderSize::unreadable()});
            // A name a spreadsheet would take for a formula is read back after an apostrophe.
            const bool formula =
                !name.isEmpty() &&
                CsvFormat::apostrophed(name[0], name.size() > 1 ? name[1] : QChar());
            rows.push_back(
                {formula ? "'" + name : name, readable ? QString::number(bytes) : QString()});
        }
        csv.closing(ReportSink::Closing::TreeTotal, 0);
    }
    if (readCsv(QString::fromUtf8(buffer.data())) != rows) {
        std::abort();
    }
    return 0;
}
