#include "platform/linux/LinuxFileProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/LongPath.h"

namespace dirtally {

bool LinuxFileProbe::isRegularFile(const Path& path) {
    const int fd = path.empty() ? -1 : openLongPath(path, O_PATH | O_CLOEXEC);
    struct stat st {};
    const bool regular = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (fd >= 0) {
        ::close(fd);
    }
    return regular;
}

}  // namespace dirtally
