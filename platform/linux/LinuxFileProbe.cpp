#include "platform/linux/LinuxFileProbe.h"

#include <sys/stat.h>

namespace dirtally {

bool LinuxFileProbe::isRegularFile(const Path& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace dirtally
