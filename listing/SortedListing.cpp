#include "listing/SortedListing.h"

#include <algorithm>
#include <vector>

namespace dirtally {

SortedListing::SortedListing(std::unique_ptr<ReportSink> format, ListOrder order, std::size_t top,
                             bool compared)
    : format_(std::move(format)), order_(order), top_(top), first_(compared ? byGrowth : bySize) {}

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
    if (top_ == 0) {
        held_.push_back(listed);
    } else if (held_.size() < top_) {
        held_.push_back(listed);
        std::push_heap(held_.begin(), held_.end(), first_);
    } else if (first_(listed, held_.front())) {
        std::pop_heap(held_.begin(), held_.end(), first_);
        held_.back() = listed;
        std::push_heap(held_.begin(), held_.end(), first_);
    }
}

// The lines are sorted as pointers, each far smaller than its line. Folders gone since the
// previous report stay after the others, in the same order among themselves.
void SortedListing::closing(Closing block, std::uint64_t value) {
    const auto gone = [](const ListedFolder& f) {
        return f.change && f.change->kind == SizeChange::Kind::Gone;
    };
    std::vector<const ListedFolder*> lines;
    lines.reserve(held_.size());
    for (const ListedFolder& line : held_) {
        if (!gone(line)) {
            lines.push_back(&line);
        }
    }
    const auto listed = lines.end() - lines.begin();
    for (const ListedFolder& line : held_) {
        if (gone(line)) {
            lines.push_back(&line);
        }
    }
    const Order order = order_ == ListOrder::Name     ? byName
                        : order_ == ListOrder::Change ? byGrowth
                        : order_ == ListOrder::Size   ? bySize
                                                      : first_;
    const auto before = [order](const ListedFolder* a, const ListedFolder* b) {
        return order(*a, *b);
    };
    std::sort(lines.begin(), lines.begin() + listed, before);
    std::sort(lines.begin() + listed, lines.end(), before);
    for (const ListedFolder* line : lines) {
        format_->folder(*line);
    }
    held_.clear();
    format_->closing(block, value);
}

}  // namespace dirtally
