#include "listing/ComparedListing.h"

#include "listing/Comparison.h"

namespace dirtally {

ComparedListing::ComparedListing(Comparison& comparison, std::unique_ptr<ReportSink> next)
    : comparison_(comparison), next_(std::move(next)) {}

void ComparedListing::compareWith(const Comparison& comparison) {
    next_->compareWith(comparison);
}

void ComparedListing::header(const Path& folder, bool oneLevel, const QDate& today) {
    next_->header(folder, oneLevel, today);
}

void ComparedListing::folder(const ListedFolder& listed) {
    ListedFolder compared = listed;
    compared.change = comparison_.change(listed.path, listed.size);
    next_->folder(compared);
}

void ComparedListing::closing(Closing block, std::uint64_t value) {
    for (GoneFolder& gone : comparison_.gone()) {
        next_->folder({std::move(gone.path), FolderSize::unreadable(), 0, gone.change});
    }
    next_->closing(block, value);
}

}  // namespace dirtally
