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
    DirentReader reader(node.fd, {scratch.buffer.get(), Scratch::kBufferSize}, node.fileSystem);
    std::uint64_t bytes = 0;
    bool stop = false;
    scratch.place = 0;
    scratch.belowFolder = 0;
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
            ++scratch.place;
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
    if (!request_.counting.exclude.empty() && isExcluded(node, entry.name, scratch)) {
        return;
    }
    if (entry.type == DT_DIR) {
        adopt(node, entry, scratch);
        return;
    }
    struct statx info;
    const int error = statx(node.fd, entry.name, kEntryFlags, entryMask_, &info) == 0
                          ? 0
                          : statAgain(node.fd, entry.name, kEntryFlags, entryMask_, info);
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
    if (isLeftOut(info)) {
        return;
    }
    if (links_ && info.stx_nlink > 1) {
        meetLink(node, info, scratch.place);
        return;
    }
    bytes += request_.counting.diskUsage ? info.stx_blocks * 512 : info.stx_size;
}

// Matched at every entry, so the path reuses the worker's string: it allocates only where it
// grows past any before. Where memory runs out for the entry's path, the folder has no size.
bool Job::isExcluded(Node& node, const char* name, Scratch& scratch) try {
    std::string& below = scratch.below;
    if (pathPatterns_) {
        if (scratch.belowFolder == 0) {
            below = '/' + pathOf(node) + '/';
            scratch.belowFolder = below.size();
        }
        below.resize(scratch.belowFolder);
        below += name;
    }
    return request_.counting.excludes(name, pathPatterns_ ? below.c_str() : "");
} catch (const std::bad_alloc&) {
    fail(node, ENOMEM);
    return true;
}

// A file linked more than once counts where the links have their first place: the folder in hand
// when that is this place, the nearest listed folder above it otherwise. Where memory runs out
// for the place, the folder has no size.
void Job::meetLink(Node& node, const struct statx& info, std::uint32_t place) try {
    std::vector<std::uint32_t> key{place};
    Node* holder = nullptr;
    for (Node* folder = &node; folder; folder = folder->parent) {
        key.push_back(folder->parent ? folder->place : static_cast<std::uint32_t>(folder->root));
        if (!holder && (folder->kept || !folder->parent)) {
            holder = folder;
        }
    }
    std::reverse(key.begin(), key.end());
    links_->meet({makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino},
                 request_.counting.diskUsage ? info.stx_blocks * 512 : info.stx_size,
                 std::move(key), holder);
} catch (const std::bad_alloc&) {
    fail(node, ENOMEM);
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
        child->place = scratch.place;
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
