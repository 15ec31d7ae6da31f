#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

namespace dirtally {

// How long a RIFF/WAVE file plays, from its first bytes `head` and its size on disk: the data
// chunk's size over the format chunk's byte rate. A data chunk that claims more than the file
// holds counts only what is there. Nothing when the bytes are not such a file.
std::optional<std::chrono::milliseconds> waveLength(const QByteArray& head, qint64 fileSize);

// The same for a file on disk, reading no more than the start of it.
std::optional<std::chrono::milliseconds> waveFileLength(const QString& path);

}  // namespace dirtally
