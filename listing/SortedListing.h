#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "listing/ReportSink.h"
#include "listing/RunHost.h"

namespace dirtally {

// Lays the folder lines of a report out in another order than the file system's, and keeps only
// the largest when asked: the lines are held until the closing, then handed on in order to the
// format that writes them. The closing's total is the run's, of every folder.
class SortedListing final : public ReportSink {
  public:
    // top: how many folders to keep, the largest; 0 keeps every one.
    SortedListing(std::unique_ptr<ReportSink> format, ListOrder order, std::size_t top);

    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const ListedFolder& listed) override;
    void closing(Closing block, std::uint64_t value) override;

    // The largest first; equal sizes by path in byte order; sizes that cannot be read last.
    static bool bySize(const ListedFolder& a, const ListedFolder& b);
    // By path in byte order.
    static bool byName(const ListedFolder& a, const ListedFolder& b);

  private:
    std::unique_ptr<ReportSink> format_;
    ListOrder order_;
    std::size_t top_;
    std::vector<ListedFolder> held_;
};

}  // namespace dirtally
