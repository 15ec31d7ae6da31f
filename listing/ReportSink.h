#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

#include "listing/SizeChange.h"
#include "platform/system/Path.h"
#include "platform/system/SizingJob.h"

namespace dirtally {

class Comparison;

// One listed folder as a run hands it to a sink: its path below the listed folder as the bytes
// the file system uses (its own name one level deep), its size, and the errno that kept it from
// having one where that is known (0 otherwise). A report compared with a previous one also
// gives each folder its change, and lists the folders gone since after the others.
struct ListedFolder {
    Path path;
    FolderSize size;
    int error = 0;
    std::optional<SizeChange> change = {};
};

// The parts of a report, in the order a run hands them over; each format lays them out its own
// way. The run decides what comes and in which order, a sink how it reads.
class ReportSink {
  public:
    // The blocks that can close a report.
    enum class Closing {
        TreeTotal,     // the total of the first-level folders, under a report of the whole tree
        FoldersTotal,  // the total of the folders listed one level deep
        UsedSpace,  // the file system's used space: the mode changed while the folders were listed
    };

    virtual ~ReportSink() = default;
    // Before the header: the report is to show what changed since a previous report (a format
    // that cannot show it leaves it out).
    virtual void compareWith(const Comparison& comparison) = 0;
    virtual void header(const Path& folder, bool oneLevel, const QDate& today) = 0;
    virtual void folder(const ListedFolder& listed) = 0;
    virtual void closing(Closing block, std::uint64_t value) = 0;
};

}  // namespace dirtally
