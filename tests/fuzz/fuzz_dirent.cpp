// Bytes as getdents64 might hand them over, true or not: the reader must stay inside the batch
// (record lengths of 0, past the end, unaligned or shorter than a header; names without their
// NUL), end a malformed batch with EIO for good, and take every record the kernel's way.
#include <dirent.h>

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

// The input's NUL-separated parts as the kernel writes names: header, name, NUL, then padding
// left from before (never NUL here) up to a multiple of 8 bytes. All must come back.
void readWellFormed(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = offsetof(dirent64, d_name);
    const std::string input(reinterpret_cast<const char*>(data), size);
    // A record takes at most 24 bytes for each byte of the input.
    std::vector<std::uint64_t> buffer(size * 3 + 1, ~std::uint64_t{0});
    auto* bytes = reinterpret_cast<char*>(buffer.data());
    std::size_t length = 0;
    std::vector<std::string> names;
    for (std::size_t at = 0, end; at < size; at = end + 1) {
        end = std::min(input.find('\0', at), size);
        const std::string name = input.substr(at, end - at);
        if (name.empty() || name.size() > NAME_MAX) {
            continue;
        }
        dirent64 header{};
        header.d_reclen = (kHeader + name.size() + 1 + 7) / 8 * 8;
        header.d_type = static_cast<unsigned char>(name.size() % 16);
        std::memcpy(bytes + length, &header, kHeader);
        std::memcpy(bytes + length + kHeader, name.c_str(), name.size() + 1);
        length += header.d_reclen;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    DirentReader reader(-1, {bytes, length});
    reader.take(length);
    RawEntry entry;
    for (const std::string& name : names) {
        check(reader.next(entry) && entry.name == name && entry.type == name.size() % 16);
    }
    check(!reader.next(entry) && !reader.failed());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readRaw(data, size);
    readWellFormed(data, size);
    return 0;
}
