#pragma once

#include "platform/DirectoryReader.h"

namespace dirtally {

class LinuxDirectoryReader final : public DirectoryReader {
  public:
    FolderListing read(const Path& folder) override;
};

}  // namespace dirtally
