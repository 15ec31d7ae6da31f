#include "platform/system/linux/DirentReader.h"

#include <dirent.h>
#include <linux/magic.h>
#include <sys/types.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>

namespace dirtally {

namespace {

// ext4 lists a directory in the order of its names' hashes, and a listing read to its end gives
// its last record the offset ext4 keeps for the end; it hashes no name to that offset, so a
// listing cut short (a full buffer, a signal, a stopped process) ends on another. The end of a
// small folder is then known without the call that would return nothing.
std::int64_t endOffsetOf(std::uint32_t fileSystem) {
    return fileSystem == EXT4_SUPER_MAGIC ? std::numeric_limits<std::int64_t>::max() : 0;
}

// The kernel's records: a header, the name and its NUL, padded to a multiple of 8 bytes.
constexpr std::size_t kNameOffset = offsetof(dirent64, d_name);
constexpr std::size_t kAlignment = 8;
constexpr std::size_t kShortestRecord =
    (kNameOffset + 1 + kAlignment - 1) / kAlignment * kAlignment;
static_assert(kShortestRecord == 24);

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Whether the record's last 8 bytes, where the kernel puts the name's NUL, hold one (the padding
// after the NUL keeps whatever the buffer held, so the NUL may be any of them). One aligned load
// and a few operations, so that checking costs nothing beside the entry's own work.
bool nameEnds(const char* record, std::size_t length) {
    std::uint64_t tail;
    std::memcpy(&tail, record + length - kAlignment, sizeof tail);
    if (length == kShortestRecord) {
        // The first three of those bytes are the header's (length and type), not the name's.
        static_assert(std::endian::native == std::endian::little);
        tail |= 0xffffff;
    }
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    return ((tail - kOnes) & ~tail & (kOnes << 7)) != 0;
}

}  // namespace

DirentReader::DirentReader(int fd, std::span<char> buffer, std::uint32_t fileSystem)
    : fd_(fd), buffer_(buffer), endOffset_(endOffsetOf(fileSystem)) {}

bool DirentReader::fill() {
    ended_ = ended_ || (endOffset_ != 0 && position_ == length_ && lastOffset_ == endOffset_);
    if (malformed_ || ended_) {
        return false;
    }
    const ssize_t n = getdents64(fd_, buffer_.data(), buffer_.size());
    if (n < 0) {
        position_ = 0;
        length_ = 0;
        // A directory removed while it is read simply has no more entries.
        error_ = errno != ENOENT ? errno : 0;
        return false;
    }
    return take(static_cast<std::size_t>(n));
}

bool DirentReader::take(std::size_t length) {
    position_ = 0;
    length_ = std::min(length, buffer_.size());
    lastOffset_ = 0;
    error_ = 0;
    malformed_ = false;
    return length_ > 0;
}

bool DirentReader::next(RawEntry& entry) {
    while (position_ < length_) {
        const char* at = buffer_.data() + position_;
        const std::size_t left = length_ - position_;
        const auto* record = reinterpret_cast<const dirent64*>(at);
        // Read nothing outside the batch, whatever a record's length or name claims.
        if (left < kShortestRecord || record->d_reclen < kShortestRecord ||
            record->d_reclen > left || record->d_reclen % kAlignment != 0 ||
            !nameEnds(at, record->d_reclen)) {
            position_ = length_;
            error_ = EIO;
            malformed_ = true;
            return false;
        }
        position_ += record->d_reclen;
        lastOffset_ = record->d_off;
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
