// The JSON report read back through Qt's JSON parser: what it says of itself, and each folder's
// path and size. A report as dirtally-report writes it, one folder a line, is read a line at a
// time; one laid out otherwise (by jq, say) is read as a whole.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "listing/PreviousReport.h"
#include "listing/ReportFormat.h"

namespace dirtally::previous {

namespace {

// A count of bytes: a JSON integer from 0 up that Qt holds exactly.
std::optional<std::uint64_t> bytesOf(const QJsonValue& value) {
    const qint64 bytes = value.toInteger(-1);
    if (!value.isDouble() || bytes < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(bytes);
}

// A path's bytes: its text, or its bytes in base64 beside it (under `bytesKey`) where the text
// does not keep them all.
std::optional<QByteArray> pathOf(const QJsonObject& object, QLatin1String key,
                                 QLatin1String bytesKey) {
    const QJsonValue text = object.value(key);
    const QJsonValue bytes = object.value(bytesKey);
    if (!text.isString() || !(bytes.isString() || bytes.isUndefined())) {
        return std::nullopt;
    }
    if (bytes.isUndefined()) {
        return text.toString().toUtf8();
    }
    const auto decoded = QByteArray::fromBase64Encoding(bytes.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional(*decoded) : std::nullopt;
}

// What was counted, in the text report's words; nothing where a part is not one of those
// dirtally-report writes.
std::optional<QString> countedOf(const QJsonObject& counted) {
    const QJsonValue size = counted.value(QLatin1String("size"));
    const QJsonValue links = counted.value(QLatin1String("links"));
    const QJsonValue oneFileSystem = counted.value(QLatin1String("one_file_system"));
    const QJsonValue exclude = counted.value(QLatin1String("exclude"));
    Counting counting;
    counting.diskUsage = size == QLatin1String("disk-usage");
    counting.linksOnce = links == QLatin1String("once");
    counting.oneFileSystem = oneFileSystem.toBool();
    for (const QJsonValue pattern : exclude.toArray()) {
        if (!pattern.isString()) {
            return std::nullopt;
        }
        counting.exclude.push_back(pathFromText(pattern.toString()));
    }
    if (!(counting.diskUsage || size == QLatin1String("apparent")) ||
        !(counting.linksOnce || links == QLatin1String("each")) || !oneFileSystem.isBool() ||
        !exclude.isArray()) {
        return std::nullopt;
    }
    return report::countedWords(counting);
}

// The header's fields: each may be left out, none may be of another kind.
bool readHeader(const QJsonObject& root, PreviousReport* report, QString* why) {
    if (root.value(QLatin1String("program")) != QLatin1String("dirtally-report")) {
        *why = QStringLiteral("it is no report of dirtally-report (no \"program\" of that name)");
        return false;
    }
    const QJsonValue folder = root.value(QLatin1String("folder"));
    const QJsonValue date = root.value(QLatin1String("date"));
    const QJsonValue mode = root.value(QLatin1String("mode"));
    const QJsonValue counted = root.value(QLatin1String("counted"));
    const QJsonValue total = root.value(QLatin1String("total"));
    if (!folder.isUndefined()) {
        const auto path = pathOf(root, QLatin1String("folder"), QLatin1String("folder_bytes"));
        report->folder = path ? std::optional(path->toStdString()) : std::nullopt;
    }
    if (date.isString()) {
        report->date = QDate::fromString(date.toString(), Qt::ISODate);
    }
    if (mode == QLatin1String("one-level") || mode == QLatin1String("all")) {
        report->oneLevel = mode == QLatin1String("one-level");
    }
    if (!counted.isUndefined()) {
        report->counted = countedOf(counted.toObject());
    }
    if (!total.isUndefined()) {
        report->total = bytesOf(total);
    }
    const char* wrong = !(folder.isString() || folder.isUndefined())        ? "folder"
                        : (!date.isUndefined() && !report->date->isValid()) ? "date"
                        : (!mode.isUndefined() && !report->oneLevel)        ? "mode"
                        : (!counted.isUndefined() && !report->counted)      ? "counted"
                        : (!total.isUndefined() && !report->total)          ? "total"
                                                                            : nullptr;
    if (wrong) {
        *why = QStringLiteral("its \"%1\" is not what dirtally-report writes").arg(wrong);
    }
    return !wrong;
}

// One entry of "folders"; nothing in `folder` for an entry a comparison listed as gone.
bool readFolder(const QJsonObject& entry, PreviousReport* report) {
    const auto path = pathOf(entry, QLatin1String("path"), QLatin1String("path_bytes"));
    const QJsonValue bytes = entry.value(QLatin1String("bytes"));
    const std::optional<std::uint64_t> size = bytesOf(bytes);
    if (!path || path->isEmpty() || !(size || bytes.isNull())) {
        return false;
    }
    if (!entry.value(QLatin1String("gone")).toBool()) {
        report->folders.add({path->constData(), static_cast<std::size_t>(path->size())},
                            size ? FolderSize::of(*size) : FolderSize::unreadable());
    }
    return true;
}

QString badFolder(qsizetype number) {
    return QStringLiteral("folder %1 of \"folders\" has no path or no size held exactly")
        .arg(number);
}

// Bytes as one JSON document, without a copy; the reason, with the line, where they are none.
std::optional<QJsonDocument> documentOf(QByteArrayView bytes, qsizetype firstLine, QString* why) {
    QJsonParseError error;
    QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(bytes.data(), bytes.size()), &error);
    if (error.error != QJsonParseError::NoError) {
        *why = QStringLiteral("line %1: %2")
                   .arg(firstLine + bytes.first(error.offset).count('\n'))
                   .arg(error.errorString());
        return std::nullopt;
    }
    return document;
}

std::optional<PreviousReport> readWhole(const QByteArray& bytes, QString* why) {
    const std::optional<QJsonDocument> document = documentOf(bytes, 1, why);
    PreviousReport report;
    if (!document || !readHeader(document->object(), &report, why)) {
        return std::nullopt;
    }
    const QJsonValue folders = document->object().value(QLatin1String("folders"));
    if (!folders.isArray()) {
        *why = QStringLiteral("it has no \"folders\" list");
        return std::nullopt;
    }
    const QJsonArray list = folders.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!readFolder(list.at(i).toObject(), &report)) {
            *why = badFolder(i + 1);
            return std::nullopt;
        }
    }
    return report;
}

// The header line with the closing line after it: the whole document but for its folders.
bool readOutline(const QByteArray& head, QByteArrayView closing, qsizetype line,
                 PreviousReport* report, QString* why) {
    const std::optional<QJsonDocument> outline =
        documentOf(QByteArray(head).append(closing), line, why);
    return outline && readHeader(outline->object(), report, why);
}

}  // namespace

std::optional<PreviousReport> readJson(Lines& lines, QString* why) {
    QByteArrayView line;
    lines.next(&line);
    const QByteArray head = line.trimmed().toByteArray();
    if (!head.startsWith('{') || !head.endsWith("\"folders\":[")) {
        return readWhole(line.toByteArray() + lines.rest(), why);
    }
    PreviousReport report;
    if (!readOutline(head, "]}", 1, &report, why)) {
        return std::nullopt;
    }
    qsizetype count = 0;
    while (lines.next(&line)) {
        QByteArrayView entry = line.trimmed();
        if (entry.startsWith(']')) {
            const qsizetype closing = lines.number();
            if (!lines.rest().trimmed().isEmpty()) {
                *why = QStringLiteral("line %1: more after the end of the report").arg(closing + 1);
                return std::nullopt;
            }
            return readOutline(head, entry, closing, &report, why)
                       ? std::optional(std::move(report))
                       : std::nullopt;
        }
        if (count > 0 && !entry.startsWith(',')) {
            *why = QStringLiteral("line %1: a folder not after a comma").arg(lines.number());
            return std::nullopt;
        }
        entry = entry.sliced(count > 0 ? 1 : 0);
        if (readWritersFolder(entry, &report.folders)) {
            ++count;
            continue;
        }
        const auto folder = documentOf(entry, lines.number(), why);
        if (!folder) {
            return std::nullopt;
        }
        if (!readFolder(folder->object(), &report)) {
            *why = QStringLiteral("line %1: %2").arg(lines.number()).arg(badFolder(count + 1));
            return std::nullopt;
        }
        ++count;
    }
    *why = QStringLiteral("line %1: the report ends early").arg(lines.number() + 1);
    return std::nullopt;
}

}  // namespace dirtally::previous
