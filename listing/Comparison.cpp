#include "listing/Comparison.h"

#include <algorithm>
#include <array>

namespace dirtally {

namespace {

// The change from one size to another; nothing known where either is blank.
SizeChange between(SizeChange::Kind kind, const FolderSize& then, const FolderSize& now) {
    SizeChange change{kind, then.readable ? std::optional(then.bytes) : std::nullopt, {}, false};
    if (then.readable && now.readable) {
        change.shrank = now.bytes < then.bytes;
        change.amount = change.shrank ? then.bytes - now.bytes : now.bytes - then.bytes;
    }
    return change;
}

}  // namespace

Comparison::Comparison(PreviousReport previous)
    : previous_(std::move(previous)), marks_(previous_.folders.size(), 0) {
    // Half full at most, so that a probe ends after a step or two.
    std::size_t size = 2;
    while (size < 2 * previous_.folders.size()) {
        size *= 2;
    }
    slots_.assign(size, Slot{kEmpty, 0});
    // The slots lie scattered over megabytes: each key's slot is fetched from memory a few keys
    // before it is put in place, so that the keys do not wait for memory one after the other.
    constexpr std::size_t kAhead = 8;
    const std::size_t count = previous_.folders.size();
    std::array<std::size_t, kAhead> hashes{};
    const auto fetch = [&](std::size_t i) {
        hashes[i % kAhead] = hashOf(previous_.folders[i].key);
        __builtin_prefetch(&slots_[hashes[i % kAhead] & (size - 1)]);
    };
    for (std::size_t i = 0; i < std::min(kAhead, count); ++i) {
        fetch(i);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t hash = hashes[i % kAhead];
        if (i + kAhead < count) {
            fetch(i + kAhead);
        }
        Slot& slot = slots_[find(previous_.folders[i].key, hash)];
        if (slot.index == kEmpty) {
            slot = {static_cast<std::uint32_t>(i), tagOf(hash)};
        } else {
            marks_[slot.index] |= kTwice;
            marks_[i] |= kSecond;
        }
    }
}

std::size_t Comparison::hashOf(std::string_view key) {
    return std::hash<std::string_view>{}(key);
}

std::size_t Comparison::find(std::string_view key, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t tag = tagOf(hash);
    std::size_t at = hash & mask;
    // A folder is looked at only where its slot's tag is the key's.
    while (slots_[at].index != kEmpty &&
           (slots_[at].tag != tag || previous_.folders[slots_[at].index].key != key)) {
        at = (at + 1) & mask;
    }
    return at;
}

SizeChange Comparison::change(const Path& path, const FolderSize& size) {
    const std::string key = previous_.keyOf(path);
    // A run lists the folders a tree kept in the order its last report did: the folder after the
    // last one found is tried first. It is the one the table would give where it is the first
    // under its key, and it lies next to the last in memory, where a lookup in the table, whose
    // slots lie scattered over megabytes, misses the processor's caches two or three times.
    std::uint32_t index = next_;
    if (index >= previous_.folders.size() || (marks_[index] & kSecond) != 0 ||
        previous_.folders[index].key != key) {
        index = slots_[find(key, hashOf(key))].index;
    }
    if (index == kEmpty) {
        SizeChange grown = between(SizeChange::Kind::New, FolderSize::of(0), size);
        grown.previous.reset();
        return grown;
    }
    // Two folders under one key (names a report shows alike) cannot be told apart: a key the
    // previous report holds twice gives no change, and a folder that comes second under a key
    // does not take the change of the first.
    const bool apart = (marks_[index] & (kTwice | kMatched)) == 0;
    marks_[index] |= kMatched;
    next_ = index + 1;
    return between(SizeChange::Kind::Both,
                   apart ? previous_.folders[index].size : FolderSize::unreadable(), size);
}

SizeChange Comparison::totalChange(std::uint64_t total) const {
    if (previous_.none) {
        return {SizeChange::Kind::New, {}, total, false};
    }
    std::uint64_t then = 0;
    if (previous_.total) {
        then = *previous_.total;
    } else {
        for (std::size_t i = 0; i < previous_.folders.size(); ++i) {
            const PreviousFolder folder = previous_.folders[i];
            if (folder.size.readable && folder.key.find('/') == std::string::npos) {
                then += folder.size.bytes;
            }
        }
    }
    return between(SizeChange::Kind::Both, FolderSize::of(then), FolderSize::of(total));
}

std::vector<GoneFolder> Comparison::gone() const {
    std::vector<GoneFolder> gone;
    for (std::size_t i = 0; i < previous_.folders.size(); ++i) {
        const PreviousFolder folder = previous_.folders[i];
        // A folder under the key of one before it is matched when that one is.
        const std::uint32_t first = marks_[i] & kSecond
                                        ? slots_[find(folder.key, hashOf(folder.key))].index
                                        : static_cast<std::uint32_t>(i);
        if ((marks_[first] & kMatched) == 0) {
            gone.push_back({Path(folder.key),
                            between(SizeChange::Kind::Gone, folder.size, FolderSize::of(0))});
        }
    }
    return gone;
}

}  // namespace dirtally
