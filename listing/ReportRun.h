#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "listing/ReportSink.h"
#include "listing/RunHost.h"
#include "platform/system/DirectoryReader.h"
#include "platform/system/FolderInfo.h"
#include "platform/system/ReportOutput.h"

namespace dirtally {

class ReportWriter;

// The report run: lists a folder's sub-folders, or every folder of its tree, with their sizes and
// writes them as a report. It runs on its host's thread and yields to the host every few
// milliseconds while the size engine works on its own threads, so a window stays live and a
// request to stop is seen at once.
class ReportRun {
  public:
    ReportRun(RunHost& host, DirectoryReader& directories, FolderInfo& folders);

    // The action of "&Make list" / "&Abort" and of Esc: starts a run when none is open, asks a
    // running one to stop, and refuses a start while a run is still open (also one that arrives
    // in the very yield that carried the request to stop).
    void makeList();

    RunState state() const { return state_; }
    // The total of the folders the last run listed.
    std::uint64_t sizeTotal() const { return sizeTotal_; }

  private:
    // Where the run in hand writes: the lines go to the writer, laid out by the sink.
    struct Output {
        ReportWriter& writer;
        ReportSink& sink;
        bool linesBeforeYield;  // see ReportOutput::linesBeforeYield
    };
    // The sizing of the folder's sub-folders, started while the folder is still being read.
    struct Sizing {
        std::unique_ptr<ReportOutput> report;
        std::unique_ptr<SizingJob> job;
        std::vector<std::string> roots;  // the sub-folders handed to the job, in its order
        QString why;                     // why the report could not be opened
    };

    // The run itself (ReportRun.cpp).
    void run();
    QString listAndWrite(RunInputs& inputs);
    bool addRoots(const RunInputs& inputs, Sizing& sizing, const std::vector<DirEntry>& batch);
    bool startSizing(const RunInputs& inputs, Sizing& sizing);
    QString writeReport(const RunInputs& inputs, Sizing& sizing);
    static QString writeFailure(const Path& report, const QString& why);
    QString shortageText(const Path& report, int error) const;
    void setState(RunState state);
    static Path withSeparator(const Path& folder);

    // The errno of each folder beneath a root that could not be read, by its path.
    using Failures = std::map<Path, int>;
    // Lists what a report shows beneath one of the listed folders; false when the run is to stop.
    using ListBeneath =
        std::function<bool(const Path& top, const std::vector<FolderNode>&, const Failures&)>;

    // The two listings (ReportRunListings.cpp); each tells how its report is to be closed.
    ReportSink::Closing listOneLevel(Output& out, const RunInputs& inputs, Sizing& sizing);
    ReportSink::Closing listTree(Output& out, const RunInputs& inputs, Sizing& sizing);
    static std::vector<std::string> subFolders(const std::vector<DirEntry>& entries,
                                               const Counting& counting);
    // Lists each sized folder when it is done, in the listing's order.
    void listRoots(Output& out, const Path& parent, Sizing& sizing, const ListBeneath& beneath);
    std::uint64_t closingValue(ReportSink::Closing block, const Path& folder) const;
    // Why a listed folder has no size: its own failure, else the first beneath it by path.
    static ListedFolder listed(const Path& path, const FolderSize& size, const Failures& failures);
    // False when the size is unknown for want of a resource: the listing then stops.
    bool known(const Path& path, const FolderSize& size);
    void add(std::size_t root, const FolderSize& size);
    bool goingOn(const Output& out) const;
    // Waits for one sized root while the host goes on; false when the run is to stop.
    bool awaitRoot(SizingJob& job, std::size_t root, const Path& name, Output& out);
    // Counts the roots from `from` on that have finished ahead of the one awaited.
    void countFinished(SizingJob& job, std::size_t from);
    void markSized(std::size_t root);
    // Yields now and then: often enough for a live window, rarely enough to cost nothing.
    void pace(Output& out);
    void yieldNow(Output& out);

    RunHost& host_;
    DirectoryReader& directories_;
    FolderInfo& folders_;
    RunState state_ = RunState::Idle;
    std::uint64_t sizeTotal_ = 0;
    // The folder in hand, or the one whose sizing ran out of a resource, and the errno that said
    // so (0: none did).
    Path shortOf_;
    int shortage_ = 0;
    RunProgress progress_;
    std::vector<bool> finished_;    // the roots counted as sized
    std::size_t firstPending_ = 0;  // no root before it is still being sized
    std::chrono::steady_clock::time_point lastYield_;
    unsigned paced_ = 0;  // lines paced since the clock was last read
};

}  // namespace dirtally
