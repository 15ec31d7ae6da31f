#include "platform/system/Counting.h"

#include <fnmatch.h>

namespace dirtally {

// A path pattern's "*" stops at a "/" (FNM_PATHNAME), so "/*/cache" means one level down only.
bool Counting::excludes(std::string_view name, std::string_view below) const {
    for (const std::string& pattern : exclude) {
        const bool path = isPathPattern(pattern);
        const std::string subject(path ? below : name);
        if (fnmatch(pattern.c_str(), subject.c_str(), path ? FNM_PATHNAME : 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace dirtally
