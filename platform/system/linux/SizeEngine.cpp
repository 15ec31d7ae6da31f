#include "platform/system/linux/SizeEngine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/system/FileDescriptor.h"
#include "platform/system/LongPath.h"
#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally {

namespace {

// Folders a sizing holds open at most, when the limit is unknown or unlimited.
constexpr std::size_t kMaxBudget = 4096;
// Handles at most kept free for the rest of the program (the report, Qt's own files).
constexpr std::size_t kReserve = 64;

// Handles open now with numbers below `limit`: only those take room beneath it. Without /proc,
// a quarter of the limit is taken to be in use.
std::size_t openBelow(std::size_t limit) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) {
        return limit / 4;
    }
    std::size_t count = 0;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const unsigned long fd = std::strtoul(entry->d_name, &end, 10);
        count += end != entry->d_name && *end == '\0' && fd < limit ? 1 : 0;
    }
    closedir(dir);
    return count > 0 ? count - 1 : 0;  // the listing's own handle is closed again
}

// What a sizing may hold open: the limit of open files less the handles open now, a reserve for
// the rest of the program, the sizing's parent folder and a second handle for each worker (while
// it reopens a folder by name). Where that is too little for every worker, fewer start.
sizeengine::JobOptions fitToLimit(unsigned workers) {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return {workers, kMaxBudget};
    }
    const std::size_t soft = limit.rlim_cur;
    const std::size_t free = soft - std::min(openBelow(soft), soft);
    const std::size_t usable = free - std::min(free / 4, kReserve);
    const auto fitting =
        static_cast<unsigned>(std::clamp<std::size_t>(usable / 4, 1, std::max(1u, workers)));
    const std::size_t needed = 2 * std::size_t{fitting} + 1;
    return {fitting, std::min(usable > needed ? usable - needed : 0, kMaxBudget)};
}

}  // namespace

SizeEngine::SizeEngine(unsigned workers, std::size_t openFolderBudget)
    : workers_(workers), openFolderBudget_(openFolderBudget) {}

std::unique_ptr<SizingJob> SizeEngine::start(SizingRequest request) {
    const sizeengine::JobOptions options = openFolderBudget_ != 0
                                               ? sizeengine::JobOptions{workers_, openFolderBudget_}
                                               : fitToLimit(workers_);
    return std::make_unique<sizeengine::Job>(std::move(request), options);
}

std::optional<DriveSpace> SizeEngine::driveSpace(const Path& path) {
    if (path.empty() || path.front() != '/') {
        return std::nullopt;
    }
    const FileDescriptor fd(openLongPath(path, O_PATH | O_CLOEXEC));
    struct statvfs info {};
    if (!fd.valid() || fstatvfs(fd.get(), &info) != 0) {
        return std::nullopt;
    }
    const std::uint64_t unit = info.f_frsize;
    const bool readOnly = (info.f_flag & ST_RDONLY) != 0;
    return DriveSpace{readOnly ? 0 : std::uint64_t{info.f_bavail} * unit,
                      std::uint64_t{info.f_blocks} * unit};
}

}  // namespace dirtally
