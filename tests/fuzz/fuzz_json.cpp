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

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

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
            listed.push_back({path,
                              in.ConsumeBool() ? FolderSize::of(bytes) : FolderSize::unreadable(),
                              in.ConsumeIntegralInRange(0, 200)});
            json.folder(listed.back());
        }
        json.closing(ReportSink::Closing::TreeTotal, 0);
    }
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(buffer.data(), &error).object();
    check(error.error == QJsonParseError::NoError);
    check(bytesOf(report, QStringLiteral("folder")) == QByteArray::fromStdString(folder));
    const QJsonArray folders = report[QStringLiteral("folders")].toArray();
    check(static_cast<std::size_t>(folders.size()) == listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const QJsonObject line = folders[static_cast<qsizetype>(i)].toObject();
        const QByteArray path = QByteArray::fromStdString(listed[i].path);
        check(bytesOf(line, QStringLiteral("path")) == path);
        // A name holds no "/": it is the path's last part.
        check(line.contains(QStringLiteral("path_bytes")) ||
              line[QStringLiteral("name")].toString().toUtf8() ==
                  path.mid(path.lastIndexOf('/') + 1));
        const QJsonValue bytes = line[QStringLiteral("bytes")];
        const FolderSize& sized = listed[i].size;
        check(sized.readable ? bytes.toDouble() == static_cast<double>(sized.bytes)
                             : bytes.isNull() && line[QStringLiteral("error")].isString());
    }
    return 0;
}
