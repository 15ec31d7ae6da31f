#pragma once

#include "platform/system/Path.h"

namespace dirtally {

// Starts the desktop's text editor on a file, without waiting for it and never through a shell.
class TextEditor {
  public:
    virtual ~TextEditor() = default;
    // false when no editor could be started.
    virtual bool open(const Path& file) = 0;
};

}  // namespace dirtally
