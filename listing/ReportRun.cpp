#include "listing/ReportRun.h"

#include <QFile>
#include <QIODevice>

#include "VersionInfo.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"
#include "platform/SystemError.h"

namespace dirtally {

namespace {
// A start request while a run is still open is refused; this marks the run open for its lifetime.
class OpenScope {
  public:
    explicit OpenScope(bool& open) : open_(open) { open_ = true; }
    ~OpenScope() { open_ = false; }
    OpenScope(const OpenScope&) = delete;
    OpenScope& operator=(const OpenScope&) = delete;

  private:
    bool& open_;
};
}  // namespace

ReportRun::ReportRun(RunHost& host, DirectoryReader& directories, FolderInfo& folders)
    : host_(host), directories_(directories), folders_(folders) {}

void ReportRun::makeList() {
    const bool abortFace = host_.makeListCaption() == kAbortCaption;
    if (open_ && !abortFace) {
        return;
    }
    if (abortFace) {
        requestAbort();
        return;
    }
    OpenScope scope(open_);
    host_.focusFileList();
    host_.yield();
    host_.setBusyPointer(true);
    if (host_.makeListCaption() == kAbortCaption) {
        requestAbort();
        return;
    }
    run();
}

void ReportRun::requestAbort() {
    host_.focusFileList();
    host_.setBusyPointer(true);
    host_.setRunActive(false);
    host_.setAbortFlag(true);
    host_.setMakeListCaption(kMakeListCaption);
}

void ReportRun::run() {
    locale_ = QLocale();
    reportRoot_.clear();
    writeError_.clear();
    host_.outputChoice();
    host_.focusFileList();
    host_.setRunActive(true);
    host_.setStatus(QStringLiteral("Please Wait ..."));
    host_.setAbortFlag(false);
    host_.setFolderAndViewEnabled(false);
    host_.setMakeListCaption(kAbortCaption);

    const Path output = host_.outputPath();
    const Path folder = host_.folderLine();
    // Read before the report is opened: a folder that has gone or cannot be read is reported
    // instead of passed over, and no report is left behind for it.
    const FolderListing listing = directories_.read(withSeparator(folder));
    QString error;
    if (listing.error != 0) {
        error = QStringLiteral("The folder %1 could not be listed:\n%2")
                    .arg(pathToText(folder), systemErrorText(listing.error));
    } else if (!output.empty()) {
        if (QIODevice* device = host_.openReport(output, &writeError_)) {
            writeReport(*device, listing.entries);
        }
        if (!writeError_.isEmpty()) {
            error = QStringLiteral("The report %1 could not be written:\n%2")
                        .arg(pathToText(output), writeError_);
        }
    }
    host_.clearOutputPath();
    finish();
    if (!error.isEmpty()) {
        host_.showError(error);
    }
}

void ReportRun::writeReport(QIODevice& device, const std::vector<DirEntry>& entries) {
    ReportWriter out(device);
    lastYield_ = std::chrono::steady_clock::now();
    writeHeader(out, host_.folderLine());
    sizeTotal_ = 0;
    if (host_.noSubdirs()) {
        listOneLevel(out, entries);
    } else {
        listAllSubFolders(out, entries);
    }
    writeClosingBlock(out);
    out.flush();
    if (out.failed()) {
        writeError_ = out.error();
    }
}

void ReportRun::writeHeader(ReportWriter& out, const Path& folder) {
    out.endLine();
    out.write(QStringLiteral("Dirtally by ") + QString::fromUtf8(version::webAddress));
    out.endLine();
    out.endLine();
    out.write(report::dateLine(host_.today(), locale_));
    out.endLine();
    out.endLine();
    out.write(QStringLiteral("Path - ") + report::safeName(folder) +
              (host_.noSubdirs() ? QStringLiteral("  ") : QStringLiteral("  (no subs)")));
    out.endLine();
    out.endLine();
}

void ReportRun::writeClosingBlock(ReportWriter& out) {
    out.columnStop(82);
    out.tab();
    out.write(report::kDashes);
    out.endLine();
    if (reportRoot_.empty()) {
        out.columnStop(80);
        out.tab();
        out.write(report::totalField(sizeTotal_, locale_));
        out.endLine();
    } else if (host_.noSubdirs()) {
        out.tab();
        out.columnStop(78);
        out.write(report::totalField(sizeTotal_, locale_));
        out.endLine();
        out.columnStop(82);
        out.tab();
        out.write(report::kDashes);
        out.endLine();
    } else {
        // "No Sub-dirs" was unticked while the folders were listed: the file system's used space.
        std::uint64_t used = 0;
        if (const auto space = folders_.driveSpace(reportRoot_)) {
            used = space->totalBytes - std::min(space->freeBytes, space->totalBytes);
        }
        out.columnStop(82);
        out.tab();
        out.write(report::totalField(used, locale_));
        out.endLine();
    }
}

void ReportRun::finish() {
    host_.closeReport();
    host_.setRunActive(false);
    host_.setAbortFlag(false);
    host_.setMakeListCaption(kMakeListCaption);
    host_.setHelpMenuEnabled(true);
    host_.setFolderAndViewEnabled(true);
    host_.setBusyPointer(false);
    host_.clearHeaderBox();
    host_.setStatus(QStringLiteral("- Done -"));
    host_.setWindowCaption(host_.applicationTitle());
}

}  // namespace dirtally
