#include "platform/system/linux/ReportLock.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QCryptographicHash>
#include <cstdio>
#include <cstring>

namespace dirtally {

// The lock is a socket bound in Linux's abstract namespace, under a name made of the folder's
// device and inode and a hash of the report's name: a second bind of the name fails, the name
// goes with the last socket, and nothing is left on disk. A lock file would need a stable file
// that is not the report (the report is replaced by a rename, and a lock on it stays with the
// old file), written into a folder another user may own, and left behind. (The namespace is a
// network namespace's: runs in two containers are not kept apart.) The folder's identity,
// not its path, makes every path to one report (a link, a bind mount) meet at one lock.
bool ReportLock::take(int folderFd, const std::string& name) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0) {
        return false;
    }
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(name), QCryptographicHash::Sha256)
            .toHex()
            .left(40);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays 0: the abstract namespace.
    const int length = std::snprintf(
        address.sun_path + 1, sizeof address.sun_path - 1, "dirtally-report/%llx/%llx/%s",
        static_cast<unsigned long long>(folder.st_dev),
        static_cast<unsigned long long>(folder.st_ino), hash.constData());
    socket_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) {
        return false;
    }
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        socket_.reset();
        return false;
    }
    return true;
}

}  // namespace dirtally
