#include "platform/system/linux/SizeEngine.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/system/LongPath.h"
#include "platform/system/linux/SizingWalk.h"

namespace dirtally {

namespace {

// A quarter of the soft limit leaves the rest of the program (and other sizings) room.
std::size_t budgetFromLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return 256;
    }
    return std::clamp<std::size_t>(limit.rlim_cur / 4, 16, 4096);
}

}  // namespace

LinuxFolderInfo::LinuxFolderInfo(unsigned workers, std::size_t openFolderBudget)
    : workers_(workers),
      openFolderBudget_(openFolderBudget != 0 ? openFolderBudget : budgetFromLimit()) {}

std::unique_ptr<SizingJob> LinuxFolderInfo::start(SizingRequest request) {
    return std::make_unique<sizing::Walk>(std::move(request),
                                          sizing::WalkOptions{workers_, openFolderBudget_});
}

std::optional<DriveSpace> LinuxFolderInfo::driveSpace(const Path& path) {
    if (path.empty() || path.front() != '/') {
        return std::nullopt;
    }
    const int fd = openLongPath(path, O_PATH | O_CLOEXEC);
    struct statvfs info {};
    const bool known = fd >= 0 && fstatvfs(fd, &info) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!known) {
        return std::nullopt;
    }
    const std::uint64_t unit = info.f_frsize;
    const bool readOnly = (info.f_flag & ST_RDONLY) != 0;
    return DriveSpace{readOnly ? 0 : std::uint64_t{info.f_bavail} * unit,
                      std::uint64_t{info.f_blocks} * unit};
}

}  // namespace dirtally
