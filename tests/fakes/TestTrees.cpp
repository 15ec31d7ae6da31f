#include "TestTrees.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace dirtally::testtree {

namespace {

void check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error(what + ": " + std::strerror(errno));
    }
}

// Entries of a folder in readdir's order, without "." and "..".
bool listFolder(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    const bool ok = errno == 0;
    closedir(dir);
    return ok;
}

// Whether `how` leaves out the entry at `path` (of a folder beneath how->parent), and what a
// file there adds.
bool leftOut(const std::string& path, const struct stat& info, ReferenceCounting* how) {
    if (!how) {
        return false;
    }
    struct stat top {};
    lstat(how->parent.c_str(), &top);
    const std::string below = path.substr(how->parent.size());
    return how->counting.excludes(below.substr(below.rfind('/') + 1).c_str(), below.c_str()) ||
           (how->counting.oneFileSystem && info.st_dev != top.st_dev);
}
std::uint64_t adds(const struct stat& info, ReferenceCounting* how) {
    if (how && how->counting.linksOnce && info.st_nlink > 1 &&
        !how->met.insert({info.st_dev, info.st_ino}).second) {
        return 0;
    }
    return static_cast<std::uint64_t>(how && how->counting.diskUsage ? info.st_blocks * 512
                                                                     : info.st_size);
}

// Adds the kept folders beneath `path` to `tree`; returns the size of `path`.
FolderSize walk(const std::string& path, std::vector<FolderNode>* tree, std::size_t parent,
                ReferenceCounting* how) {
    std::vector<std::string> names;
    bool readable = listFolder(path, names);
    std::uint64_t bytes = 0;
    for (const std::string& name : names) {
        const std::string child = path + "/" + name;
        struct stat info {};
        if (lstat(child.c_str(), &info) != 0) {
            readable = false;
        } else if (leftOut(child, info, how)) {
            // neither counted nor entered
        } else if (!S_ISDIR(info.st_mode)) {
            bytes += adds(info, how);
        } else {
            const bool kept = tree && listedInTree(name);
            const std::size_t index = kept ? tree->size() : 0;
            if (kept) {
                tree->push_back({name, parent, {}});
            }
            const FolderSize size = walk(child, kept ? tree : nullptr, index, how);
            if (kept) {
                (*tree)[index].size = size;
            }
            readable = readable && size.readable;
            bytes += size.bytes;
        }
    }
    return readable ? FolderSize::of(bytes) : FolderSize::unreadable();
}

// Folders a case shut are opened again, so that an ordinary user can remove them too.
void openUp(const std::string& path) {
    chmod(path.c_str(), 0700);
    std::vector<std::string> names;
    listFolder(path, names);
    for (const std::string& name : names) {
        struct stat info {};
        if (lstat((path + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            openUp(path + "/" + name);
        }
    }
}

}  // namespace

Scratch::Scratch(bool fast) : path_(dir_.path().toStdString()) {
    if (fast) {
        const std::string mountPoint = path_ + "/fast";
        makeFolder(mountPoint);
        mounted_ = mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "mode=0755") == 0;
        path_ = mountPoint;
    }
}

Scratch::~Scratch() {
    if (mounted_) {
        umount2(path_.c_str(), MNT_DETACH);
        return;
    }
    openUp(path_);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void makeFolder(const std::string& path) {
    check(mkdir(path.c_str(), 0755) == 0, path);
}

void makeFile(const std::string& path, std::uint64_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, path);
    const bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    check(ok, path);
}

void makeLinks(const std::string& folder, int count, const std::string& source) {
    for (int i = 0; i < count; ++i) {
        const std::string name = folder + "/" + std::to_string(i);
        check(link(source.c_str(), name.c_str()) == 0, name);
    }
}

FolderSize referenceSize(const std::string& path, ReferenceCounting* how) {
    return walk(path, nullptr, 0, how);
}

std::vector<FolderNode> referenceTree(const std::string& path, ReferenceCounting* how) {
    std::vector<FolderNode> tree;
    walk(path, &tree, FolderNode::kNoParent, how);
    return tree;
}

std::vector<DirEntry> referenceEntries(const std::string& path) {
    std::vector<std::string> names;
    listFolder(path, names);
    std::vector<DirEntry> entries;
    for (const std::string& name : names) {
        struct stat info {};
        const bool known = lstat((path + "/" + name).c_str(), &info) == 0;
        entries.push_back({name, !known                  ? DirEntry::Kind::Unknown
                                 : S_ISDIR(info.st_mode) ? DirEntry::Kind::Directory
                                                         : DirEntry::Kind::Other});
    }
    return entries;
}

void makeChain(const std::string& parent, const char* name, int depth, std::uint64_t leafBytes) {
    int fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(fd >= 0, parent);
    for (int level = 0; level < depth; ++level) {
        check(mkdirat(fd, name, 0755) == 0, "mkdirat");
        const int next = openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        check(fd >= 0, "openat");
    }
    const int file = openat(fd, "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const bool ok = file >= 0 && ftruncate(file, static_cast<off_t>(leafBytes)) == 0;
    close(file);
    close(fd);
    check(ok, "leaf");
}

// Lifts the chain one level at a time: parent/name/name becomes parent/.lift, the emptied
// parent/name goes, and .lift takes its name; every path stays short.
void removeChain(const std::string& parent, const char* name) {
    const int fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(fd >= 0, parent);
    const std::string inner = std::string(name) + "/" + name;
    const std::string leaf = std::string(name) + "/leaf";
    while (renameat(fd, inner.c_str(), fd, ".lift") == 0) {
        unlinkat(fd, leaf.c_str(), 0);
        check(unlinkat(fd, name, AT_REMOVEDIR) == 0, "rmdir");
        check(renameat(fd, ".lift", fd, name) == 0, "rename");
    }
    unlinkat(fd, leaf.c_str(), 0);
    unlinkat(fd, name, AT_REMOVEDIR);
    close(fd);
}

int runUnprivileged(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
             setresuid(kNobody, kNobody, kNobody) != 0)) {
            _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Descriptors come lowest number first: the limit goes just past the `spare` lowest free ones.
bool leaveOpenFiles(std::size_t spare) {
    std::vector<int> taken;
    while (taken.size() <= spare) {
        taken.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
    }
    for (const int fd : taken) {
        close(fd);
    }
    struct rlimit limit {};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(taken.back());
    return taken.back() >= 0 && setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// The user's processes and threads are counted by probing: a thread first starts when the limit
// passes that count.
bool leaveThreads(std::size_t spare) {
    struct rlimit limit {};
    getrlimit(RLIMIT_NPROC, &limit);
    const rlim_t most = limit.rlim_max;
    for (limit.rlim_cur = 1; limit.rlim_cur < std::min<rlim_t>(most, 1 << 20); ++limit.rlim_cur) {
        setrlimit(RLIMIT_NPROC, &limit);
        try {
            std::thread([] {}).join();
        } catch (const std::system_error&) {
            continue;
        }
        // Started with the limit at 1 means the limit is not applied to this process.
        limit.rlim_cur += static_cast<rlim_t>(spare) - 1;
        return limit.rlim_cur > static_cast<rlim_t>(spare) && setrlimit(RLIMIT_NPROC, &limit) == 0;
    }
    return false;
}

std::size_t openFileCount() {
    const auto it = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(it, std::filesystem::directory_iterator()));
}

std::size_t threadCount() {
    const auto it = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<std::size_t>(std::distance(it, std::filesystem::directory_iterator()));
}

FolderSize sizeOf(FolderInfo& engine, const std::string& parent, const std::string& name) {
    auto job = engine.start({parent, {name}, false});
    if (!job->wait(0, std::chrono::seconds(60))) {
        throw std::runtime_error("sizing did not finish: " + parent + "/" + name);
    }
    return job->result(0);
}

}  // namespace dirtally::testtree
