#pragma once

#include <QDate>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/system/Counting.h"
#include "platform/system/Path.h"
#include "platform/system/ReportOutput.h"

namespace dirtally {

class Comparison;

// Where a report run stands. The run keeps this one value; whoever hosts it shows it.
enum class RunState {
    Idle,       // no run: a request starts one
    Preparing,  // the report's place is being fixed (the user may be asked); requests are refused
    Running,    // listing and writing: a request asks the run to stop
    Stopping,   // asked to stop: the folder in hand is finished, then the closing block written
};

// The report's formats: the text Dirtally has always written, CSV for spreadsheets, JSON for
// programs.
enum class ReportKind { Text, Csv, Json };

// The order of a report's folder lines: the file system's, the largest first, by name, or the
// grown most since a previous report first (see SortedListing).
enum class ListOrder { FileSystem, Size, Name, Change };

// The report a run writes unless another was chosen: "Dirtallied.txt" in the listed folder. The
// separator is added, not merged: after a one-level run the folder ends in "/", and the doubled
// separator names the same file.
inline Path reportInFolder(const Path& folder) {
    return folder + "/Dirtallied.txt";
}

// What a run works on, fixed when it starts.
struct RunInputs {
    Path folder;           // the folder to list, as the host names it
    bool oneLevel = true;  // one line per sub-folder; otherwise one per folder of the whole tree
    Path report;           // where the report goes; empty: nowhere
    QDate today;
    ReportKind kind = ReportKind::Text;
    Counting counting{};
    ListOrder order = ListOrder::FileSystem;
    std::size_t top = 0;  // only the largest this many folders, by size unless by name; 0: all
    bool humanReadable = false;  // the text report's sizes as "4.2G", "512K"
    // The previous report the folders are compared with; none: no comparison.
    std::shared_ptr<Comparison> comparison{};
    // Where the host reads the previous report while the folder is listed: called once the
    // folder is read, before anything is written, it gives the comparison, or none where the
    // previous report was refused; the host then says why, and the run writes nothing.
    std::function<std::shared_ptr<Comparison>()> awaitComparison{};
};

// How far a run has come: the folders sized of those to size (in whatever order they finished),
// and the bytes of those listed.
struct RunProgress {
    std::size_t foldersDone = 0;
    std::size_t foldersToSize = 0;
    std::uint64_t bytes = 0;
    QString inHand;  // the folder awaited for over a second, made safe to show; empty otherwise
};

// What a report run needs of whoever hosts it: the main window, the report command or the
// benchmark.
class RunHost {
  public:
    virtual ~RunHost() = default;

    // The run's inputs, once the report's place is fixed (which may ask the user).
    virtual RunInputs prepareRun() = 0;
    // Whether one level is listed, as it is now: the closing block follows a change made while
    // the listing ran.
    virtual bool oneLevel() const = 0;
    // The one-level listing names its folder with a trailing "/" from then on.
    virtual void setFolder(const Path& folder) = 0;
    // Lets the host do what it must while the run goes on (a window handles its events); the
    // report's lines so far are in the report before this is called.
    virtual void yield(const RunProgress& progress) = 0;
    // Opens the report for writing; nullptr with the reason on failure.
    virtual std::unique_ptr<ReportOutput> openReport(const Path& file, QString* error) = 0;
    // A folder the run could not read, whose size the report leaves blank; the window shows no
    // more than that.
    virtual void cannotRead(const Path& /*folder*/, int /*error*/) {}
    // Tells the user why the run could not do all it should have, after it has ended.
    virtual void showError(const QString& text) = 0;
    virtual void stateChanged(RunState state) = 0;
};

}  // namespace dirtally
