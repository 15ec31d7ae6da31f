#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "listing/LineFormat.h"
#include "listing/RunHost.h"

namespace dirtally {

// Lays the folder lines of a report out in another order than the file system's, and keeps only
// the largest when asked. The closing's total is the run's, of every folder.
// Each line is laid out by the format as its folder comes, while the sizing goes on, and held
// in one block of bytes beside a small record to sort it by, and sorted and merged in runs as
// they come; the closing only merges the last runs and writes the bytes. Asked for the largest N,
// it holds N folders at most, however many come, and lays out only those at the closing.
class SortedListing final : public ReportSink {
  public:
    // top: how many folders to keep, the largest (the grown most where compared); 0 keeps every
    // one. compared: the folders come with their changes since a previous report.
    SortedListing(std::unique_ptr<LineFormat> format, ListOrder order, std::size_t top,
                  bool compared = false);

    void compareWith(const Comparison& comparison) override;
    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const ListedFolder& listed) override;
    void closing(Closing block, std::uint64_t value) override;

    // What a folder is sorted by.
    struct Key {
        std::string_view path;
        // The path's first 8 bytes as a big-endian number, zeros after a shorter path: in byte
        // order with the paths where it differs, as most paths do early on. Zero in the keys of
        // folders held whole, which only meet each other.
        std::uint64_t prefix;
        bool readable;
        std::uint64_t bytes;
        const SizeChange* change;
    };
    // The largest first; equal sizes by path in byte order; sizes that cannot be read last.
    static bool bySize(const Key& a, const Key& b);
    // The grown most first (see SizeChange::grewMore); equal changes by path in byte order.
    static bool byGrowth(const Key& a, const Key& b);
    // By path in byte order.
    static bool byName(const Key& a, const Key& b);

  private:
    using Order = bool (*)(const Key&, const Key&);
    // A held line: its folder's path, then its line, in text_.
    struct Line {
        std::uint64_t prefix;
        std::uint64_t bytes;
        std::size_t at;
        std::uint32_t pathLength;
        std::uint32_t lineLength;
        std::uint32_t change;  // in changes_, where the folder has one
        bool readable;
    };
    Key key(const Line& line) const;

    void hold(const ListedFolder& listed);
    template <typename Work>
    void inOrder(Work work);

    std::unique_ptr<LineFormat> format_;
    std::size_t top_;
    // Which come first when only the first N are kept: the largest, or the grown most.
    Order first_;
    Order order_;
    QByteArray text_;
    std::vector<Line> lines_;
    // The lines before this one are sorted, in runs of kRun times a power of two.
    static constexpr std::size_t kRun = 4096;
    std::size_t sorted_ = 0;
    std::vector<SizeChange> changes_;
    // With top_, the first top_ folders as a heap whose front comes last of them. A deque: a
    // folder is never moved once held, as a growing vector moves them.
    std::deque<ListedFolder> topFolders_;
};

}  // namespace dirtally
