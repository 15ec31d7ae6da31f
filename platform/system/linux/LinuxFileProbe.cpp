#include "platform/system/linux/LinuxFileProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/FileDescriptor.h"
#include "platform/system/LongPath.h"

namespace dirtally {

bool LinuxFileProbe::isRegularFile(const Path& path) {
    const FileDescriptor fd(path.empty() ? -1 : openLongPath(path, O_PATH | O_CLOEXEC));
    struct stat st {};
    return fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace dirtally
