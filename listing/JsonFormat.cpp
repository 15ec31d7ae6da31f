#include "listing/JsonFormat.h"

#include <QJsonArray>
#include <QJsonDocument>

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

// The last part of a path below the listed folder: a name holds no "/".
Path lastName(const Path& path) {
    const std::size_t slash = path.rfind('/');
    return slash == Path::npos ? path : path.substr(slash + 1);
}

QByteArray number(const std::optional<std::uint64_t>& value) {
    return value ? QByteArray::number(static_cast<qulonglong>(*value)) : QByteArray("null");
}

// The change in bytes, negative where the size shrank; a new folder grew by all it holds.
QByteArray signedChange(const SizeChange& change) {
    return (change.shrank && change.amount ? "-" : "") + number(change.amount);
}

// A change, and the size in the previous report, beside a size.
void addChange(Members& members, const SizeChange& change) {
    members.add("change", signedChange(change)).add("previous_bytes", number(change.previous));
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

void JsonFormat::folder(const ListedFolder& listed) {
    Members line;
    line.addPath("path", listed.path).add("name", pathToText(lastName(listed.path)));
    const bool gone = listed.change && listed.change->kind == SizeChange::Kind::Gone;
    if (gone) {
        line.add("bytes", QByteArray("null")).add("gone", QByteArray("true"));
    } else if (listed.size.readable) {
        line.add("bytes", QByteArray::number(static_cast<qulonglong>(listed.size.bytes)));
    } else {
        line.add("bytes", QByteArray("null"))
            .add("error", listed.error != 0 ? systemErrorText(listed.error)
                                            : QStringLiteral("could not be read"));
    }
    if (listed.change) {
        addChange(line, *listed.change);
    }
    if (listed.change && listed.change->kind == SizeChange::Kind::New) {
        line.add("new", QByteArray("true"));
    }
    out_.write(QString::fromUtf8((first_ ? "" : ",") + line.object()));
    out_.endLine();
    first_ = false;
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
