// The JSON report read back through Qt's JSON parser: what it says of itself, and each folder's
// path and size.
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

// A path's text, or its bytes in base64 beside it ("<key>_bytes") where the text does not keep
// them all.
std::optional<Path> pathOf(const QJsonObject& object, QLatin1String key) {
    const QJsonValue text = object.value(key);
    const QJsonValue bytes = object.value(key + QLatin1String("_bytes"));
    if (!text.isString() || !(bytes.isString() || bytes.isUndefined())) {
        return std::nullopt;
    }
    if (bytes.isUndefined()) {
        return pathFromText(text.toString());
    }
    const auto decoded = QByteArray::fromBase64Encoding(bytes.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional((*decoded).toStdString()) : std::nullopt;
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
        report->folder = pathOf(root, QLatin1String("folder"));
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
bool readFolder(const QJsonValue& value, std::optional<PreviousFolder>* folder) {
    const QJsonObject entry = value.toObject();
    const std::optional<Path> path = pathOf(entry, QLatin1String("path"));
    const QJsonValue bytes = entry.value(QLatin1String("bytes"));
    const std::optional<std::uint64_t> size = bytesOf(bytes);
    if (!path || path->empty() || !(size || bytes.isNull())) {
        return false;
    }
    if (entry.value(QLatin1String("gone")).toBool()) {
        folder->reset();
        return true;
    }
    *folder = PreviousFolder{*path, size ? FolderSize::of(*size) : FolderSize::unreadable()};
    return true;
}

}  // namespace

std::optional<PreviousReport> readJson(const QByteArray& bytes, QString* why) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        *why = QStringLiteral("line %1: %2")
                   .arg(bytes.left(error.offset).count('\n') + 1)
                   .arg(error.errorString());
        return std::nullopt;
    }
    PreviousReport report;
    if (!readHeader(document.object(), &report, why)) {
        return std::nullopt;
    }
    const QJsonValue folders = document.object().value(QLatin1String("folders"));
    if (!folders.isArray()) {
        *why = QStringLiteral("it has no \"folders\" list");
        return std::nullopt;
    }
    const QJsonArray list = folders.toArray();
    report.folders.reserve(static_cast<std::size_t>(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        std::optional<PreviousFolder> folder;
        if (!readFolder(list.at(i), &folder)) {
            *why = QStringLiteral("folder %1 of \"folders\" has no path or no size held exactly")
                       .arg(i + 1);
            return std::nullopt;
        }
        if (folder) {
            report.folders.push_back(std::move(*folder));
        }
    }
    return report;
}

}  // namespace dirtally::previous
