#pragma once

#include "platform/system/ProcessInfo.h"

namespace dirtally {

// The running process as Linux reports it.
class LinuxProcessInfo final : public ProcessInfo {
  public:
    // Empty when the current directory has been removed or cannot be named.
    Path currentDirectory() override;
    // Empty when /proc is not mounted.
    Path programFolder() override;
    // Flushes C standard output, then ends without running destructors or exit handlers.
    void endProcess(int exitCode) override;
};

}  // namespace dirtally
