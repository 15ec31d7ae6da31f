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
    const RunInputs inputs = host_.prepareRun();
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

QString ReportRun::listAndWrite(const RunInputs& inputs) {
    // Read before the report is opened: a folder that has gone or cannot be read is reported
    // instead of passed over, and no report is left behind for it.
    const FolderListing listing = directories_.read(withSeparator(inputs.folder));
    if (listing.error != 0) {
        return QStringLiteral("The folder %1 could not be listed:\n%2")
            .arg(pathToText(inputs.folder), systemErrorText(listing.error));
    }
    return inputs.report.empty() ? QString() : writeReport(inputs, listing.entries);
}

// The report is closed when this returns, before the host shows the run has ended.
QString ReportRun::writeReport(const RunInputs& inputs, const std::vector<DirEntry>& entries) {
    QString why;
    if (const std::unique_ptr<ReportOutput> report = host_.openReport(inputs.report, &why)) {
        ReportWriter writer(report->stream());
        const std::unique_ptr<ReportSink> chosen = chosenSink(inputs, writer);
        ReportSink& sink = *chosen;
        Output out{writer, sink, report->files(), report->linesBeforeYield()};
        lastYield_ = std::chrono::steady_clock::now();
        sink.header(inputs.folder, inputs.oneLevel, inputs.today);
        shortage_ = 0;
        const ReportSink::Closing block =
            inputs.oneLevel ? listOneLevel(out, inputs, entries) : listTree(out, inputs, entries);
        // A size the system ran out of resources to find is not a blank one: the report stays
        // without its closing block, plainly unfinished, and the user is told why.
        if (shortage_ == 0 && writer.error().isEmpty()) {
            sink.closing(block, closingValue(block, inputs.folder));
        }
        writer.flush();
        why = writer.error();
        if (why.isEmpty() && shortage_ != 0) {
            return shortageText(inputs.report, shortage_);
        }
        if (why.isEmpty()) {
            report->finish(&why);
        }
    }
    if (why.isEmpty()) {
        return why;
    }
    return QStringLiteral("The report %1 could not be written:\n%2")
        .arg(pathToText(inputs.report), why);
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
