#include "platform/linux/LinuxDirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/LongPath.h"
#include "platform/linux/DirentReader.h"

namespace dirtally {

namespace {

constexpr std::size_t kBufferSize = 32 * 1024;

// Only where the file system gives no type does the entry cost an attribute read.
DirEntry::Kind kindOf(int folder, const RawEntry& entry) {
    if (entry.type == DT_DIR) {
        return DirEntry::Kind::Directory;
    }
    if (entry.type != DT_UNKNOWN) {
        return DirEntry::Kind::Other;
    }
    struct stat info {};
    if (fstatat(folder, entry.name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return DirEntry::Kind::Unknown;
    }
    return S_ISDIR(info.st_mode) ? DirEntry::Kind::Directory : DirEntry::Kind::Other;
}

struct FdCloser {
    void operator()(const int* fd) const { close(*fd); }
};

}  // namespace

FolderListing LinuxDirectoryReader::read(const Path& folder) {
    int fd = folder.empty() ? -1 : openLongPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {{}, folder.empty() ? ENOENT : errno};
    }
    const std::unique_ptr<int, FdCloser> closer(&fd);
    const auto buffer = std::make_unique<char[]>(kBufferSize);
    DirentReader reader(fd, {buffer.get(), kBufferSize});
    FolderListing listing;
    while (reader.fill()) {
        RawEntry entry;
        while (reader.next(entry)) {
            listing.entries.push_back({entry.name, kindOf(fd, entry)});
        }
    }
    if (reader.failed()) {
        return {{}, reader.error()};
    }
    return listing;
}

}  // namespace dirtally
