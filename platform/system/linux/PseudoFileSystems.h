#pragma once

namespace dirtally {

// True when the open directory `fd` lies on a kernel pseudo file system (proc, sysfs, cgroup, ...)
// whose "files" are views of kernel state rather than stored data, so sizing must not enter it.
bool onPseudoFileSystem(int fd);

}  // namespace dirtally
