#include "listing/JsonFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUtf8StringView>
#include <algorithm>
#include <charconv>
#include <string_view>

#include "VersionInfo.h"
#include "listing/Comparison.h"
#include "listing/ReportWriter.h"
#include "platform/system/SystemError.h"

namespace dirtally {

namespace {

// A JSON string of any text, escaped by Qt's own JSON writer: an array of the one string,
// written compact, is "[" + the string + "]".
QByteArray string(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray strings(const std::vector<std::string>& texts) {
    QJsonArray array;
    for (const std::string& text : texts) {
        array.append(pathToText(text));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// The members of one object in the order they are added (a QJsonObject sorts its keys).
class Members {
  public:
    Members& add(const char* key, const QByteArray& value) {
        text_ += (text_.isEmpty() ? "" : ",") + string(QString::fromLatin1(key)) + ':' + value;
        return *this;
    }
    Members& add(const char* key, const QString& value) { return add(key, string(value)); }
    // The path's text, and beside it its bytes in base64 where the text does not keep them all.
    Members& addPath(const char* key, const Path& path) {
        const QString text = pathToText(path);
        add(key, text);
        const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
        if (text.toUtf8() != bytes) {
            add((std::string(key) + "_bytes").c_str(), QString::fromLatin1(bytes.toBase64()));
        }
        return *this;
    }
    const QByteArray& members() const { return text_; }
    QByteArray object() const { return '{' + text_ + '}'; }

  private:
    QByteArray text_;
};

QByteArray number(const std::optional<std::uint64_t>& value) {
    return value ? QByteArray::number(static_cast<qulonglong>(*value)) : QByteArray("null");
}

// The change in bytes, negative where the size shrank; a new folder grew by all it holds.
QByteArray signedChange(const SizeChange& change) {
    return (change.shrank && change.amount ? "-" : "") + number(change.amount);
}

// A member of a folder's line: its key, a JSON name that needs no escaping, and its value. Laid
// out in one piece: appended a part at a time, the members cost more than the rest of the line.
void append(QByteArray& line, std::string_view key, QByteArrayView value) {
    char* at = appended(line, static_cast<qsizetype>(key.size()) + 4 + value.size());
    at = std::copy_n(",\"", 2, at);
    at = std::copy(key.begin(), key.end(), at);
    at = std::copy_n("\":", 2, at);
    std::copy(value.begin(), value.end(), at);
}

// A number of bytes, negative where it is a shrinking, null where it is not known.
void append(QByteArray& line, std::string_view key, const std::optional<std::uint64_t>& value,
            bool negative = false) {
    char digits[24] = "-";
    const auto end = std::to_chars(digits + 1, std::end(digits), value.value_or(0)).ptr;
    append(line, key,
           value ? QByteArrayView(digits + (negative ? 0 : 1), end) : QByteArrayView("null"));
}

// The JSON string of a path: Qt's writer escapes, but a path of printable ASCII without a quote
// or a backslash is its own string, and most are.
QByteArray pathString(const Path& path) {
    if (std::all_of(path.begin(), path.end(),
                    [](char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; })) {
        QByteArray quoted(static_cast<qsizetype>(path.size()) + 2, '"');
        std::copy(path.begin(), path.end(), quoted.begin() + 1);
        return quoted;
    }
    return string(pathToText(path));
}

}  // namespace

void JsonFormat::compareWith(const Comparison& comparison) {
    comparison_ = &comparison;
}

void JsonFormat::header(const Path& folder, bool oneLevel, const QDate& today) {
    Members counted;
    counted
        .add("size",
             counting_.diskUsage ? QStringLiteral("disk-usage") : QStringLiteral("apparent"))
        .add("links", counting_.linksOnce ? QStringLiteral("once") : QStringLiteral("each"))
        .add("one_file_system", counting_.oneFileSystem ? QByteArray("true") : QByteArray("false"))
        .add("exclude", strings(counting_.exclude));
    Members start;
    start.add("program", QStringLiteral("dirtally-report"))
        .add("version", QStringLiteral("%1.%2.%3")
                            .arg(version::major)
                            .arg(version::minor)
                            .arg(version::revision))
        .addPath("folder", folder)
        .add("date", today.toString(Qt::ISODate))
        .add("mode", oneLevel ? QStringLiteral("one-level") : QStringLiteral("all"))
        .add("counted", counted.object());
    if (comparison_) {
        const std::optional<QDate>& then = comparison_->previous().date;
        start.add("previous_date", then ? string(then->toString(Qt::ISODate)) : "null");
        if (comparison_->previous().none) {
            start.add("first_report", QByteArray("true"));
        }
    }
    // The object stays open for the folders, written one by one as they are sized.
    out_.write(QString::fromUtf8('{' + start.members() + ",\"folders\":["));
    out_.endLine();
}

void JsonFormat::writeLine(QByteArrayView line) {
    if (!first_) {
        out_.writeUtf8(",");
    }
    out_.writeLines(line);
    first_ = false;
}

// A million folders' lines take one JSON string each from Qt's writer (a QJsonArray kept from
// line to line would keep every string it held).
void JsonFormat::layOut(const ListedFolder& listed, QByteArray& line) {
    const QByteArray escaped = pathString(listed.path);
    const QByteArrayView path = escaped;
    line.append("{\"path\":").append(path);
    if (!QUtf8StringView(listed.path).isValidUtf8()) {
        const QByteArray bytes(listed.path.data(), static_cast<qsizetype>(listed.path.size()));
        append(line, "path_bytes", '"' + bytes.toBase64() + '"');
    }
    // The folder's name is the path's last part: Qt escapes a string character by character and
    // leaves "/" as it is, so the name's string is the path's from its last "/" on.
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        append(line, "name", path);
    } else {
        append(line, "name", "\"");
        line.append(path.sliced(slash + 1));
    }
    const std::optional<SizeChange>& change = listed.change;
    if (change && change->kind == SizeChange::Kind::Gone) {
        append(line, "bytes", "null");
        append(line, "gone", "true");
    } else if (listed.size.readable) {
        append(line, "bytes", listed.size.bytes);
    } else {
        append(line, "bytes", "null");
        append(line, "error",
               string(listed.error != 0 ? systemErrorText(listed.error)
                                        : QStringLiteral("could not be read")));
    }
    if (change) {
        append(line, "change", change->amount, change->shrank);
        append(line, "previous_bytes", change->previous);
    }
    if (change && change->kind == SizeChange::Kind::New) {
        append(line, "new", "true");
    }
    line.append("}\r\n");
}

// A run of the command always closes with the total of its folders; the used space, which a
// mode changed in the window's run brings, has no other place here than the total's.
void JsonFormat::closing(Closing, std::uint64_t value) {
    Members total;
    total.add("total", number(value));
    if (comparison_) {
        const SizeChange change = comparison_->totalChange(value);
        total.add("total_change", signedChange(change))
            .add("previous_total", number(change.previous));
    }
    out_.write(QString::fromUtf8("]," + total.members() + '}'));
    out_.endLine();
}

}  // namespace dirtally
