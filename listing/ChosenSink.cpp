#include "listing/ChosenSink.h"

#include <QLocale>

#include "listing/ComparedListing.h"
#include "listing/Comparison.h"
#include "listing/CsvFormat.h"
#include "listing/JsonFormat.h"
#include "listing/ReportFormat.h"
#include "listing/SortedListing.h"

namespace dirtally {

std::unique_ptr<ReportSink> chosenSink(const RunInputs& inputs, ReportWriter& out) {
    std::unique_ptr<LineFormat> format;
    switch (inputs.kind) {
        case ReportKind::Text:
            format = std::make_unique<ReportFormat>(out, QLocale(), inputs.counting,
                                                    inputs.humanReadable);
            break;
        case ReportKind::Csv:
            format = std::make_unique<CsvFormat>(out);
            break;
        case ReportKind::Json:
            format = std::make_unique<JsonFormat>(out, inputs.counting);
            break;
    }
    std::unique_ptr<ReportSink> sink;
    if (inputs.order != ListOrder::FileSystem || inputs.top != 0) {
        sink = std::make_unique<SortedListing>(std::move(format), inputs.order, inputs.top,
                                               inputs.comparison != nullptr);
    } else {
        sink = std::move(format);
    }
    if (inputs.comparison) {
        sink = std::make_unique<ComparedListing>(*inputs.comparison, std::move(sink));
        sink->compareWith(*inputs.comparison);
    }
    return sink;
}

}  // namespace dirtally
