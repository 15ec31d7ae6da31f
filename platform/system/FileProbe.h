#pragma once

#include "platform/system/Path.h"

namespace dirtally {

// Questions about a single path.
class FileProbe {
  public:
    virtual ~FileProbe() = default;
    // True when `path` names an ordinary file (after following links).
    virtual bool isRegularFile(const Path& path) = 0;
};

}  // namespace dirtally
