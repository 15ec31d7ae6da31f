#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dirtally {

// What a sizing counts. The defaults count as the window always has: apparent sizes, every hard
// link at every place, every real file system beneath.
struct Counting {
    bool diskUsage = false;      // the space allocated (st_blocks x 512), not the apparent size
    bool oneFileSystem = false;  // folders on another file system are neither entered nor counted
    bool linksOnce = false;      // a file with several links counts once, at its first place
    // Shell patterns (fnmatch) of what is neither counted, listed nor entered: matched against an
    // entry's name, or, when the pattern starts with "/", against its path below the folder.
    std::vector<std::string> exclude{};

    // Whether an entry is left out: `name` is its own name, `below` its path below the folder,
    // starting with "/" ("/photos/2019"), which only path patterns read (see hasPathPatterns).
    bool excludes(const char* name, const char* below) const;
    // Whether a pattern is matched against the path below the folder, not the name.
    static bool isPathPattern(std::string_view pattern) {
        return !pattern.empty() && pattern.front() == '/';
    }
    bool hasPathPatterns() const;

    bool operator==(const Counting&) const = default;
};

}  // namespace dirtally
