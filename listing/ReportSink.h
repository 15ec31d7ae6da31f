#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

#include "platform/system/Path.h"
#include "platform/system/SizingJob.h"

namespace dirtally {

// One listed folder as a run hands it to a sink: its path below the listed folder as the bytes
// the file system uses (its own name one level deep), its size, and the errno that kept it from
// having one where that is known (0 otherwise).
struct ListedFolder {
    Path path;
    FolderSize size;
    int error = 0;
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
    virtual void header(const Path& folder, bool oneLevel, const QDate& today) = 0;
    virtual void folder(const ListedFolder& listed) = 0;
    virtual void closing(Closing block, std::uint64_t value) = 0;
};

}  // namespace dirtally
