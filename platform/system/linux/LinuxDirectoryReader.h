#pragma once

#include "platform/system/DirectoryReader.h"

namespace dirtally {

class LinuxDirectoryReader final : public DirectoryReader {
  public:
    FolderListing read(const Path& folder) override;
};

}  // namespace dirtally
