#pragma once

#include "platform/system/Path.h"

namespace dirtally {

// Facts about the running process.
class ProcessInfo {
  public:
    virtual ~ProcessInfo() = default;
    // The current directory exactly as the system reports it.
    virtual Path currentDirectory() = 0;
    // The folder that holds the program's executable ("/" when it lies in the root).
    virtual Path programFolder() = 0;
    // Ends the process at once: no further code of the program runs.
    virtual void endProcess(int exitCode) = 0;
};

}  // namespace dirtally
