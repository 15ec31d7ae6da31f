#pragma once

#include <cstddef>
#include <deque>
#include <memory>

#include "listing/ReportSink.h"
#include "listing/RunHost.h"

namespace dirtally {

// Lays the folder lines of a report out in another order than the file system's, and keeps only
// the largest when asked: the lines are held until the closing, then handed on in order to the
// format that writes them. The closing's total is the run's, of every folder. Asked for the
// largest N, it holds N lines at most, however many folders come.
class SortedListing final : public ReportSink {
  public:
    // top: how many folders to keep, the largest (the grown most where compared); 0 keeps every
    // one. compared: the folders come with their changes since a previous report.
    SortedListing(std::unique_ptr<ReportSink> format, ListOrder order, std::size_t top,
                  bool compared = false);

    void compareWith(const Comparison& comparison) override;
    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const ListedFolder& listed) override;
    void closing(Closing block, std::uint64_t value) override;

    // The largest first; equal sizes by path in byte order; sizes that cannot be read last.
    static bool bySize(const ListedFolder& a, const ListedFolder& b);
    // The grown most first (see SizeChange::grewMore); equal changes by path in byte order.
    static bool byGrowth(const ListedFolder& a, const ListedFolder& b);
    // By path in byte order.
    static bool byName(const ListedFolder& a, const ListedFolder& b);

  private:
    using Order = bool (*)(const ListedFolder&, const ListedFolder&);

    std::unique_ptr<ReportSink> format_;
    ListOrder order_;
    std::size_t top_;
    // Which come first when only the first N are kept: the largest, or the grown most.
    Order first_;
    // Every line in the order it came; with top_, the first top_ as a heap whose front comes
    // last of them. A deque: a line is never moved once held, as a growing vector moves them.
    std::deque<ListedFolder> held_;
};

}  // namespace dirtally
