#pragma once

#include <cstddef>

#include "platform/system/FolderInfo.h"

namespace dirtally {

// The size engine: folder sizes from the program's own parallel walk (a sizeengine::Job for each
// request), and drive space from statvfs.
class SizeEngine final : public FolderInfo {
  public:
    // The most workers a sizing runs: it starts with one per core and adds more while they wait
    // in calls (a cold disk, a network or FUSE file system), where more calls in flight help.
    static constexpr unsigned kDefaultWorkers = 16;

    // openFolderBudget: folders a sizing holds open at once before it reopens them by name;
    // 0 fits each sizing, as it starts, to the process's limit of open files and the handles
    // open then, starting fewer workers where the limit leaves too little for all of them.
    explicit SizeEngine(unsigned workers = kDefaultWorkers, std::size_t openFolderBudget = 0);

    std::unique_ptr<SizingJob> start(SizingRequest request) override;
    std::optional<DriveSpace> driveSpace(const Path& path) override;

  private:
    unsigned workers_;
    std::size_t openFolderBudget_;
};

}  // namespace dirtally
