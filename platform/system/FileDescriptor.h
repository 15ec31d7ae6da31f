#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace dirtally {

// Closes `fd` and leaves errno as it was, so that the caller can still report the failure that
// made it give the descriptor up.
inline void closeKeepingErrno(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

// An open file descriptor, closed (errno kept) when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            closeKeepingErrno(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

}  // namespace dirtally
