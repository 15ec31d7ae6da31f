#pragma once

#include <memory>

#include "listing/ReportSink.h"
#include "listing/RunHost.h"

namespace dirtally {

class ReportWriter;

// The sink a run's inputs ask for: the format, in the order asked for, compared with a previous
// report where asked.
std::unique_ptr<ReportSink> chosenSink(const RunInputs& inputs, ReportWriter& out);

}  // namespace dirtally
