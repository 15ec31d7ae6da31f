#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/system/Path.h"

namespace dirtally {

// The whole of a file (or of what a pipe gives), read through its path's own bytes; nothing,
// with the system's reason, when it cannot be read.
std::optional<QByteArray> fileContents(const Path& path, QString* error);

}  // namespace dirtally
