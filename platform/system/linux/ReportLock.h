#pragma once

#include <string>

#include "platform/system/FileDescriptor.h"

namespace dirtally {

// Keeps two runs, of the window or the command, in this process or another, from writing one
// report at once. Held as long as the object lives, and by nothing else: the kernel lets it go
// when the process ends, however it ends.
class ReportLock {
  public:
    // Locks the report `name` in the folder open as `folderFd`; false with errno set when it
    // cannot (EADDRINUSE: another run holds it).
    bool take(int folderFd, const std::string& name);

  private:
    FileDescriptor socket_;
};

}  // namespace dirtally
