#include "listing/Comparison.h"

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

Comparison::Comparison(PreviousReport previous) : previous_(std::move(previous)) {
    slots_.reserve(previous_.folders.size());
    for (std::size_t i = 0; i < previous_.folders.size(); ++i) {
        const auto [slot, added] = slots_.try_emplace(previous_.folders[i].key, Slot{i});
        slot->second.twice = slot->second.twice || !added;
    }
}

SizeChange Comparison::change(const Path& path, const QString& shown, const FolderSize& size) {
    const auto slot = slots_.find(previous_.keyOf(path, shown));
    if (slot == slots_.end()) {
        SizeChange grown = between(SizeChange::Kind::New, FolderSize::of(0), size);
        grown.previous.reset();
        return grown;
    }
    // Two folders under one key (names a report shows alike) cannot be told apart: a key the
    // previous report holds twice gives no change, and a folder that comes second under a key
    // does not take the change of the first.
    const bool apart = !slot->second.twice && !slot->second.matched;
    slot->second.matched = true;
    return between(SizeChange::Kind::Both,
                   apart ? previous_.folders[slot->second.index].size : FolderSize::unreadable(),
                   size);
}

SizeChange Comparison::totalChange(std::uint64_t total) const {
    std::uint64_t then = 0;
    if (previous_.total) {
        then = *previous_.total;
    } else {
        for (const PreviousFolder& folder : previous_.folders) {
            if (folder.size.readable && folder.key.find('/') == std::string::npos) {
                then += folder.size.bytes;
            }
        }
    }
    return between(SizeChange::Kind::Both, FolderSize::of(then), FolderSize::of(total));
}

std::vector<GoneFolder> Comparison::gone() const {
    std::vector<GoneFolder> gone;
    for (const PreviousFolder& folder : previous_.folders) {
        if (!slots_.at(folder.key).matched) {
            gone.push_back(
                {folder.key, between(SizeChange::Kind::Gone, folder.size, FolderSize::of(0))});
        }
    }
    return gone;
}

}  // namespace dirtally
