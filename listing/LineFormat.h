#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "listing/ReportSink.h"

namespace dirtally {

// A report format whose folder lines each stand on their own: a line is laid out as its folder
// comes and may be written later, in another order (see SortedListing), byte for byte as it would
// have been written at once.
class LineFormat : public ReportSink {
  public:
    // Appends the folder's line to `line` as it is held until written: UTF-8 and ending in CR LF,
    // without what the format puts between two lines, and as short as the format can hold it.
    virtual void layOut(const ListedFolder& listed, QByteArray& line) = 0;
    // Writes a line laid out by layOut after the lines written before it.
    virtual void writeLine(QByteArrayView line) = 0;

    void folder(const ListedFolder& listed) override {
        line_.truncate(0);
        layOut(listed, line_);
        writeLine(line_);
    }

  private:
    QByteArray line_;  // a line's memory, kept for the next
};

}  // namespace dirtally
