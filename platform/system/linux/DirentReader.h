#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dirtally {

// One entry of a directory as the kernel reports it: the name is NUL-terminated inside the
// reader's buffer and valid until the next fill().
struct RawEntry {
    const char* name = nullptr;
    unsigned char type = 0;  // a DT_* value; DT_UNKNOWN where the file system does not say
    std::uint64_t ino = 0;
};

// Reads an open directory a buffer of entries at a time with getdents64, so that a directory of
// millions of entries costs one system call per few thousand entries and no allocation per entry.
class DirentReader {
  public:
    // The buffer must be aligned for the kernel's records (operator new's alignment is enough).
    // `fileSystem` is the directory's statfs type, where known: on a file system whose listings
    // mark their end, a directory read to its end needs no further call to say so.
    DirentReader(int fd, std::span<char> buffer, std::uint32_t fileSystem = 0);

    // Reads the next batch; false at the end of the directory or on an error (see failed()). A
    // fill after an error tries the same batch again, except after a malformed batch: the
    // directory's offset has moved past it, so the reading ends there.
    bool fill();
    // Takes the buffer's first `length` bytes as the batch, as fill() takes what getdents64 put
    // there; lets a test hand in records of its own. False when there are none.
    bool take(std::size_t length);
    // The next entry of the batch, without "." and ".."; false when the batch is used up, or at
    // a malformed record, which fails the read with EIO.
    bool next(RawEntry& entry);
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // errno of the last fill, 0 when it did not fail

  private:
    int fd_;
    std::span<char> buffer_;
    std::int64_t endOffset_;       // the offset that marks a listing's end; 0 where none does
    std::int64_t lastOffset_ = 0;  // of the last record taken from the batch
    std::size_t length_ = 0;
    std::size_t position_ = 0;
    int error_ = 0;
    bool malformed_ = false;
    bool ended_ = false;
};

}  // namespace dirtally
