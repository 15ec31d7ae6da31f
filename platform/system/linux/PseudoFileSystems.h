#pragma once

#include <cstdint>

namespace dirtally {

// The statfs type of the file system the open `fd` lies on; 0 where it cannot be read.
std::uint32_t fileSystemOf(int fd);

// True for a kernel pseudo file system (proc, sysfs, cgroup, ...) whose "files" are views of
// kernel state rather than stored data, so sizing must not enter it.
bool isPseudoFileSystem(std::uint32_t fileSystem);

}  // namespace dirtally
