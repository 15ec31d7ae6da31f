#include "platform/system/Counting.h"

#include <fnmatch.h>

#include <algorithm>

namespace dirtally {

// A path pattern's "*" stops at a "/" (FNM_PATHNAME), so "/*/cache" means one level down only.
bool Counting::excludes(const char* name, const char* below) const {
    for (const std::string& pattern : exclude) {
        const bool path = isPathPattern(pattern);
        if (fnmatch(pattern.c_str(), path ? below : name, path ? FNM_PATHNAME : 0) == 0) {
            return true;
        }
    }
    return false;
}

bool Counting::hasPathPatterns() const {
    return std::any_of(exclude.begin(), exclude.end(), isPathPattern);
}

}  // namespace dirtally
