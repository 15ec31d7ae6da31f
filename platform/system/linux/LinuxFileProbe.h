#pragma once

#include "platform/system/FileProbe.h"

namespace dirtally {

class LinuxFileProbe final : public FileProbe {
  public:
    bool isRegularFile(const Path& path) override;
};

}  // namespace dirtally
