#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "listing/PreviousReport.h"
#include "listing/SizeChange.h"

namespace dirtally {

// A folder of the previous report that no folder of the new run matched.
struct GoneFolder {
    Path path;  // its path as that report names it (as it shows it, where not exactly)
    SizeChange change;
};

// A run compared with a previous report of the same folder: each folder the run lists is looked
// up once among the previous report's folders, in constant time, so that a report of a million
// folders compares in one pass.
class Comparison {
  public:
    explicit Comparison(PreviousReport previous);
    // Its keys point into the previous report's folders.
    Comparison(const Comparison&) = delete;
    Comparison& operator=(const Comparison&) = delete;

    const PreviousReport& previous() const { return previous_; }

    // The change of a folder the run lists: its path below the listed folder and its size now.
    SizeChange change(const Path& path, const FolderSize& size);
    // The change of the total of the first-level folders; a total is new where there was no
    // report before.
    SizeChange totalChange(std::uint64_t total) const;
    // The previous report's folders no listed folder matched, in that report's order.
    std::vector<GoneFolder> gone() const;

  private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    // What is known of a previous folder.
    enum Mark : std::uint8_t {
        kTwice = 1,    // the first of two or more folders under one key
        kSecond = 2,   // a later folder under the key of one before it
        kMatched = 4,  // a listed folder has taken the key
    };

    // A slot of the table: the index of a folder, or kEmpty, and the high half of its key's hash,
    // which tells most other keys apart without a look at the folder.
    struct Slot {
        std::uint32_t index;
        std::uint32_t tag;
    };
    static std::size_t hashOf(std::string_view key);
    static std::uint32_t tagOf(std::size_t hash) {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32);
    }
    // The slot of a key with its hash: where it is, or the empty slot where it would be.
    std::size_t find(std::string_view key, std::size_t hash) const;

    PreviousReport previous_;
    // An open-addressing table of the previous folders by key. A million folders take 16 MB, and
    // a lookup touches one or two slots.
    std::vector<Slot> slots_;
    std::vector<std::uint8_t> marks_;
    std::uint32_t next_ = 0;  // the folder after the last one a listed folder matched
};

}  // namespace dirtally
