#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

namespace {

constexpr int kEntryFlags = AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC | AT_NO_AUTOMOUNT;
constexpr unsigned kEntryMask = STATX_TYPE | STATX_SIZE | STATX_INO;

}  // namespace

// Every folder is read even beneath one that cannot be, so that each unreadable folder is
// named, as du names them, and the same ones in every run.
void Job::process(Node& node, Scratch& scratch) {
    if (cancelled_.load(std::memory_order_relaxed)) {
        drop(node, 0);
        return;
    }
    if (enter(node, scratch)) {
        read(node, scratch);
    }
    done(node);
}

// Counts a folder that will not be read as done, with `error` as what kept it from being read.
void Job::drop(Node& node, int error) {
    fail(node, error);
    if (node.parent) {
        letGo(*node.parent);
    }
    done(node);
}

void Job::read(Node& node, Scratch& scratch) {
    DirentReader reader(node.fd, {scratch.buffer.get(), Scratch::kBufferSize});
    std::uint64_t bytes = 0;
    bool stop = false;
    while (!stop && fill(reader, node)) {
        scratch.count();
        RawEntry entry;
        while (reader.next(entry)) {
            // Checked at every entry: one attribute read can be slow on a cold disk.
            if (cancelled_.load(std::memory_order_relaxed)) {
                fail(node);
                stop = true;
                break;
            }
            sizeEntry(node, entry, bytes, scratch);
            scratch.count();
        }
        push(scratch.batch);
        scratch.batch.clear();
    }
    node.bytes.fetch_add(bytes, std::memory_order_relaxed);
    closeEarly(node);
    letGo(node, Node::kReader);
}

// Counts one entry; marks the folder where the entry's attributes cannot be read.
void Job::sizeEntry(Node& node, const RawEntry& entry, std::uint64_t& bytes, Scratch& scratch) {
    if (entry.type == DT_DIR) {
        adopt(node, entry, scratch);
        return;
    }
    struct statx info;
    const int error = statx(node.fd, entry.name, kEntryFlags, kEntryMask, &info) == 0
                          ? 0
                          : statAgain(node.fd, entry.name, kEntryFlags, kEntryMask, info);
    if (error != 0) {
        // An entry gone since the folder was read is simply not counted.
        if (error != ENOENT) {
            fail(node, error);
        }
        return;
    }
    if (S_ISDIR(info.stx_mode)) {
        // A folder only counts as one when it was a folder as the directory was read.
        if (entry.type == DT_UNKNOWN) {
            adopt(node, entry, scratch);
        }
        return;
    }
    if (!isLeftOut(info)) {
        bytes += info.stx_size;
    }
}

// The report being written grows while it is sized; it must not count itself.
bool Job::isLeftOut(const struct statx& info) const {
    const std::vector<FileIdentity>& leftOut = request_.leftOut;
    if (leftOut.empty()) {
        return false;
    }
    const FileIdentity file{makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino};
    return std::find(leftOut.begin(), leftOut.end(), file) != leftOut.end();
}

// Takes a sub-folder in for reading; where memory runs out for it, the folder has no size.
void Job::adopt(Node& parent, const RawEntry& entry, Scratch& scratch) {
    const bool kept = parent.kept && entry.name[0] != '.';
    try {
        std::vector<Node*>& batch = scratch.batch;
        if (batch.size() == batch.capacity()) {
            batch.reserve(2 * batch.size() + 64);
        }
        auto child = std::make_unique<Node>(&parent, parent.root, entry.name, kept);
        if (kept) {
            parent.keptChildren.push_back(child.get());
        }
        batch.push_back(child.release());  // room was made above
    } catch (const std::bad_alloc&) {
        fail(parent, ENOMEM);
        return;
    }
    parent.pending.fetch_add(1, std::memory_order_relaxed);
    parent.fdUsers.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace dirtally::sizeengine
