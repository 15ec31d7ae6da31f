#include "listing/ReportRun.h"

#include <QIODevice>
#include <cerrno>
#include <new>

#include "listing/ChosenSink.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"
#include "platform/system/SystemError.h"

namespace dirtally {

ReportRun::ReportRun(RunHost& host, DirectoryReader& directories, FolderInfo& folders)
    : host_(host), directories_(directories), folders_(folders) {}

Path ReportRun::withSeparator(const Path& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + '/';
}

void ReportRun::makeList() {
    switch (state_) {
        case RunState::Idle:
            run();
            break;
        case RunState::Running:
            setState(RunState::Stopping);
            break;
        case RunState::Preparing:
        case RunState::Stopping:
            break;
    }
}

void ReportRun::setState(RunState state) {
    state_ = state;
    host_.stateChanged(state);
}

void ReportRun::run() {
    setState(RunState::Preparing);
    progress_ = {};
    host_.yield(progress_);
    RunInputs inputs = host_.prepareRun();
    setState(RunState::Running);
    sizeTotal_ = 0;
    shortOf_ = inputs.folder;
    QString error;
    // Memory that runs out is a resource like any other, never the end of the program: the
    // report is closed (one that replaces another is dropped) and the user told.
    try {
        error = listAndWrite(inputs);
    } catch (const std::bad_alloc&) {
        error = shortageText(inputs.report, ENOMEM);
    }
    setState(RunState::Idle);
    if (!error.isEmpty()) {
        host_.showError(error);
    }
}

// The folder is read a batch at a time, and the sub-folders of each batch are sized while the
// next is read. The report is opened only once the folder has been opened and its first entries
// read: a folder that has gone or cannot be read is reported instead of passed over, and no report
// is left behind for it; nothing is written to the report before the whole folder is read. A
// previous report the host read meanwhile and refused ends the run then, before any other
// failure is told. The report is closed and the sizing ended when this returns, before the host
// shows the run has ended.
QString ReportRun::listAndWrite(RunInputs& inputs) {
    Sizing sizing;
    const int error = directories_.readInBatches(
        withSeparator(inputs.folder), [&](const std::vector<DirEntry>& batch) {
            return inputs.report.empty() || addRoots(inputs, sizing, batch);
        });
    if (inputs.awaitComparison && !(inputs.comparison = inputs.awaitComparison())) {
        return QString();
    }
    if (error != 0) {
        return QStringLiteral("The folder %1 could not be listed:\n%2")
            .arg(pathToText(inputs.folder), systemErrorText(error));
    }
    if (inputs.report.empty()) {
        return QString();
    }
    if (!sizing.job && !startSizing(inputs, sizing)) {
        return writeFailure(inputs.report, sizing.why);
    }
    sizing.job->add({}, true);
    return writeReport(inputs, sizing);
}

bool ReportRun::addRoots(const RunInputs& inputs, Sizing& sizing,
                         const std::vector<DirEntry>& batch) {
    if (!sizing.job && !startSizing(inputs, sizing)) {
        return false;
    }
    std::vector<std::string> names = subFolders(batch, inputs.counting);
    sizing.roots.insert(sizing.roots.end(), names.begin(), names.end());
    sizing.job->add(std::move(names), false);
    return true;
}

bool ReportRun::startSizing(const RunInputs& inputs, Sizing& sizing) {
    sizing.report = host_.openReport(inputs.report, &sizing.why);
    if (!sizing.report) {
        return false;
    }
    sizing.job = folders_.start({.parent = withSeparator(inputs.folder),
                                 .children = {},
                                 .keepTree = !inputs.oneLevel,
                                 .leftOut = sizing.report->files(),
                                 .counting = inputs.counting,
                                 .moreRoots = true});
    return true;
}

QString ReportRun::writeReport(const RunInputs& inputs, Sizing& sizing) {
    ReportWriter writer(sizing.report->stream());
    const std::unique_ptr<ReportSink> chosen = chosenSink(inputs, writer);
    ReportSink& sink = *chosen;
    Output out{writer, sink, sizing.report->linesBeforeYield()};
    lastYield_ = std::chrono::steady_clock::now();
    sink.header(inputs.folder, inputs.oneLevel, inputs.today);
    shortage_ = 0;
    const ReportSink::Closing block =
        inputs.oneLevel ? listOneLevel(out, inputs, sizing) : listTree(out, inputs, sizing);
    // A size the system ran out of resources to find is not a blank one: the report stays
    // without its closing block, plainly unfinished, and the user is told why.
    if (shortage_ == 0 && writer.error().isEmpty()) {
        sink.closing(block, closingValue(block, inputs.folder));
    }
    writer.flush();
    QString why = writer.error();
    if (why.isEmpty() && shortage_ != 0) {
        return shortageText(inputs.report, shortage_);
    }
    if (why.isEmpty()) {
        sizing.report->finish(&why);
    }
    return why.isEmpty() ? why : writeFailure(inputs.report, why);
}

QString ReportRun::writeFailure(const Path& report, const QString& why) {
    return QStringLiteral("The report %1 could not be written:\n%2").arg(pathToText(report), why);
}

QString ReportRun::shortageText(const Path& report, int error) const {
    return QStringLiteral(
               "The report %1 could not be finished: the system ran out of a resource while %2 "
               "was sized:\n%3")
        .arg(pathToText(report), report::safeName(shortOf_), systemErrorText(error));
}

std::uint64_t ReportRun::closingValue(ReportSink::Closing block, const Path& folder) const {
    if (block != ReportSink::Closing::UsedSpace) {
        return sizeTotal_;
    }
    const auto space = folders_.driveSpace(withSeparator(folder));
    return space ? space->totalBytes - std::min(space->freeBytes, space->totalBytes) : 0;
}

}  // namespace dirtally
