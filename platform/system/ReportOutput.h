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
    // The report is whole, its closing block written out: a report that replaces another takes
    // its place now. False with the reason when it cannot.
    virtual bool finish(QString* error) = 0;
};

}  // namespace dirtally
