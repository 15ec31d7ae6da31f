#include "platform/system/linux/PseudoFileSystems.h"

#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace dirtally {

namespace {

// Magic numbers of the pseudo file systems; the few that <linux/magic.h> lacks are spelled out.
constexpr std::array<std::uint32_t, 19> kPseudoMagics = {
    PROC_SUPER_MAGIC, SYSFS_MAGIC,    CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, DEVPTS_SUPER_MAGIC,
    DEBUGFS_MAGIC,    TRACEFS_MAGIC,  SECURITYFS_MAGIC,   PSTOREFS_MAGIC,      BPF_FS_MAGIC,
    BINFMTFS_MAGIC,   EFIVARFS_MAGIC, SELINUX_MAGIC,      SMACK_MAGIC,         NSFS_MAGIC,
    0x62656570u,  // configfs
    0x65735543u,  // fusectl
    0x19800202u,  // mqueue
    0x67596969u,  // rpc_pipefs
};

}  // namespace

std::uint32_t fileSystemOf(int fd) {
    struct statfs info {};
    return fstatfs(fd, &info) == 0 ? static_cast<std::uint32_t>(info.f_type) : 0;
}

bool isPseudoFileSystem(std::uint32_t fileSystem) {
    return std::find(kPseudoMagics.begin(), kPseudoMagics.end(), fileSystem) != kPseudoMagics.end();
}

}  // namespace dirtally
