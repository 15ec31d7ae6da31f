// The JSON report read back through Qt's JSON parser: what it says of itself, and each folder's
// path and size.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include "listing/PreviousReport.h"

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
    if (folder.isString()) {
        report->folder = pathFromText(folder.toString());
    }
    if (date.isString()) {
        report->date = QDate::fromString(date.toString(), Qt::ISODate);
    }
    if (mode == QLatin1String("one-level") || mode == QLatin1String("all")) {
        report->oneLevel = mode == QLatin1String("one-level");
    }
    report->counted = counted.toObject();
    if (!total.isUndefined()) {
        report->total = bytesOf(total);
    }
    const char* wrong = !(folder.isString() || folder.isUndefined())        ? "folder"
                        : (!date.isUndefined() && !report->date->isValid()) ? "date"
                        : (!mode.isUndefined() && !report->oneLevel)        ? "mode"
                        : !(counted.isObject() || counted.isUndefined())    ? "counted"
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
    const QJsonValue path = entry.value(QLatin1String("path"));
    const QJsonValue bytes = entry.value(QLatin1String("bytes"));
    const std::optional<std::uint64_t> size = bytesOf(bytes);
    if (!path.isString() || path.toString().isEmpty() || !(size || bytes.isNull())) {
        return false;
    }
    if (entry.value(QLatin1String("gone")).toBool()) {
        folder->reset();
        return true;
    }
    *folder = PreviousFolder{pathFromText(path.toString()),
                             size ? FolderSize::of(*size) : FolderSize::unreadable()};
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
            *why = QStringLiteral("folder %1 of \"folders\" has no path or no size").arg(i + 1);
            return std::nullopt;
        }
        if (folder) {
            report.folders.push_back(std::move(*folder));
        }
    }
    return report;
}

}  // namespace dirtally::previous
