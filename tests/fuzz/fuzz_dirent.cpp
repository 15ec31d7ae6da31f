// Bytes as getdents64 might hand them over, true or not: the reader must stay inside the batch
// (record lengths of 0, past the end, unaligned or shorter than a header; names without their
// NUL), end a malformed batch with EIO for good, and take every record the kernel's way; on ext4
// a listing ends without another call only where its last record carries ext4's end offset.
#include <dirent.h>
#include <linux/magic.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/linux/DirentReader.h"

using dirtally::DirentReader;
using dirtally::RawEntry;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The input as one batch, in a buffer exactly as long, so that a read past it is an overflow.
void readRaw(const std::uint8_t* data, std::size_t size) {
    const auto buffer = std::make_unique<char[]>(size);
    std::memcpy(buffer.get(), data, size);
    DirentReader reader(-1, {buffer.get(), size});
    reader.take(size);
    RawEntry entry;
    // Every record holds at least a header and a NUL: more entries than that is a loop.
    for (std::size_t entries = 0; reader.next(entry); ++entries) {
        check(entries < size / (offsetof(dirent64, d_name) + 1));
        check(std::strlen(entry.name) < size);
    }
    if (reader.failed()) {
        check(reader.error() == EIO && !reader.fill() && reader.error() == EIO);
    }
}

// Takes the batch whole; then it asks for more (of the handle -1: EBADF) unless it has ended.
void readAll(std::uint32_t fileSystem, char* bytes, std::size_t length,
             const std::vector<std::string>& names, bool ends) {
    DirentReader reader(-1, {bytes, length}, fileSystem);
    reader.take(length);
    RawEntry entry;
    for (const std::string& name : names) {
        check(reader.next(entry) && entry.name == name && entry.type == name.size() % 16);
    }
    check(!reader.next(entry) && !reader.failed());
    check(!reader.fill() && reader.error() == (ends ? 0 : EBADF));
}

// The input's NUL-separated parts as the kernel writes names: header, name, NUL, then padding
// left from before (never NUL here) up to a multiple of 8 bytes. All must come back. A name with
// an odd first byte carries the end offset, wherever it is.
void readWellFormed(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = offsetof(dirent64, d_name);
    const std::string input(reinterpret_cast<const char*>(data), size);
    // A record takes at most 24 bytes for each byte of the input.
    std::vector<std::uint64_t> buffer(size * 3 + 1, ~std::uint64_t{0});
    auto* bytes = reinterpret_cast<char*>(buffer.data());
    std::size_t length = 0;
    std::vector<std::string> names;
    bool lastEnds = false;
    for (std::size_t at = 0, end; at < size; at = end + 1) {
        end = std::min(input.find('\0', at), size);
        const std::string name = input.substr(at, end - at);
        if (name.empty() || name.size() > NAME_MAX) {
            continue;
        }
        dirent64 header{};
        header.d_reclen = (kHeader + name.size() + 1 + 7) / 8 * 8;
        header.d_type = static_cast<unsigned char>(name.size() % 16);
        header.d_off = name[0] % 2 != 0 ? INT64_MAX : 1;
        lastEnds = header.d_off == INT64_MAX;
        std::memcpy(bytes + length, &header, kHeader);
        std::memcpy(bytes + length + kHeader, name.c_str(), name.size() + 1);
        length += header.d_reclen;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    readAll(EXT4_SUPER_MAGIC, bytes, length, names, lastEnds);
    readAll(0, bytes, length, names, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readRaw(data, size);
    readWellFormed(data, size);
    return 0;
}
