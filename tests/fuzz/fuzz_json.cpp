// The JSON report from any folder path bytes, sizes and reasons, read back with Qt's JSON reader:
// one valid document whose every path (from its bytes where it is not UTF-8), name, size and the
// folder come back as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <vector>

#include "listing/JsonFormat.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {

// The exact bytes of a path that the report names under `key`.
QByteArray bytesOf(const QJsonObject& object, const QString& key) {
    const QJsonValue raw = object[key + QStringLiteral("_bytes")];
    return raw.isString() ? QByteArray::fromBase64(raw.toString().toLatin1())
                          : object[key].toString().toUtf8();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const std::string folder = in.ConsumeRandomLengthString(100);
    std::vector<ListedFolder> listed;
    {
        ReportWriter writer(buffer);
        JsonFormat json(writer, {in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool(), {}});
        json.header(folder, in.ConsumeBool(), QDate(2026, 12, 6));
        while (in.remaining_bytes() > 0) {
            const std::string path = in.ConsumeRandomLengthString(300);
            const auto bytes = in.ConsumeIntegral<std::uint64_t>();
            const bool readable = in.ConsumeBool();
            listed.push_back({path, readable ? FolderSize::of(bytes) : FolderSize::unreadable(),
                              in.ConsumeIntegralInRange(0, 200)});
            json.folder(listed.back());
        }
        json.closing(ReportSink::Closing::TreeTotal, 0);
    }
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(buffer.data(), &error).object();
    const QJsonArray folders = report[QStringLiteral("folders")].toArray();
    bool exact = error.error == QJsonParseError::NoError &&
                 bytesOf(report, QStringLiteral("folder")) == QByteArray::fromStdString(folder) &&
                 static_cast<std::size_t>(folders.size()) == listed.size();
    for (std::size_t i = 0; exact && i < listed.size(); ++i) {
        const QJsonObject line = folders[static_cast<qsizetype>(i)].toObject();
        const QByteArray path = QByteArray::fromStdString(listed[i].path);
        const QJsonValue bytes = line[QStringLiteral("bytes")];
        const FolderSize& sized = listed[i].size;
        // A name holds no "/": it is the path's last part.
        exact = bytesOf(line, QStringLiteral("path")) == path &&
                (line.contains(QStringLiteral("path_bytes")) ||
                 line[QStringLiteral("name")].toString().toUtf8() ==
                     path.mid(path.lastIndexOf('/') + 1)) &&
                (sized.readable ? bytes.toDouble() == static_cast<double>(sized.bytes)
                                : bytes.isNull() && line[QStringLiteral("error")].isString());
    }
    if (!exact) {
        std::abort();
    }
    return 0;
}
