#include "platform/system/linux/LinuxDirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/system/FileDescriptor.h"
#include "platform/system/LongPath.h"
#include "platform/system/linux/DirentReader.h"

namespace dirtally {

namespace {

constexpr std::size_t kBufferSize = std::size_t{32} * 1024;

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

}  // namespace

int LinuxDirectoryReader::readInBatches(const Path& folder, const Batch& batch) {
    const FileDescriptor fd(
        folder.empty() ? -1 : openLongPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return folder.empty() ? ENOENT : errno;
    }
    const auto buffer = std::make_unique<char[]>(kBufferSize);
    DirentReader reader(fd.get(), {buffer.get(), kBufferSize});
    std::vector<DirEntry> entries;
    while (reader.fill()) {
        entries.clear();
        RawEntry entry;
        while (reader.next(entry)) {
            entries.push_back({entry.name, kindOf(fd.get(), entry)});
        }
        if (!entries.empty() && !batch(entries)) {
            return 0;
        }
    }
    return reader.failed() ? reader.error() : 0;
}

}  // namespace dirtally
