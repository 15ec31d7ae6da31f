#include "platform/system/ReportFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <string_view>

#include "platform/system/LongPath.h"
#include "platform/system/SystemError.h"
#include "platform/system/TerminationSignals.h"

namespace dirtally {

namespace {
// A path as the folder that holds it and the name in that folder.
struct Split {
    Path folder;
    std::string name;
};

Split split(const Path& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

constexpr int kListFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool namesAFolder(const std::string& name) {
    return name.empty() || name == "." || name == "..";
}

int openFolder(const Path& folder) {
    return openLongPath(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

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
    if (S_ISLNK(mode)) {
        return QStringLiteral("It is a symbolic link; Dirtally does not write through links.");
    }
    return QStringLiteral("It is not an ordinary file.");
}

// Why `name` in the folder `at` could not be opened; `follow`: as open() without O_NOFOLLOW.
QString refusal(int at, const std::string& name, int error, bool follow) {
    struct stat st {};
    if (error == ELOOP && !follow) {
        return notAFile(S_IFLNK);  // O_NOFOLLOW met a link
    }
    if ((error == ENXIO || error == EISDIR) &&
        ::fstatat(at, name.c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0) {
        return notAFile(st.st_mode);
    }
    return systemErrorText(error);
}

// Follows the links of a path the user named, as open() would, to the file a report replaces.
// True when a link of the proc file system was met (/dev/stdout, /dev/fd/N): the path then names
// an open file of a process, which is written in place. A path that cannot be followed is left
// for the open to report.
bool followLinks(Path& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return false;
        }
        const Split at = split(path);
        struct statfs fs {};
        if (::statfs(at.folder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
            return true;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0) {
            return false;
        }
        const Path next(target, static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : at.folder + '/' + next;
    }
    return false;
}

constexpr std::size_t kStemName = 200;
constexpr int kRandomLetters = 6;

// The start of a temporary file's name, which says whose file it is and that it is not finished;
// short enough for any report's temporary file to fit in a folder entry.
std::string temporaryStem(const std::string& name) {
    return '.' + name.substr(0, kStemName) + ".dirtally-unfinished-";
}

// A name no one else uses.
int createTemporary(int at, const std::string& name, std::string* temporary) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = temporaryStem(name);
        for (int i = 0; i < kRandomLetters; ++i) {
            *temporary += kLetters[QRandomGenerator::system()->bounded(int(sizeof kLetters) - 1)];
        }
        const int fd =
            ::openat(at, temporary->c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Removes what runs of this report that were ended outright (SIGKILL, a power cut) left behind:
// with the lock held, no run writes them. A stem cut short may be another report's: kept.
void removeLeftovers(int at, const std::string& name) {
    const std::string stem = temporaryStem(name);
    const int fd = name.size() <= kStemName ? ::openat(at, ".", kListFlags) : -1;
    DIR* folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!folder) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view found(entry->d_name);
        if (found.size() == stem.size() + kRandomLetters && found.starts_with(stem)) {
            ::unlinkat(at, entry->d_name, 0);
        }
    }
    ::closedir(folder);
}
}  // namespace

bool ReportFile::lock(int folderFd, const std::string& name, QString* error) {
    if (lock_.take(folderFd, name)) {
        return true;
    }
    *error = errno == EADDRINUSE
                 ? QStringLiteral("Another run of Dirtally is writing this report now.")
                 : systemErrorText(errno);
    return false;
}

bool ReportFile::adopt(int fd, QString* error) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        files_.push_back({st.st_dev, st.st_ino});
    }
    const bool ours = fd != STDOUT_FILENO;
    linesBeforeYield_ = ::isatty(fd) == 1;
    if (!open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
              ours ? QFileDevice::AutoCloseHandle : QFileDevice::DontCloseHandle)) {
        *error = errorString();
        if (ours) {
            ::close(fd);
        }
        return false;
    }
    return true;
}

std::unique_ptr<ReportFile> ReportFile::openInPlace(const Path& path, QString* error) {
    const Split split = dirtally::split(path);
    const FileDescriptor folder(openFolder(split.folder));
    std::unique_ptr<ReportFile> file(new ReportFile);
    if (!folder.valid() || namesAFolder(split.name)) {
        *error = folder.valid() ? notAFile(S_IFDIR) : systemErrorText(errno);
        return nullptr;
    }
    if (!file->lock(folder.get(), split.name, error)) {
        return nullptr;
    }
    // Someone else may have planted a link where the report goes, to a file of the user's: the
    // report never follows a link, and nothing is emptied before it is known to be a plain file.
    // O_NONBLOCK keeps a FIFO without a reader from freezing the program.
    const int fd =
        ::openat(folder.get(), split.name.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        *error = refusal(folder.get(), split.name, errno, false);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? systemErrorText(errno) : notAFile(st.st_mode);
        closeKeepingErrno(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file->adopt(fd, error)) {
        return nullptr;
    }
    file->linesBeforeYield_ = true;
    file->emptyBeforeWriting_ = true;
    return file;
}

qint64 ReportFile::writeData(const char* data, qint64 length) {
    if (emptyBeforeWriting_) {
        if (::ftruncate(static_cast<int>(handle()), 0) != 0) {
            setErrorString(systemErrorText(errno));
            return -1;
        }
        emptyBeforeWriting_ = false;
    }
    const qint64 written = QFile::writeData(data, length);
    if (written > 0 && writeback_) {
        startWriteback(written);
    }
    return written;
}

// ext4 writes a file renamed over another out before the rename returns, so that a crash leaves
// one report or the other, never an empty one: a large report handed to the disk only then keeps
// the run waiting at its end, 20 ms for 20 MB. Started every few MiB as the report is written, the
// writeback goes on beside the run, in chunks large enough to cost no more than at the end.
void ReportFile::startWriteback(qint64 written) {
    constexpr off_t kChunk = off_t{4} << 20;
    written_ += written;
    if (written_ - handedOver_ >= kChunk) {
        ::sync_file_range(static_cast<int>(handle()), handedOver_, written_ - handedOver_,
                          SYNC_FILE_RANGE_WRITE);
        handedOver_ = written_;
    }
}

namespace {
// A device, a FIFO or a pipe the user named is written where it is, as Unix tools write it: a
// FIFO waits for its reader. A plain file is emptied only when it is reached this way (through
// /dev/stdout), since it then has no folder to put a new file in.
int openNamedInPlace(const Path& path, QString* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)) {
        *error = fd < 0 ? refusal(AT_FDCWD, path, errno, true) : systemErrorText(errno);
        if (fd >= 0) {
            closeKeepingErrno(fd);
        }
        return -1;
    }
    return fd;
}
}  // namespace

std::unique_ptr<ReportFile> ReportFile::openReplacing(const Path& given, Place place,
                                                      QString* error) {
    std::unique_ptr<ReportFile> file(new ReportFile);
    Path path = given;
    if (place == Place::NamedByUser && followLinks(path)) {
        const int fd = openNamedInPlace(given, error);
        return fd >= 0 && file->adopt(fd, error) ? std::move(file) : nullptr;
    }
    const Split split = dirtally::split(path);
    FileDescriptor folder(openFolder(split.folder));
    struct stat old {};
    if (!folder.valid() || namesAFolder(split.name)) {
        *error = folder.valid() ? notAFile(S_IFDIR) : systemErrorText(errno);
        return nullptr;
    }
    const bool exists = ::fstatat(folder.get(), split.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) {
        *error = systemErrorText(errno);
        return nullptr;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        if (place == Place::InFolder || S_ISDIR(old.st_mode)) {
            *error = notAFile(old.st_mode);
            return nullptr;
        }
        const int fd = openNamedInPlace(path, error);
        return fd >= 0 && file->adopt(fd, error) ? std::move(file) : nullptr;
    }
    return file->startReplacing(std::move(folder), split.name, exists ? &old : nullptr, error)
               ? std::move(file)
               : nullptr;
}

bool ReportFile::startReplacing(FileDescriptor folder, const std::string& name,
                                const struct stat* old, QString* error) {
    if (!lock(folder.get(), name, error)) {
        return false;
    }
    removeLeftovers(folder.get(), name);
    std::string temporary;
    const int fd = createTemporary(folder.get(), name, &temporary);
    if (fd < 0) {
        *error = systemErrorText(errno);
        return false;
    }
    if (old) {
        writeback_ = true;
        files_.push_back({old->st_dev, old->st_ino});
        // The report keeps its owner where that is allowed (root's cron job writing a user's
        // report), and its mode.
        [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
        ::fchmod(fd, old->st_mode & 07777);
    }
    folder_ = std::move(folder);
    name_ = name;
    temporary_ = temporary;
    TerminationSignals::removeOnSignal(folder_.get(), temporary_.c_str());
    return adopt(fd, error);
}

std::unique_ptr<ReportFile> ReportFile::openStandardOutput(QString* error) {
    std::unique_ptr<ReportFile> file(new ReportFile);
    return file->adopt(STDOUT_FILENO, error) ? std::move(file) : nullptr;
}

bool ReportFile::finish(QString* error) {
    if (temporary_.empty()) {
        return true;
    }
    if (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0) {
        *error = systemErrorText(errno);
        return false;
    }
    TerminationSignals::removeOnSignal(-1, "");
    temporary_.clear();
    return true;
}

ReportFile::~ReportFile() {
    if (!temporary_.empty()) {
        TerminationSignals::removeOnSignal(-1, "");
        ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    }
}

}  // namespace dirtally
