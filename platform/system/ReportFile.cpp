#include "platform/system/ReportFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/system/FileDescriptor.h"
#include "platform/system/LongPath.h"
#include "platform/system/SystemError.h"

namespace dirtally {

namespace {
// Reached from a signal handler, which can see nothing but process-wide state.
std::atomic<int> openReportFd{-1};

QString notAFile(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("It is a folder, not an ordinary file.");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("It is a FIFO (a named pipe), not an ordinary file.");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("It is a socket, not an ordinary file.");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("It is a device, not an ordinary file.");
    }
    return QStringLiteral("It is not an ordinary file.");
}

extern "C" void endOnSignal(int signal) {
    const int fd = openReportFd.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
    ::_exit(128 + signal);
}

// Why a path that could not be opened is no place for the report.
QString refusal(const Path& path, int error) {
    struct stat st {};
    if (error == ELOOP) {
        // O_NOFOLLOW met a link in the last component.
        return QStringLiteral("It is a symbolic link; Dirtally does not write through links.");
    }
    if ((error == ENXIO || error == EISDIR) && ::lstat(path.c_str(), &st) == 0) {
        return notAFile(st.st_mode);
    }
    return systemErrorText(error);
}
}  // namespace

std::unique_ptr<ReportFile> ReportFile::openReport(const Path& path, QString* error) {
    // Someone else may have planted a link where the report goes, to a file of the user's: the
    // report never follows a link, and nothing is emptied before it is known to be a plain file.
    // O_NONBLOCK keeps a FIFO without a reader from freezing the program.
    const int fd = openLongPath(
        path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        *error = refusal(path, errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        *error = S_ISREG(st.st_mode) ? systemErrorText(errno) : notAFile(st.st_mode);
        closeKeepingErrno(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<ReportFile> file(new ReportFile);
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        *error = file->errorString();
        ::close(fd);
        return nullptr;
    }
    openReportFd = fd;
    return file;
}

ReportFile::~ReportFile() {
    openReportFd = -1;
}

void ReportFile::closeOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace dirtally
