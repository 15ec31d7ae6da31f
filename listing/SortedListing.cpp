#include "listing/SortedListing.h"

#include <algorithm>

namespace dirtally {

SortedListing::SortedListing(std::unique_ptr<ReportSink> format, ListOrder order, std::size_t top,
                             bool compared)
    : format_(std::move(format)), order_(order), top_(top), compared_(compared) {}

bool SortedListing::byGrowth(const ListedFolder& a, const ListedFolder& b) {
    if (a.change && b.change && SizeChange::grewMore(*a.change, *b.change)) {
        return true;
    }
    if (a.change && b.change && SizeChange::grewMore(*b.change, *a.change)) {
        return false;
    }
    return a.path < b.path;
}

void SortedListing::compareWith(const Comparison& comparison) {
    format_->compareWith(comparison);
}

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
    // The largest N (or, in a comparison, the N grown most) are found without sorting the rest;
    // then they take the order asked for. Folders gone since the previous report stay after the
    // others.
    const auto first = compared_ ? byGrowth : bySize;
    if (top_ != 0 && top_ < held_.size()) {
        std::nth_element(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(top_),
                         held_.end(), first);
        held_.resize(top_);
    }
    const auto listed =
        std::stable_partition(held_.begin(), held_.end(), [](const ListedFolder& f) {
            return !f.change || f.change->kind != SizeChange::Kind::Gone;
        });
    std::sort(held_.begin(), listed,
              order_ == ListOrder::Name     ? byName
              : order_ == ListOrder::Change ? byGrowth
              : order_ == ListOrder::Size   ? bySize
                                            : first);
    for (const ListedFolder& entry : held_) {
        format_->folder(entry);
    }
    held_.clear();
    format_->closing(block, value);
}

}  // namespace dirtally
