#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/SizingJob.h"

namespace dirtally::sizeengine {

// One root of a sizing: its name, and its result once it is done. The result is written once by
// the worker that ends the root, then only read: `done` publishes it, so that reading a root's
// result takes no lock the workers take.
struct Root {
    std::string name;
    std::atomic<bool> done{false};
    std::atomic<unsigned> waiters{0};  // callers asleep on this root; only they need waking
    // Whether a folder of it is on the job's list of failures: most roots have none, and need
    // not take the list's lock to say so.
    std::atomic<bool> failed{false};
    FolderSize size;
    std::vector<FolderNode> tree;
};

// The roots of a sizing, in the listing's order. More may come while the sizing runs (a wide
// folder is handed over a batch at a time as it is read), added by one thread while the workers
// use the roots before them: so they live in blocks that never move, each twice the size of the
// one before, and a root stays where it is however many come after it.
class Roots {
  public:
    Roots() = default;
    Roots(const Roots&) = delete;
    Roots& operator=(const Roots&) = delete;
    ~Roots();

    std::size_t size() const { return size_; }
    Root& operator[](std::size_t index) {
        const Place place = placeOf(index);
        return blocks_[place.block][place.offset];
    }
    const Root& operator[](std::size_t index) const {
        const Place place = placeOf(index);
        return blocks_[place.block][place.offset];
    }
    // Puts the names after the roots there are, where no other thread looks until publish():
    // only the thread that adds calls this, and without the lock the workers take, so that a
    // block of roots is made and filled while they go on. A block's memory is only reserved when
    // it is made, and each root made in it as it comes: a wide folder touches no more memory than
    // its roots take.
    void stage(std::vector<std::string>&& names);
    // Makes the staged roots part of size(); under the lock the other threads read size() under.
    void publish() { size_ = staged_; }
    void add(std::vector<std::string>&& names) {
        stage(std::move(names));
        publish();
    }

  private:
    static constexpr std::size_t kFirstBlock = 256;
    struct Place {
        std::size_t block;
        std::size_t offset;
    };
    // Block b holds kFirstBlock << b roots, from kFirstBlock * (2^b - 1) on.
    static Place placeOf(std::size_t index) {
        const std::size_t block = std::bit_width(index / kFirstBlock + 1) - 1;
        return {block, index - kFirstBlock * ((std::size_t{1} << block) - 1)};
    }

    static std::size_t blockSize(std::size_t block) { return kFirstBlock << block; }

    std::array<Root*, 48> blocks_{};
    std::size_t size_ = 0;
    std::size_t staged_ = 0;
};

}  // namespace dirtally::sizeengine
