#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/system/FileDescriptor.h"
#include "platform/system/linux/PseudoFileSystems.h"
#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

namespace {

// O_NOFOLLOW: a folder swapped for a link while the walk runs cannot lead it elsewhere.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A sub-folder gone, or no longer a folder, between reading its parent and opening it.
bool vanished(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

// Opens a sub-folder, telling whether it lies on its parent's mount: then its identity is
// already known from the parent's listing and costs no attribute read. Where openat2 refuses
// (a mount starts there, or an old kernel, or any fault) a plain open says what is true.
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
    // The parent stays valid while this folder is pending, whether or not its handle stays open.
    if (node.parent) {
        letGo(*node.parent);
    }
    if (fd < 0 && isShortage(error)) {
        fd = openAgain(node, scratch, sameMount);
        error = errno;
    }
    if (fd < 0) {
        if (!node.parent || !vanished(error)) {
            fail(node, error);
        }
        return false;
    }
    if (sameMount) {
        node.dev = node.parent->dev;
    } else if (!identify(node, fd)) {
        close(fd);
        return false;
    }
    node.fd = fd;
    node.fdUsers.store(Node::kReader, std::memory_order_relaxed);
    openFolders_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

// Reads the identity of a folder that may start a mount; false when it is not to be entered.
bool Job::identify(Node& node, int fd) {
    constexpr int kFlags = AT_EMPTY_PATH | AT_STATX_DONT_SYNC;
    struct statx info {};
    const int error = statx(fd, "", kFlags, STATX_INO, &info) == 0
                          ? 0
                          : statAgain(fd, "", kFlags, STATX_INO, info);
    if (error != 0) {
        fail(node, error);
        return false;
    }
    node.dev = makedev(info.stx_dev_major, info.stx_dev_minor);
    node.ino = info.stx_ino;
    const bool mountRoot = (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) == 0 ||
                           (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return !skipped(node, fd, mountRoot);
}

// Pseudo file systems are not entered, and neither is a folder already on the path above (a
// bind mount of an ancestor). Both can only start where a mount starts.
bool Job::skipped(const Node& node, int fd, bool mountRoot) const {
    const dev_t above = node.parent ? node.parent->dev : parentDev_;
    const bool newDevice = node.dev != above;
    if (newDevice && onPseudoFileSystem(fd)) {
        return true;
    }
    if (!newDevice && !mountRoot) {
        return false;
    }
    for (const Node* up = node.parent; up; up = up->parent) {
        if (up->dev == node.dev && up->ino == node.ino) {
            return true;
        }
    }
    return false;
}

int Job::openFolder(Node& node, Scratch& scratch, bool& sameMount) {
    sameMount = false;
    if (!node.parent) {
        return openat(parentFd_, node.name.c_str(), kFolderFlags);
    }
    {
        std::shared_lock lock(node.parent->fdLock);
        if (node.parent->fd >= 0) {
            return openChild(node.parent->fd, node.name.c_str(), sameMount);
        }
    }
    return reopenFromTop(node, scratch);
}

// The parent was closed to stay within the budget of open folders: walk down again from the
// sizing's parent, checking that every folder on the way is still the one first read.
int Job::reopenFromTop(Node& node, Scratch& scratch) {
    std::vector<Node*>& chain = scratch.chain;
    chain.clear();
    for (Node* up = &node; up; up = up->parent) {
        chain.push_back(up);
    }
    int fd = openat(parentFd_, chain.back()->name.c_str(), kFolderFlags);
    for (std::size_t i = chain.size() - 1; fd >= 0 && i > 0; --i) {
        struct stat info {};
        if (fstat(fd, &info) != 0 || info.st_dev != chain[i]->dev || info.st_ino != chain[i]->ino) {
            close(fd);
            errno = ESTALE;
            return -1;
        }
        const int next = openat(fd, chain[i - 1]->name.c_str(), kFolderFlags);
        closeKeepingErrno(fd);
        fd = next;
    }
    return fd;
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
        closeHandle(node);
    }
}

void Job::closeHandle(Node& node) {
    std::unique_lock lock(node.fdLock);
    if (node.fd >= 0) {
        close(node.fd);
        node.fd = -1;
        openFolders_.fetch_sub(1, std::memory_order_relaxed);
    }
}

}  // namespace dirtally::sizeengine
