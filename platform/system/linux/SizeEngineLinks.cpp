#include "platform/system/linux/SizeEngineLinks.h"

#include <algorithm>

namespace dirtally::sizeengine {

void Links::meet(const FileIdentity& file, std::uint64_t bytes, std::vector<std::uint32_t> place,
                 Node* holder) {
    const std::size_t root = place.front();
    std::lock_guard lock(lock_);
    const auto [it, added] = firsts_.try_emplace(file);
    First& first = it->second;
    if (added || place < first.place) {
        first = {std::move(place), bytes, holder, false};
        byRoot_[root].push_back(file);
    }
}

void Links::grow(std::size_t roots) {
    std::lock_guard lock(lock_);
    byRoot_.resize(std::max(roots, byRoot_.size()));
}

void Links::credit(std::size_t root) {
    std::lock_guard lock(lock_);
    for (const FileIdentity& file : byRoot_[root]) {
        First& first = firsts_.at(file);
        if (first.credited || first.place.front() != root) {
            continue;
        }
        first.credited = true;
        for (Node* folder = first.holder; folder; folder = folder->parent) {
            folder->bytes.fetch_add(first.bytes, std::memory_order_relaxed);
        }
    }
    std::vector<FileIdentity>().swap(byRoot_[root]);
}

}  // namespace dirtally::sizeengine
