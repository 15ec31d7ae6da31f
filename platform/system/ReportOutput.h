#pragma once

#include <QString>
#include <vector>

#include "platform/system/FolderInfo.h"

class QIODevice;

namespace dirtally {

// A report opened for a run. Destroyed before it is finished, a report that replaces another
// leaves the other as it was; one written in place keeps the lines written so far.
class ReportOutput {
  public:
    virtual ~ReportOutput() = default;
    // Where the report's bytes go.
    virtual QIODevice& stream() = 0;
    // The files the report takes up while it is written: no size may count them.
    virtual std::vector<FileIdentity> files() const = 0;
    // Whether every line written must be in the stream before the run yields: so it is for a
    // report written in place, which keeps its lines however the program ends, and for a
    // terminal, which shows them as they come. Otherwise the lines go in large blocks; a report
    // that replaces another is of no use until it is whole.
    virtual bool linesBeforeYield() const = 0;
    // The report is whole, its closing block written out: a report that replaces another takes
    // its place now. False with the reason when it cannot.
    virtual bool finish(QString* error) = 0;
};

}  // namespace dirtally
