#include "listing/SortedListing.h"

#include <algorithm>
#include <limits>

#include "listing/ReportWriter.h"

namespace dirtally {

namespace {

constexpr std::uint32_t kNoChange = std::numeric_limits<std::uint32_t>::max();

std::uint64_t prefixOf(std::string_view path) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < sizeof prefix; ++i) {
        prefix = prefix << 8 | (i < path.size() ? static_cast<unsigned char>(path[i]) : 0U);
    }
    return prefix;
}

// The key of a folder held whole (the largest N), compared only with others held so: by path
// alone where sizes tie, its prefix not worked out.
SortedListing::Key keyOf(const ListedFolder& listed) {
    return {listed.path, 0, listed.size.readable, listed.size.bytes,
            listed.change ? &*listed.change : nullptr};
}

// By path in byte order.
bool pathBefore(const SortedListing::Key& a, const SortedListing::Key& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : a.path < b.path;
}

bool gone(const SortedListing::Key& key) {
    return key.change && key.change->kind == SizeChange::Kind::Gone;
}

}  // namespace

SortedListing::SortedListing(std::unique_ptr<LineFormat> format, ListOrder order, std::size_t top,
                             bool compared)
    : format_(std::move(format)),
      top_(top),
      first_(compared ? byGrowth : bySize),
      order_(order == ListOrder::Name     ? byName
             : order == ListOrder::Change ? byGrowth
             : order == ListOrder::Size   ? bySize
                                          : first_) {}

inline bool SortedListing::byGrowth(const Key& a, const Key& b) {
    if (a.change && b.change && SizeChange::grewMore(*a.change, *b.change)) {
        return true;
    }
    if (a.change && b.change && SizeChange::grewMore(*b.change, *a.change)) {
        return false;
    }
    return pathBefore(a, b);
}

inline bool SortedListing::bySize(const Key& a, const Key& b) {
    if (a.readable != b.readable) {
        return a.readable;
    }
    if (a.bytes != b.bytes) {
        return a.bytes > b.bytes;
    }
    return pathBefore(a, b);
}

inline bool SortedListing::byName(const Key& a, const Key& b) {
    return pathBefore(a, b);
}

void SortedListing::compareWith(const Comparison& comparison) {
    format_->compareWith(comparison);
}

void SortedListing::header(const Path& folder, bool oneLevel, const QDate& today) {
    format_->header(folder, oneLevel, today);
}

inline SortedListing::Key SortedListing::key(const Line& line) const {
    return {std::string_view(text_.constData() + line.at, line.pathLength), line.prefix,
            line.readable, line.bytes, line.change == kNoChange ? nullptr : &changes_[line.change]};
}

// Hands `work` the order's comparison of two held lines, with the order's rule compiled into it:
// a call through a pointer for each of the millions of comparisons cost more than the rest of
// the closing.
template <typename Work>
void SortedListing::inOrder(Work work) {
    const auto by = [&](auto order) {
        work([this, order](const Line& a, const Line& b) { return order(key(a), key(b)); });
    };
    if (order_ == bySize) {
        by([](const Key& a, const Key& b) { return bySize(a, b); });
    } else if (order_ == byName) {
        by([](const Key& a, const Key& b) { return byName(a, b); });
    } else {
        by([](const Key& a, const Key& b) { return byGrowth(a, b); });
    }
}

void SortedListing::hold(const ListedFolder& listed) {
    Line line{prefixOf(listed.path),
              listed.size.bytes,
              static_cast<std::size_t>(text_.size()),
              static_cast<std::uint32_t>(listed.path.size()),
              0,
              kNoChange,
              listed.size.readable};
    std::copy(listed.path.begin(), listed.path.end(),
              appended(text_, static_cast<qsizetype>(listed.path.size())));
    const qsizetype start = text_.size();
    format_->layOut(listed, text_);
    line.lineLength = static_cast<std::uint32_t>(text_.size() - start);
    if (listed.change) {
        line.change = static_cast<std::uint32_t>(changes_.size());
        changes_.push_back(*listed.change);
    }
    lines_.push_back(line);
    // A run of lines is sorted as soon as it is whole, and two runs of one length are merged as
    // soon as there are two, while the sizing goes on: the closing has only the last few to merge.
    if (lines_.size() - sorted_ == kRun) {
        inOrder([this](auto before) {
            std::sort(lines_.begin() + static_cast<std::ptrdiff_t>(sorted_), lines_.end(), before);
            const auto end = lines_.end();
            auto width = static_cast<std::ptrdiff_t>(kRun);
            for (std::size_t runs = lines_.size() / kRun; runs % 2 == 0; runs /= 2, width *= 2) {
                std::inplace_merge(end - 2 * width, end - width, end, before);
            }
        });
        sorted_ = lines_.size();
    }
}

void SortedListing::folder(const ListedFolder& listed) {
    const auto before = [this](const ListedFolder& a, const ListedFolder& b) {
        return first_(keyOf(a), keyOf(b));
    };
    if (top_ == 0) {
        hold(listed);
    } else if (topFolders_.size() < top_) {
        topFolders_.push_back(listed);
        std::push_heap(topFolders_.begin(), topFolders_.end(), before);
    } else if (before(listed, topFolders_.front())) {
        std::pop_heap(topFolders_.begin(), topFolders_.end(), before);
        topFolders_.back() = listed;
        std::push_heap(topFolders_.begin(), topFolders_.end(), before);
    }
}

// Folders gone since the previous report stay after the others, in the same order among
// themselves.
void SortedListing::closing(Closing block, std::uint64_t value) {
    for (const ListedFolder& listed : topFolders_) {
        hold(listed);
    }
    topFolders_.clear();
    const auto isGone = [this](const Line& line) { return gone(key(line)); };
    const bool compared = std::any_of(lines_.begin(), lines_.end(), isGone);
    inOrder([&](auto before) {
        if (compared) {
            const auto listed = std::partition(lines_.begin(), lines_.end(),
                                               [&](const Line& line) { return !isGone(line); });
            std::sort(lines_.begin(), listed, before);
            std::sort(listed, lines_.end(), before);
            return;
        }
        // The runs before the last lie longest first, one of each length in kRun's powers of two.
        auto from = static_cast<std::ptrdiff_t>(sorted_);
        std::sort(lines_.begin() + from, lines_.end(), before);
        auto width = static_cast<std::ptrdiff_t>(kRun);
        for (std::size_t runs = sorted_ / kRun; runs != 0; runs /= 2, width *= 2) {
            if (runs % 2 != 0) {
                std::inplace_merge(lines_.begin() + from - width, lines_.begin() + from,
                                   lines_.end(), before);
                from -= width;
            }
        }
    });
    for (const Line& line : lines_) {
        format_->writeLine(QByteArrayView(text_).sliced(
            static_cast<qsizetype>(line.at) + line.pathLength, line.lineLength));
    }
    lines_.clear();
    sorted_ = 0;
    changes_.clear();
    text_.clear();
    format_->closing(block, value);
}

}  // namespace dirtally
