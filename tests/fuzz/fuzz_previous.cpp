// Any bytes as a previous report: the readers never crash, and what they accept they can give
// back: written again in its own format and read once more, it is the same report, each folder
// under the key a new run would find it by.
#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdlib>

#include "listing/CsvFormat.h"
#include "listing/PreviousReport.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QByteArray asJson(const PreviousReport& report) {
    QJsonArray folders;
    for (const PreviousFolder& folder : report.folders) {
        folders.append(
            QJsonObject{{"path", pathToText(folder.key)},
                        {"bytes", folder.size.readable ? QJsonValue(qint64(folder.size.bytes))
                                                       : QJsonValue()}});
    }
    QJsonObject root{{"program", "dirtally-report"}, {"folders", folders}};
    if (report.oneLevel) {
        root.insert("mode", *report.oneLevel ? "one-level" : "all");
    }
    if (report.total) {
        root.insert("total", qint64(*report.total));
    }
    return QJsonDocument(root).toJson();
}

QByteArray written(const PreviousReport& report) {
    if (report.names == PreviousReport::Names::Exact) {
        return asJson(report);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportWriter writer(buffer);
    ReportFormat text(writer, QLocale::c());
    CsvFormat csv(writer);
    const bool lined = report.names == PreviousReport::Names::Lined;
    ReportSink& sink = lined ? static_cast<ReportSink&>(text) : csv;
    const bool oneLevel = report.oneLevel.value_or(true);
    sink.header(report.folder.value_or("/"), oneLevel, QDate(2026, 12, 6));
    for (const PreviousFolder& folder : report.folders) {
        sink.folder(pathToText(folder.key), folder.size);
    }
    using Closing = ReportSink::Closing;
    sink.closing(!report.total ? Closing::UsedSpace
                 : oneLevel    ? Closing::FoldersTotal
                               : Closing::TreeTotal,
                 report.total.value_or(0));
    writer.flush();
    return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString why;
    const auto first = PreviousReport::read(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), &why);
    if (!first) {
        check(!why.isEmpty());
        return 0;
    }
    const auto again = PreviousReport::read(written(*first), &why);
    check(again && again->names == first->names && again->total == first->total &&
          again->folders.size() == first->folders.size());
    check(first->names == PreviousReport::Names::Shown || again->oneLevel == first->oneLevel);
    for (std::size_t i = 0; i < first->folders.size(); ++i) {
        const PreviousFolder& folder = first->folders[i];
        check(again->folders[i].size == folder.size &&
              again->folders[i].key == first->keyOf(folder.key, pathToText(folder.key)));
    }
    return 0;
}
