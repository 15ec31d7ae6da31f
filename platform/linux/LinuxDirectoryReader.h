#pragma once

#include "platform/DirectoryReader.h"

namespace dirtally {

class LinuxDirectoryReader final : public DirectoryReader {
  public:
    std::optional<std::vector<DirEntry>> read(const Path& folder) override;
};

}  // namespace dirtally
