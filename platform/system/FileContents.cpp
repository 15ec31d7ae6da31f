#include "platform/system/FileContents.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/FileDescriptor.h"
#include "platform/system/SystemError.h"

namespace dirtally {

std::optional<QByteArray> fileContents(const Path& path, QString* error) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    QByteArray contents;
    char buffer[64 * 1024];
    while (file.valid()) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got == 0) {
            return contents;
        }
        if (got > 0) {
            contents.append(buffer, got);
        } else if (errno != EINTR) {
            break;
        }
    }
    *error = systemErrorText(errno);
    return std::nullopt;
}

}  // namespace dirtally
