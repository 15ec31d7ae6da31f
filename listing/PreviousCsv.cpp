// The CSV report read back: RFC 4180 records ending in CR LF under the header "folder,bytes", and
// any further columns (a comparison's "change") passed over. The grammar's characters are all
// ASCII, so the bytes are split before a name is decoded, and a field is copied only where it
// holds a doubled quote.
#include <charconv>

#include "listing/CsvFormat.h"
#include "listing/PreviousReport.h"

namespace dirtally::previous {

namespace {

struct Field {
    QByteArray bytes;  // where it has no doubled quote, the record's own bytes
    bool quoted = false;
};

// The next record: lines up to one that ends outside quotes, since a quoted field may hold line
// breaks. Its bytes are `line`'s own where it is one line, else gathered in `gathered`.
bool nextRecord(Lines& lines, QByteArray* gathered, QByteArrayView* record) {
    QByteArrayView line;
    if (!lines.next(&line)) {
        return false;
    }
    *record = line;
    if (line.contains('"') && line.count('"') % 2 != 0) {
        *gathered = line.toByteArray();
        for (qsizetype quotes = line.count('"'); quotes % 2 != 0 && lines.next(&line);) {
            gathered->append(line);
            quotes += line.count('"');
        }
        *record = *gathered;
    }
    return true;
}

// One field from `at` on, quoted or plain (no quote, comma, CR or LF); false where a quote is not
// closed.
bool readField(QByteArrayView record, qsizetype* at, Field* field) {
    qsizetype end = *at;
    if (end >= record.size() || record.at(end) != '"') {
        const auto special = [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; };
        while (end < record.size() && !special(record.at(end))) {
            ++end;
        }
        field->bytes = QByteArray::fromRawData(record.data() + *at, end - *at);
        field->quoted = false;
        *at = end;
        return true;
    }
    bool doubled = false;
    for (end = *at + 1;; end += 2, doubled = true) {
        end = record.indexOf('"', end);
        if (end < 0) {
            return false;
        }
        if (end + 1 >= record.size() || record.at(end + 1) != '"') {
            break;
        }
    }
    const QByteArrayView inner = record.sliced(*at + 1, end - *at - 1);
    field->bytes = doubled ? inner.toByteArray().replace("\"\"", "\"")
                           : QByteArray::fromRawData(inner.data(), inner.size());
    field->quoted = true;
    *at = end + 1;
    return true;
}

// A record's fields; false, with the reason, where its bytes break the grammar.
bool fieldsOf(QByteArrayView record, std::vector<Field>* fields, QString* reason) {
    fields->clear();
    for (qsizetype at = 0;;) {
        Field& field = fields->emplace_back();
        if (!readField(record, &at, &field)) {
            *reason = QStringLiteral("a quoted field has no closing quote");
            return false;
        }
        if (at < record.size() && record.at(at) == ',') {
            ++at;
        } else if (record.sliced(at) == "\r\n") {
            return true;
        } else {
            *reason = QStringLiteral("a field is not followed by a comma or CR LF");
            return false;
        }
    }
}

// The apostrophe the writer puts before a quoted name (see CsvFormat::apostrophed) is not part of
// the name.
QByteArrayView nameOf(const Field& field) {
    const QByteArray& bytes = field.bytes;
    if (field.quoted && bytes.size() > 1 && bytes.at(0) == '\'' &&
        CsvFormat::apostrophed(QLatin1Char(bytes.at(1)),
                               bytes.size() > 2 ? QLatin1Char(bytes.at(2)) : QChar())) {
        return QByteArrayView(bytes).sliced(1);
    }
    return bytes;
}

// The bytes column: a plain integer, empty where the size could not be read.
bool readSize(const QByteArray& text, FolderSize* size) {
    if (text.isEmpty()) {
        *size = FolderSize::unreadable();
        return true;
    }
    std::uint64_t bytes = 0;
    const auto [end, error] = std::from_chars(text.begin(), text.end(), bytes);
    *size = FolderSize::of(bytes);
    return error == std::errc() && end == text.end();
}

// Why a row of the report cannot be read; nothing when it can.
std::optional<QString> rowError(const std::vector<Field>& fields, std::size_t columns) {
    if (fields.size() != columns) {
        return QStringLiteral("%1 fields, not %2").arg(fields.size()).arg(columns);
    }
    const QByteArray& name = fields[0].bytes;
    // Most names are printable ASCII, which needs no more checking.
    unsigned char high = 0;
    bool control = false;
    for (const char c : name) {
        high |= static_cast<unsigned char>(c);
        control = control || (c >= 0 && c < ' ') || c == '\x7f';
    }
    if (high >= 0x80 && !QUtf8StringView(name).isValidUtf8()) {
        return QStringLiteral("the folder's name is not UTF-8");
    }
    if (control) {
        return shownNameError(*utf8(name));
    }
    if (name.isEmpty()) {
        return QStringLiteral("the folder's name is empty");
    }
    return std::nullopt;
}

}  // namespace

std::optional<PreviousReport> readCsv(Lines& lines, QString* why) {
    QByteArray gathered;
    QByteArrayView record;
    std::vector<Field> fields;
    QString reason;
    nextRecord(lines, &gathered, &record);
    if (!fieldsOf(record, &fields, &reason)) {
        *why = QStringLiteral("line 1: %1").arg(reason);
        return std::nullopt;
    }
    if (fields.size() < 2 || fields[0].bytes != "folder" || fields[1].bytes != "bytes") {
        *why = QStringLiteral("line 1: the header is not \"folder,bytes\"");
        return std::nullopt;
    }
    const std::size_t columns = fields.size();
    PreviousReport report;
    report.names = PreviousReport::Names::Shown;
    for (qsizetype line = lines.number() + 1; nextRecord(lines, &gathered, &record);
         line = lines.number() + 1) {
        std::optional<QString> error =
            fieldsOf(record, &fields, &reason) ? rowError(fields, columns) : reason;
        FolderSize size;
        // A folder a comparison found gone is no folder of that report's tree.
        if (!error && fields[1].bytes == "gone") {
            continue;
        }
        if (!error && !readSize(fields[1].bytes, &size)) {
            error = QStringLiteral("the size \"%1\" is not a number of bytes")
                        .arg(QString::fromUtf8(fields[1].bytes));
        }
        if (error) {
            *why = QStringLiteral("line %1: %2").arg(line).arg(*error);
            return std::nullopt;
        }
        const QByteArrayView name = nameOf(fields[0]);
        report.folders.add({name.data(), static_cast<std::size_t>(name.size())}, size);
    }
    return report;
}

}  // namespace dirtally::previous
