#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dirtally {

// The size of a folder: the sum of the apparent sizes of every non-directory entry beneath it.
// A folder any part of whose tree cannot be read has no size ("cannot be read"). Nor has one
// whose sizing ran out of a resource of the process or the system (open files, memory,
// threads) and could not go on: then `resourceError` keeps the errno that said so (EMFILE,
// ENFILE, ENOMEM or EAGAIN); it is 0 in every other size. Such a size is unknown, not missing,
// so a report must not pass it off as a folder that cannot be read. Where one part of a tree
// cannot be read and another ran out, the folder cannot be read: that holds either way.
struct FolderSize {
    bool readable = false;
    std::uint64_t bytes = 0;
    int resourceError = 0;
    // On another file system than the sizing's parent, when sizes stay on one
    // (Counting::oneFileSystem): neither entered nor counted, and not listed, as du -x leaves it.
    bool otherFileSystem = false;

    static FolderSize of(std::uint64_t b) { return {true, b, 0}; }
    static FolderSize unreadable() { return {false, 0, 0}; }
    static FolderSize outOfResources(int error) { return {false, 0, error}; }
    bool operator==(const FolderSize&) const = default;
};

// A report of a whole tree lists every folder beneath but those whose name starts with ".": such
// a folder, and all beneath it, is counted in the sizes of the folders above it and not listed.
inline bool listedInTree(std::string_view name) {
    return name.empty() || name.front() != '.';
}

// One folder beneath a sized root, kept when the caller asks for the folder tree (folders
// listedInTree only).
struct FolderNode {
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
    std::string name;                // the folder's own name, as bytes
    std::size_t parent = kNoParent;  // index of the parent node; kNoParent below the root itself
    FolderSize size;                 // as a root's, out of resources included
};

// A folder beneath a sized root that could not be read. `path` is relative to the sizing's
// parent and starts with the root's own name ("photos/2019/private"; a root named "" gives ""
// for itself and "x" for its folder x); `error` is the errno. A folder that ran out of a
// resource (EMFILE, ENFILE, ENOMEM, EAGAIN) is one too, so that the shortage can be named where
// it struck.
struct ReadFailure {
    std::string path;
    int error = 0;
};

// A sizing under way on worker threads. Destroying it cancels what is left and waits for the
// workers, leaving no thread or open handle behind.
class SizingJob {
  public:
    virtual ~SizingJob() = default;
    // Waits at most `timeout` for root i; true when its result is final.
    virtual bool wait(std::size_t root, std::chrono::milliseconds timeout) = 0;
    // Final result of root i (only after wait() returned true).
    virtual FolderSize result(std::size_t root) const = 0;
    // The folders beneath root i in pre-order and the file system's order (keepTree only).
    virtual const std::vector<FolderNode>& tree(std::size_t root) const = 0;
    // Every folder beneath root i, root included, that could not be read, at most once each and
    // in no fixed order (only after wait() returned true). A cancelled sizing names none that
    // only the cancel left unread.
    virtual std::vector<ReadFailure> failures(std::size_t root) const = 0;
    // Stops the sizing as soon as it can; roots not finished are then unreadable.
    virtual void cancel() = 0;
    // More roots after those there are, in the listing's order, for a request with moreRoots;
    // `last` says that no more will come. The roots are sized as they come, while the folder
    // that holds them is still being read.
    virtual void add(std::vector<std::string> roots, bool last) = 0;
};

}  // namespace dirtally
