#pragma once

#include <QIODevice>
#include <memory>

#include "platform/system/Path.h"

namespace dirtally {

// A file (or a pipe) opened through its path's own bytes, to be read as a stream; nothing, with
// errno's value in `error`, when it cannot be opened.
std::unique_ptr<QIODevice> openForReading(const Path& path, int* error);

// Whether a path names, through links, something other than a plain file (a device, a FIFO, a
// folder), which may have no end to read or wait for a writer.
bool isSpecialFile(const Path& path);

}  // namespace dirtally
