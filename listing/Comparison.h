#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "listing/PreviousReport.h"

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
    static bool grewMore(const SizeChange& a, const SizeChange& b);
};

// A folder of the previous report that no folder of the new run matched.
struct GoneFolder {
    QString shown;  // its name as a report shows it
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
