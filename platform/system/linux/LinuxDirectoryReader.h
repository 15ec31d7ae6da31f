#pragma once

#include "platform/system/DirectoryReader.h"

namespace dirtally {

class LinuxDirectoryReader final : public DirectoryReader {
  public:
    int readInBatches(const Path& folder, const Batch& batch) override;
};

}  // namespace dirtally
