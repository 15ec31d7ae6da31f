#include "platform/system/linux/DirentReader.h"

#include <dirent.h>
#include <sys/types.h>

#include <cerrno>

namespace dirtally {

namespace {

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

bool DirentReader::fill() {
    position_ = 0;
    length_ = 0;
    const ssize_t n = getdents64(fd_, buffer_.data(), buffer_.size());
    if (n < 0) {
        // A directory removed while it is read simply has no more entries.
        error_ = errno != ENOENT ? errno : 0;
        return false;
    }
    error_ = 0;
    length_ = static_cast<std::size_t>(n);
    return n > 0;
}

bool DirentReader::next(RawEntry& entry) {
    while (position_ < length_) {
        const auto* record = reinterpret_cast<const dirent64*>(buffer_.data() + position_);
        position_ += record->d_reclen;
        if (isDotOrDotDot(record->d_name)) {
            continue;
        }
        entry.name = record->d_name;
        entry.type = record->d_type;
        entry.ino = record->d_ino;
        return true;
    }
    return false;
}

}  // namespace dirtally
