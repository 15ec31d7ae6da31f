#include "listing/SortedListing.h"

#include <algorithm>

namespace dirtally {

SortedListing::SortedListing(std::unique_ptr<ReportSink> format, ListOrder order, std::size_t top)
    : format_(std::move(format)), order_(order), top_(top) {}

bool SortedListing::bySize(const ListedFolder& a, const ListedFolder& b) {
    if (a.size.readable != b.size.readable) {
        return a.size.readable;
    }
    if (a.size.bytes != b.size.bytes) {
        return a.size.bytes > b.size.bytes;
    }
    return a.path < b.path;
}

bool SortedListing::byName(const ListedFolder& a, const ListedFolder& b) {
    return a.path < b.path;
}

void SortedListing::header(const Path& folder, bool oneLevel, const QDate& today) {
    format_->header(folder, oneLevel, today);
}

void SortedListing::folder(const ListedFolder& listed) {
    held_.push_back(listed);
}

void SortedListing::closing(Closing block, std::uint64_t value) {
    // The largest N are found without sorting the rest; then they take the order asked for.
    if (top_ != 0 && top_ < held_.size()) {
        std::nth_element(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(top_),
                         held_.end(), bySize);
        held_.resize(top_);
    }
    std::sort(held_.begin(), held_.end(), order_ == ListOrder::Name ? byName : bySize);
    for (const ListedFolder& listed : held_) {
        format_->folder(listed);
    }
    held_.clear();
    format_->closing(block, value);
}

}  // namespace dirtally
