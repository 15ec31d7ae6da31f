#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

#include "platform/system/FileDescriptor.h"
#include "platform/system/linux/PseudoFileSystems.h"
#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

namespace {

// O_NOFOLLOW: a folder swapped for a link while the walk runs cannot lead it elsewhere.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Folders only passed through, never read.
constexpr int kPathFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A sub-folder gone, or no longer a folder, between reading its parent and opening it.
bool vanished(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

// Opens a sub-folder, telling whether it lies on its parent's mount: then it can start no mount
// and costs no attribute read. Where openat2 refuses (a mount starts there, or an old kernel, or
// any fault) a plain open says what is true.
int openChild(int parent, const char* name, bool& sameMount) {
    static std::atomic<bool> noOpenat2{false};
    long fd = -1;
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kFolderFlags;
        how.resolve = RESOLVE_NO_XDEV;
        fd = syscall(SYS_openat2, parent, name, &how, sizeof how);
        if (fd < 0 && errno == ENOSYS) {
            noOpenat2.store(true, std::memory_order_relaxed);
        }
    }
    sameMount = fd >= 0;
    return sameMount ? static_cast<int>(fd) : openat(parent, name, kFolderFlags);
}

}  // namespace

bool Job::enter(Node& node, Scratch& scratch) {
    bool sameMount = false;
    int fd = openFolder(node, scratch, sameMount);
    int error = errno;
    const bool shortage = fd < 0 && isShortage(error);
    // The parent stays valid while this folder is pending, whether or not its handle stays open.
    // Let go of while handles are short, it may close, and this folder is then reopened by name.
    if (node.parent) {
        if (shortage) {
            std::unique_lock lock(node.parent->fdLock);
            keepIdentity(*node.parent);
        }
        letGo(*node.parent);
    }
    if (shortage) {
        fd = openAgain(node, scratch, sameMount);
        error = errno;
    }
    if (fd < 0) {
        if (!node.parent || !vanished(error)) {
            fail(node, error);
        }
        return false;
    }
    node.fileSystem = node.parent ? node.parent->fileSystem : parentFileSystem_;
    // A folder on its parent's mount can start no mount, so it needs no attribute read.
    if (!sameMount && !identify(node, fd)) {
        close(fd);
        return false;
    }
    node.fd = fd;
    node.fdUsers.store(Node::kReader, std::memory_order_relaxed);
    openFolders_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

// Reads the identity of a folder that may start a mount; false when it is not to be entered:
// pseudo file systems, a folder already on the path from the sizing's parent down (a bind mount
// of it), and, where sizes stay on one file system, a folder on another.
bool Job::identify(Node& node, int fd) {
    constexpr int kFlags = AT_EMPTY_PATH | AT_STATX_DONT_SYNC;
    struct statx info {};
    int error = statx(fd, "", kFlags, STATX_INO, &info) == 0
                    ? 0
                    : statAgain(fd, "", kFlags, STATX_INO, info);
    if (error != 0) {
        fail(node, error);
        return false;
    }
    node.dev = makedev(info.stx_dev_major, info.stx_dev_minor);
    node.ino = info.stx_ino;
    node.identified.store(true, std::memory_order_release);
    // Staying on one file system, du -x's way: by device, so a bind mount of the same one is in.
    if (request_.counting.oneFileSystem && node.dev != parentDev_) {
        node.otherFileSystem = true;
        return false;
    }
    if (!mayStartMount(node, info)) {
        return true;
    }
    node.fileSystem = fileSystemOf(fd);
    if (isPseudoFileSystem(node.fileSystem) || repeatsAncestor(node, fd, error)) {
        return false;
    }
    // Where the walk up ran short, whether this is a loop is unknown: it is not entered.
    if (isShortage(error)) {
        fail(node, error);
        return false;
    }
    return true;
}

// The kernel says where a mount starts; an old one does not, and then a change of device does,
// or nothing is known when the folder above was never identified.
bool Job::mayStartMount(const Node& node, const struct statx& info) const {
    if ((info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    if (!node.parent) {
        return node.dev != parentDev_;
    }
    return !node.parent->identified.load(std::memory_order_acquire) || node.dev != node.parent->dev;
}

// Whether the folder open as `fd` is the sizing's parent or a folder between it and this one.
// Each of those is reached through ".." from the folder itself, so that both sides of the
// comparison are what the kernel reports for open folders, whatever their listings said. Where
// the way up cannot be read, `error` says why and the answer is no.
bool Job::repeatsAncestor(const Node& node, int fd, int& error) const {
    FileDescriptor up;
    for (const Node* above = node.parent;; above = above->parent) {
        up.reset(openat(up.valid() ? up.get() : fd, "..", kPathFlags));
        struct stat info {};
        if (!up.valid() || fstat(up.get(), &info) != 0) {
            error = errno;
            return false;
        }
        if (info.st_dev == node.dev && info.st_ino == node.ino) {
            return true;
        }
        if (!above) {
            return false;
        }
    }
}

int Job::openFolder(Node& node, Scratch& scratch, bool& sameMount) {
    sameMount = false;
    if (!node.parent) {
        return openChild(parentFd_, node.name.c_str(), sameMount);
    }
    {
        std::shared_lock lock(node.parent->fdLock);
        if (node.parent->fd >= 0) {
            return openChild(node.parent->fd, node.name.c_str(), sameMount);
        }
    }
    return reopenFromTop(node, scratch, sameMount);
}

// The parent was closed early to stay within the budget of open folders: walk down to it again by
// name from the sizing's parent and check that it is still the folder whose entries were read.
int Job::reopenFromTop(Node& node, Scratch& scratch, bool& sameMount) {
    std::vector<Node*>& chain = scratch.chain;
    chain.clear();
    try {
        for (Node* up = node.parent; up; up = up->parent) {
            chain.push_back(up);
        }
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return -1;
    }
    FileDescriptor at(openat(parentFd_, chain.back()->name.c_str(), kPathFlags));
    for (std::size_t i = chain.size() - 1; at.valid() && i > 0; --i) {
        at.reset(openat(at.get(), chain[i - 1]->name.c_str(), kPathFlags));
    }
    if (!at.valid()) {
        return -1;
    }
    const Node& parent = *node.parent;
    struct stat info {};
    if (fstat(at.get(), &info) != 0 || !parent.identified.load(std::memory_order_acquire) ||
        info.st_dev != parent.dev || info.st_ino != parent.ino) {
        errno = ESTALE;
        return -1;
    }
    return openChild(at.get(), node.name.c_str(), sameMount);
}

// `share` is 1 for a sub-folder that no longer needs its parent's handle, kReader for the
// folder's own reading.
void Job::letGo(Node& node, std::uint32_t share) {
    if (node.fdUsers.fetch_sub(share, std::memory_order_acq_rel) == share) {
        closeHandle(node);
    }
}

// Sub-folders still to be opened would keep this folder open; past the budget they reopen their
// way down instead, so that a deep and bushy tree cannot exhaust the process's open files.
void Job::closeEarly(Node& node) {
    if (node.fdUsers.load(std::memory_order_relaxed) > Node::kReader &&
        openFolders_.load(std::memory_order_relaxed) > budget_.load(std::memory_order_relaxed)) {
        closeHandle(node, true);
    }
}

// A handle closed `early`, before every sub-folder is opened through it, first leaves its identity
// for them to check when they reopen it by name; where even that cannot be read, it stays open.
void Job::closeHandle(Node& node, bool early) {
    std::unique_lock lock(node.fdLock);
    if (node.fd < 0 || (early && !keepIdentity(node))) {
        return;
    }
    close(node.fd);
    node.fd = -1;
    openFolders_.fetch_sub(1, std::memory_order_relaxed);
}

// Takes the identity of the open folder unless it is known; under the node's handle lock. False
// when it cannot be had.
bool Job::keepIdentity(Node& node) {
    struct stat info {};
    if (node.identified.load(std::memory_order_relaxed)) {
        return true;
    }
    if (node.fd < 0 || fstat(node.fd, &info) != 0) {
        return false;
    }
    node.dev = info.st_dev;
    node.ino = info.st_ino;
    node.identified.store(true, std::memory_order_release);
    return true;
}

}  // namespace dirtally::sizeengine
