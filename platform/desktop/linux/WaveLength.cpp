#include "platform/desktop/linux/WaveLength.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>

namespace dirtally {

namespace {

// Chunks that come before the data chunk (format, lists of tags) are small.
constexpr qint64 headerBytes = qint64{64} * 1024;

quint32 le32(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

}  // namespace

std::optional<std::chrono::milliseconds> waveLength(const QByteArray& head, qint64 fileSize) {
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        return std::nullopt;
    }
    quint32 byteRate = 0;
    for (qint64 at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const qint64 size = le32(head, at + 4);
        const qint64 body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= head.size()) {
            byteRate = le32(head, body + 8);
        } else if (id == "data") {
            if (byteRate == 0) {
                return std::nullopt;
            }
            // Compared before subtracting: any size may be asked about, the most negative too.
            const qint64 present = fileSize > body ? std::min(fileSize - body, size) : 0;
            return std::chrono::milliseconds(present * 1000 / byteRate);
        }
        // Chunks are padded to an even length.
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> waveFileLength(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return waveLength(file.read(headerBytes), file.size());
}

}  // namespace dirtally
