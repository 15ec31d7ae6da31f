#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace dirtally::sizeengine {

// One folder of a sizing. A node lives until its whole subtree is counted (or, when the caller
// keeps the folder tree, until its root is done), so the nodes alive at any time are the folders
// on the paths being walked and the siblings waiting beside them: depth times breadth, never the
// number of files.
struct Node {
    Node(Node* up, std::size_t rootIndex, std::string_view ownName, bool keep)
        : parent(up), root(rootIndex), name(ownName), kept(keep) {}

    Node* const parent;  // nullptr for a root
    const std::size_t root;
    const std::string name;
    const bool kept;     // becomes a node of the caller's folder tree
    bool named = false;  // its own failure is on the root's list; only its reading sets it
    // Left out for lying on another file system (Counting::oneFileSystem); only its opening sets
    // it.
    bool otherFileSystem = false;
    std::uint32_t place = 0;  // its entry's place in its parent's listing (see Links)
    // The statfs type of its file system (0 where unknown), for reading it; only its opening
    // sets it.
    std::uint32_t fileSystem = 0;

    // What the kernel reports for the open folder, taken only where it is needed: where a mount
    // may start, and where the handle is closed before every sub-folder is opened through it
    // (they reopen it by name, and check that it is still this folder). Set once; `identified`
    // publishes it.
    std::atomic<bool> identified{false};
    dev_t dev = 0;
    ino_t ino = 0;

    // The open folder, shared by its own reading and by the children not yet opened from it;
    // closed when the last of them lets go (or early, when too many folders are open at once).
    // The reading's share weighs kReader, so that the count alone tells whether the handle is
    // still being read, at no cost to the reading.
    static constexpr std::uint32_t kReader = 1u << 31;
    std::shared_mutex fdLock;
    int fd = -1;
    std::atomic<std::uint32_t> fdUsers{0};

    // What keeps the folder from having a size: 0 for nothing, the errno of a resource that ran
    // out beneath it, or kUnreadable, which outranks any errno.
    static constexpr int kUnreadable = 1 << 30;

    // The node's own reading plus its children not yet counted.
    std::atomic<std::uint32_t> pending{1};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<int> fault{0};

    // Kept sub-folders in the file system's order; owned by this node until the tree is built.
    std::vector<Node*> keptChildren;
};

}  // namespace dirtally::sizeengine
