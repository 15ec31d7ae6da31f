#include "mainwindow/ReportFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/LongPath.h"

namespace dirtally {

namespace {
// Reached from a signal handler, which can see nothing but process-wide state.
std::atomic<int> openReportFd{-1};

extern "C" void endOnSignal(int) {
    const int fd = openReportFd.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
    ::_exit(0);
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
}  // namespace

ReportFile::ReportFile() = default;

ReportFile::~ReportFile() {
    close();
}

QIODevice* ReportFile::open(const Path& path, QString* error) {
    close();
    // O_NONBLOCK keeps a FIFO without a reader from freezing the window; a report is a plain file.
    const int fd =
        openLongPath(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        *error = errnoText(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        *error = QStringLiteral("It is not an ordinary file.");
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        *error = file_.errorString();
        ::close(fd);
        return nullptr;
    }
    openReportFd = fd;
    return &file_;
}

void ReportFile::close() {
    if (file_.isOpen()) {
        openReportFd = -1;
        file_.close();
    }
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
