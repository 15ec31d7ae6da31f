#pragma once

#include <sys/types.h>

#include "platform/system/Path.h"

namespace dirtally {

// open(2) for a path of any length: a path longer than the system's limit is followed one
// folder at a time from open handles. -1 with errno set on failure.
int openLongPath(const Path& path, int flags, mode_t mode = 0);

}  // namespace dirtally
