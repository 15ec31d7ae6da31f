#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/system/linux/SizingWalk.h"

namespace dirtally::sizing {

namespace {

constexpr int kEntryFlags = AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC | AT_NO_AUTOMOUNT;

}  // namespace

void Walk::process(Node& node, Scratch& scratch) {
    // Once a root is known to be unreadable, nothing more beneath it changes its result.
    const bool abandoned =
        cancelled_.load(std::memory_order_relaxed) ||
        (!request_.keepTree && rootFailed_[node.root].load(std::memory_order_relaxed));
    if (abandoned) {
        fail(node);
        if (node.parent) {
            letGo(*node.parent);
        }
    } else if (enter(node, scratch)) {
        read(node, scratch);
    }
    done(node);
}

void Walk::read(Node& node, Scratch& scratch) {
    DirentReader reader(node.fd, {scratch.buffer.get(), Scratch::kBufferSize});
    std::uint64_t bytes = 0;
    bool readable = true;
    bool stop = false;
    while (!stop && reader.fill()) {
        RawEntry entry;
        while (reader.next(entry)) {
            // Checked at every entry: one attribute read can be slow on a cold disk.
            if (cancelled_.load(std::memory_order_relaxed)) {
                readable = false;
                stop = true;
                break;
            }
            if (!sizeEntry(node, entry, bytes, scratch)) {
                readable = false;
                // A kept tree still wants the sizes of the sub-folders beside the fault.
                stop = !request_.keepTree;
                if (stop) {
                    break;
                }
            }
        }
        push(scratch.batch);
        scratch.batch.clear();
    }
    node.bytes.fetch_add(bytes, std::memory_order_relaxed);
    if (!readable || reader.failed()) {
        fail(node);
    }
    closeEarly(node);
    letGo(node);
}

bool Walk::sizeEntry(Node& node, const RawEntry& entry, std::uint64_t& bytes, Scratch& scratch) {
    if (entry.type == DT_DIR) {
        adopt(node, entry, scratch);
        return true;
    }
    struct statx info;
    if (statx(node.fd, entry.name, kEntryFlags, STATX_TYPE | STATX_SIZE, &info) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(info.stx_mode)) {
        // A folder only counts as one when it was a folder as the directory was read.
        if (entry.type == DT_UNKNOWN) {
            adopt(node, entry, scratch);
        }
        return true;
    }
    bytes += info.stx_size;
    return true;
}

void Walk::adopt(Node& parent, const RawEntry& entry, Scratch& scratch) {
    const bool kept = parent.kept && entry.name[0] != '.';
    Node* child = new Node(&parent, parent.root, entry.name, kept);
    child->ino = entry.ino;
    if (kept) {
        parent.keptChildren.push_back(child);
    }
    parent.pending.fetch_add(1, std::memory_order_relaxed);
    parent.fdUsers.fetch_add(1, std::memory_order_relaxed);
    scratch.batch.push_back(child);
}

}  // namespace dirtally::sizing
