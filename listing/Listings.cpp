// The two listings of the report run: one line per sub-folder of the folder, or one line per
// folder of the whole tree beneath it.
#include <vector>

#include "listing/ReportFormat.h"
#include "listing/ReportRun.h"
#include "listing/ReportWriter.h"

namespace dirtally {

namespace {
constexpr auto kYieldInterval = std::chrono::milliseconds(5);
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

bool isDotName(const std::string& name) {
    return !name.empty() && name.front() == '.';
}
}  // namespace

Path withSeparator(const Path& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + '/';
}

bool ReportRun::stopRequested() const {
    return host_.abortFlag() || !host_.runActive();
}

void ReportRun::yieldNow(ReportWriter& out) {
    // Whatever happens in the yield (the close box included), the lines so far are on disk.
    out.flush();
    host_.yield();
    lastYield_ = std::chrono::steady_clock::now();
}

void ReportRun::pace(ReportWriter& out) {
    if (std::chrono::steady_clock::now() - lastYield_ >= kYieldInterval) {
        yieldNow(out);
    }
}

bool ReportRun::awaitRoot(SizingJob& job, std::size_t root, ReportWriter& out) {
    while (!job.wait(root, kWaitSlice)) {
        yieldNow(out);
        if (stopRequested()) {
            job.cancel();
            return false;
        }
    }
    return !stopRequested();
}

void ReportRun::writeFolderLine(ReportWriter& out, const QString& name, const FolderSize& size) {
    out.write(name);
    out.columnStop(83);
    out.tab();
    if (size.readable) {
        out.write(report::sizeField(size.bytes, locale_));
    } else {
        out.write(report::blankSizeField());
    }
    out.endLine();
}

void ReportRun::addToTotal(const FolderSize& size) {
    if (size.readable) {
        sizeTotal_ += size.bytes;
    }
}

void ReportRun::listOneLevel(ReportWriter& out, const std::vector<DirEntry>& entries) {
    const Path folder = host_.folderLine();
    reportRoot_ = withSeparator(folder);
    if (reportRoot_ != folder) {
        host_.setFolderLine(reportRoot_);
    }
    SizingRequest request{reportRoot_, {}, false};
    // An entry whose attributes cannot be read counts as a sub-folder.
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other) {
            request.children.push_back(entry.name);
        }
    }
    const std::vector<std::string> names = request.children;
    auto job = folders_.start(std::move(request));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString name = report::displayName(names[i]);
        yieldNow(out);
        if (stopRequested() || !awaitRoot(*job, i, out)) {
            return;
        }
        const FolderSize size = job->result(i);
        writeFolderLine(out, name, size);
        addToTotal(size);
    }
}

void ReportRun::listAllSubFolders(ReportWriter& out, const std::vector<DirEntry>& entries) {
    SizingRequest request{withSeparator(host_.folderLine()), {}, true};
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other && !isDotName(entry.name)) {
            request.children.push_back(entry.name);
        }
    }
    const std::vector<std::string> names = request.children;
    auto job = folders_.start(std::move(request));
    for (std::size_t i = 0; i < names.size(); ++i) {
        yieldNow(out);
        if (stopRequested() || !awaitRoot(*job, i, out)) {
            return;
        }
        const QString top = report::safeName(names[i]);
        // The first-level folders make up the total; the lines beneath them are already in it.
        const FolderSize size = job->result(i);
        writeFolderLine(out, top, size);
        addToTotal(size);
        const std::vector<FolderNode>& tree = job->tree(i);
        std::vector<QString> paths(tree.size());
        for (std::size_t n = 0; n < tree.size(); ++n) {
            pace(out);
            if (stopRequested()) {
                return;
            }
            const FolderNode& node = tree[n];
            const QString& parent = node.parent == FolderNode::kNoParent ? top : paths[node.parent];
            paths[n] = parent + report::kSeparator + report::safeName(node.name);
            writeFolderLine(out, paths[n], node.size);
        }
    }
}

}  // namespace dirtally
