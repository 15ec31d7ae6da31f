// The floor the report command is measured against: the least a walk of a tree can do to add up
// its files' apparent sizes. Two threads, one getdents64 per batch of entries and one statx per
// entry that is not a folder (a folder's type comes from d_type), nothing written but the total.
// The sub-folders of each batch are handed to the other thread at once, so that a wide folder is
// not read by one thread while the other waits for the whole of it. An openat2 that stays on the
// mount, as the engine opens folders, was measured to cost what this openat costs. On ext4, as in
// the engine, a listing whose last record carries ext4's end offset is known to be whole without
// the call that would return nothing.
// It keeps none of the rules the engine keeps (mounts, loops, unreadable folders, depth without
// handles): it is the cost of the system calls alone.
//
//   floorwalk FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 2;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// An open folder whose sub-folders are still to be opened: it closes when the last one is.
struct Folder {
    explicit Folder(int handle) : fd(handle) {}
    ~Folder() { ::close(fd); }
    int fd;
};

struct Pending {
    std::shared_ptr<Folder> parent;
    std::string name;
};

class Walk {
  public:
    explicit Walk(int root) {
        struct statfs info {};
        ext4_ = fstatfs(root, &info) == 0 && info.f_type == EXT4_SUPER_MAGIC;
        stack_.push_back({std::make_shared<Folder>(root), "."});
    }

    void work() {
        std::vector<char> buffer(64 * 1024);
        std::uint64_t bytes = 0;
        Pending next;
        while (take(next)) {
            const int fd = ::openat(next.parent->fd, next.name.c_str(), kFolderFlags);
            next.parent.reset();
            if (fd >= 0) {
                read(std::make_shared<Folder>(fd), buffer, bytes);
            }
            done();
        }
        total_ += bytes;
    }

    std::uint64_t total() const { return total_; }

  private:
    void read(const std::shared_ptr<Folder>& folder, std::vector<char>& buffer,
              std::uint64_t& bytes) {
        std::vector<Pending> found;
        bool whole = false;
        ssize_t n;
        while (!whole && (n = ::getdents64(folder->fd, buffer.data(), buffer.size())) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
                at += entry->d_reclen;
                whole = ext4_ && at == n && entry->d_off == std::numeric_limits<off64_t>::max();
                const std::string_view name(entry->d_name);
                if (name == "." || name == "..") {
                    continue;
                }
                if (entry->d_type == DT_DIR) {
                    found.push_back({folder, std::string(name)});
                    continue;
                }
                struct statx info {};
                if (::statx(folder->fd, entry->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                            STATX_SIZE | STATX_TYPE, &info) == 0) {
                    if (S_ISDIR(info.stx_mode)) {
                        found.push_back({folder, std::string(name)});
                    } else {
                        bytes += info.stx_size;
                    }
                }
            }
            if (!found.empty()) {
                const std::lock_guard lock(mutex_);
                for (Pending& pending : found) {
                    stack_.push_back(std::move(pending));
                }
                found.clear();
                ready_.notify_all();
            }
        }
    }

    bool take(Pending& next) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !stack_.empty() || busy_ == 0; });
        if (stack_.empty()) {
            return false;
        }
        next = std::move(stack_.back());
        stack_.pop_back();
        ++busy_;
        return true;
    }

    void done() {
        const std::lock_guard lock(mutex_);
        if (--busy_ == 0 && stack_.empty()) {
            ready_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Pending> stack_;
    int busy_ = 0;
    bool ext4_ = false;
    std::atomic<std::uint64_t> total_{0};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: floorwalk FOLDER\n");
        return 2;
    }
    const int root = ::open(argv[1], kFolderFlags);
    if (root < 0) {
        std::perror(argv[1]);
        return 1;
    }
    Walk walk(root);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] { walk.work(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::printf("bytes %llu\n", static_cast<unsigned long long>(walk.total()));
    return 0;
}
