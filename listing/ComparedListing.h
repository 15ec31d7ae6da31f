#pragma once

#include <memory>

#include "listing/ReportSink.h"

namespace dirtally {

// A run's listing compared with a previous report: gives each folder its change on the way to
// the sink that lays it out, and the folders gone since after the others, before the closing.
class ComparedListing final : public ReportSink {
  public:
    ComparedListing(Comparison& comparison, std::unique_ptr<ReportSink> next);

    void compareWith(const Comparison& comparison) override;
    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void folder(const ListedFolder& listed) override;
    void closing(Closing block, std::uint64_t value) override;

  private:
    Comparison& comparison_;
    std::unique_ptr<ReportSink> next_;
};

}  // namespace dirtally
