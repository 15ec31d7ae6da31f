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

FolderListing LinuxDirectoryReader::read(const Path& folder) {
    const FileDescriptor fd(
        folder.empty() ? -1 : openLongPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return {{}, folder.empty() ? ENOENT : errno};
    }
    const auto buffer = std::make_unique<char[]>(kBufferSize);
    DirentReader reader(fd.get(), {buffer.get(), kBufferSize});
    FolderListing listing;
    while (reader.fill()) {
        RawEntry entry;
        while (reader.next(entry)) {
            listing.entries.push_back({entry.name, kindOf(fd.get(), entry)});
        }
    }
    if (reader.failed()) {
        return {{}, reader.error()};
    }
    return listing;
}

}  // namespace dirtally
