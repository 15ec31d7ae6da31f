#include "platform/system/linux/LinuxProcessInfo.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace dirtally {

namespace {

// readlink does not say whether it cut the name short, so grow the buffer until the name fits.
Path readLink(const char* link) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(link, buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            return Path(buffer.data(), static_cast<size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

Path parentFolder(const Path& path) {
    const auto slash = path.rfind('/');
    if (slash == Path::npos) {
        return {};
    }
    return slash == 0 ? Path("/") : path.substr(0, slash);
}

}  // namespace

Path LinuxProcessInfo::currentDirectory() {
    // glibc sizes the buffer itself and names folders deeper than the kernel's page-sized limit.
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) {
        return {};
    }
    Path result(cwd);
    ::free(cwd);
    return result;
}

Path LinuxProcessInfo::programFolder() {
    // A replaced executable reads as "<path> (deleted)"; the suffix only touches the file's own
    // name, never its folder.
    return parentFolder(readLink("/proc/self/exe"));
}

void LinuxProcessInfo::endProcess(int exitCode) {
    // Destructors of the window and its objects would run program code after the end.
    std::fflush(nullptr);
    ::_exit(exitCode);
}

}  // namespace dirtally
