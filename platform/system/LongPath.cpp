#include "platform/system/LongPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/FileDescriptor.h"

namespace dirtally {

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Replaces `at` by the folder `name` inside it.
int descend(int at, const std::string& name) {
    const int next = ::openat(at, name.c_str(), kFolderFlags);
    closeKeepingErrno(at);
    return next;
}

int openFolderByComponents(const Path& folder) {
    int at = ::open(!folder.empty() && folder.front() == '/' ? "/" : ".", kFolderFlags);
    std::size_t start = 0;
    while (at >= 0 && start < folder.size()) {
        const std::size_t end = std::min(folder.find('/', start), folder.size());
        if (end > start) {
            at = descend(at, folder.substr(start, end - start));
        }
        start = end + 1;
    }
    return at;
}
}  // namespace

int openLongPath(const Path& path, int flags, mode_t mode) {
    const int fd = ::open(path.c_str(), flags, mode);
    if (fd >= 0 || errno != ENAMETOOLONG) {
        return fd;
    }
    const std::size_t slash = path.find_last_of('/');
    const Path folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const FileDescriptor at(openFolderByComponents(folder));
    if (!at.valid()) {
        return -1;
    }
    return ::openat(at.get(), name.empty() ? "." : name.c_str(), flags, mode);
}

}  // namespace dirtally
