#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
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

    // The change of a folder the run lists: its path below the listed folder, its name as shown
    // (see PreviousReport::keyOf) and its size now.
    SizeChange change(const Path& path, const QString& shown, const FolderSize& size);
    // The change of the total of the first-level folders.
    SizeChange totalChange(std::uint64_t total) const;
    // The previous report's folders no listed folder matched, in that report's order.
    std::vector<GoneFolder> gone() const;

  private:
    // Where a key is found among the previous folders.
    struct Slot {
        std::size_t index = 0;
        bool twice = false;    // two previous folders share the key: neither can be told
        bool matched = false;  // a listed folder has taken it
    };

    PreviousReport previous_;
    std::unordered_map<std::string_view, Slot> slots_;
};

}  // namespace dirtally
