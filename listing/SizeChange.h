#pragma once

#include <cstdint>
#include <optional>

namespace dirtally {

// How a folder's size changed since a previous report.
struct SizeChange {
    enum class Kind {
        Both,  // listed now and then
        New,   // not in the previous report
        Gone,  // only in the previous report
    };
    Kind kind = Kind::Both;
    std::optional<std::uint64_t> previous;  // the size in the previous report, where it had one
    // Bytes grown or shrunk (a new folder grew by all it holds, a gone one shrank by all it
    // held); nothing where a size on either side could not be read, or the folder was not told
    // apart from another.
    std::optional<std::uint64_t> amount;
    bool shrank = false;

    bool operator==(const SizeChange&) const = default;

    // Grown more: the greater growth first, a change that is not known last.
    static bool grewMore(const SizeChange& a, const SizeChange& b) {
        if (!a.amount || !b.amount) {
            return a.amount && !b.amount;
        }
        if (a.shrank != b.shrank) {
            return b.shrank;
        }
        return a.shrank ? *a.amount < *b.amount : *a.amount > *b.amount;
    }
};

}  // namespace dirtally
