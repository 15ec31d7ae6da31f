// The CSV report read back: RFC 4180 records ending in CR LF under the header "folder,bytes", and
// any further columns (a comparison's "change") passed over.
#include <QList>

#include "listing/CsvFormat.h"
#include "listing/PreviousReport.h"

namespace dirtally::previous {

namespace {

struct Field {
    QByteArray bytes;
    bool quoted = false;
};

// Records of the report's bytes: the grammar's characters are all ASCII, so the text is split
// before it is decoded, field by field.
class CsvReader {
  public:
    explicit CsvReader(const QByteArray& bytes) : bytes_(bytes) {}

    bool atEnd() const { return at_ >= bytes_.size(); }
    qsizetype line() const { return line_; }

    // The next record; false, with the reason, where the bytes break the grammar.
    bool record(QList<Field>* fields, QString* why) {
        fields->clear();
        for (;;) {
            Field field;
            if (!readField(&field)) {
                *why = QStringLiteral("line %1: a quoted field has no closing quote").arg(line_);
                return false;
            }
            fields->append(field);
            if (is(at_, ',')) {
                ++at_;
            } else if (is(at_, '\r') && is(at_ + 1, '\n')) {
                at_ += 2;
                ++line_;
                return true;
            } else {
                *why = QStringLiteral("line %1: a field is not followed by a comma or CR LF")
                           .arg(line_);
                return false;
            }
        }
    }

  private:
    bool is(qsizetype at, char c) const { return at < bytes_.size() && bytes_.at(at) == c; }

    bool readField(Field* field) {
        const qsizetype start = at_;
        if (!is(at_, '"')) {
            while (at_ < bytes_.size() && !QByteArrayView(",\"\r\n").contains(bytes_.at(at_))) {
                ++at_;
            }
            field->bytes = bytes_.mid(start, at_ - start);
            return true;
        }
        field->quoted = true;
        for (qsizetype from = at_ + 1;;) {
            const qsizetype quote = bytes_.indexOf('"', from);
            if (quote < 0) {
                return false;
            }
            const QByteArrayView part = QByteArrayView(bytes_).sliced(from, quote - from);
            field->bytes += part;
            line_ += part.count('\n');
            if (!is(quote + 1, '"')) {
                at_ = quote + 1;
                return true;
            }
            field->bytes += '"';
            from = quote + 2;
        }
    }

    const QByteArray& bytes_;
    qsizetype at_ = 0;
    qsizetype line_ = 1;
};

// The apostrophe the writer puts before a quoted name (see CsvFormat::apostrophed) is not part of
// the name.
std::string nameOf(const Field& field) {
    const QByteArray& bytes = field.bytes;
    if (field.quoted && bytes.size() > 1 && bytes.at(0) == '\'' &&
        CsvFormat::apostrophed(QLatin1Char(bytes.at(1)),
                               bytes.size() > 2 ? QLatin1Char(bytes.at(2)) : QChar())) {
        return bytes.mid(1).toStdString();
    }
    return bytes.toStdString();
}

// The bytes column: a plain integer, empty where the size could not be read.
bool readSize(const QByteArray& text, FolderSize* size) {
    if (text.isEmpty()) {
        *size = FolderSize::unreadable();
        return true;
    }
    const bool digits =
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    bool ok = false;
    *size = FolderSize::of(text.toULongLong(&ok));
    return digits && ok;
}

// Why a row of the report cannot be read; nothing when it can.
std::optional<QString> rowError(const QList<Field>& fields, qsizetype columns) {
    if (fields.size() != columns) {
        return QStringLiteral("%1 fields, not %2").arg(fields.size()).arg(columns);
    }
    const std::optional<QString> name = utf8(fields[0].bytes);
    if (!name) {
        return QStringLiteral("the folder's name is not UTF-8");
    }
    if (std::optional<QString> error = shownNameError(*name)) {
        return error;
    }
    if (fields[0].bytes.isEmpty()) {
        return QStringLiteral("the folder's name is empty");
    }
    return std::nullopt;
}

}  // namespace

std::optional<PreviousReport> readCsv(const QByteArray& bytes, QString* why) {
    CsvReader reader(bytes);
    QList<Field> fields;
    if (!reader.record(&fields, why)) {
        return std::nullopt;
    }
    if (fields.size() < 2 || fields[0].bytes != "folder" || fields[1].bytes != "bytes") {
        *why = QStringLiteral("line 1: the header is not \"folder,bytes\"");
        return std::nullopt;
    }
    const qsizetype columns = fields.size();
    PreviousReport report;
    report.names = PreviousReport::Names::Shown;
    while (!reader.atEnd()) {
        const qsizetype line = reader.line();
        if (!reader.record(&fields, why)) {
            return std::nullopt;
        }
        if (const std::optional<QString> error = rowError(fields, columns)) {
            *why = QStringLiteral("line %1: %2").arg(line).arg(*error);
            return std::nullopt;
        }
        // A folder a comparison found gone is no folder of that report's tree.
        if (fields[1].bytes == "gone") {
            continue;
        }
        PreviousFolder folder{nameOf(fields[0]), {}};
        if (!readSize(fields[1].bytes, &folder.size)) {
            *why = QStringLiteral("line %1: the size \"%2\" is not a number of bytes")
                       .arg(line)
                       .arg(QString::fromUtf8(fields[1].bytes));
            return std::nullopt;
        }
        report.folders.push_back(std::move(folder));
    }
    return report;
}

}  // namespace dirtally::previous
