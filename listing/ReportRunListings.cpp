// The two listings of the report run: one line per sub-folder of the folder, or one line per
// folder of the whole tree beneath it.
#include "listing/ReportFormat.h"
#include "listing/ReportRun.h"
#include "listing/ReportWriter.h"

namespace dirtally {

namespace {
constexpr auto kYieldInterval = std::chrono::milliseconds(5);
constexpr auto kWaitSlice = std::chrono::milliseconds(10);
}  // namespace

void ReportRun::yieldNow(Output& out) {
    // Whatever happens in the yield (the window closed, a signal), the lines so far are on disk.
    out.writer.flush();
    host_.yield(progress_);
    lastYield_ = std::chrono::steady_clock::now();
}

void ReportRun::pace(Output& out) {
    if (std::chrono::steady_clock::now() - lastYield_ >= kYieldInterval) {
        yieldNow(out);
    }
}

bool ReportRun::awaitRoot(SizingJob& job, std::size_t root, Output& out) {
    while (!job.wait(root, kWaitSlice)) {
        yieldNow(out);
        if (state_ == RunState::Stopping) {
            job.cancel();
            return false;
        }
    }
    return state_ != RunState::Stopping;
}

bool ReportRun::known(const QString& name, const FolderSize& size) {
    if (size.resourceError != 0) {
        shortOf_ = name;
        shortage_ = size.resourceError;
    }
    return shortage_ == 0;
}

void ReportRun::add(const FolderSize& size) {
    if (size.readable) {
        sizeTotal_ += size.bytes;
    }
    ++progress_.foldersDone;
    progress_.bytes = sizeTotal_;
}

ReportSink::Closing ReportRun::listOneLevel(Output& out, const Path& folder,
                                            const std::vector<DirEntry>& entries) {
    const Path root = withSeparator(folder);
    if (root != folder) {
        host_.setFolder(root);
    }
    SizingRequest request{root, {}, false};
    // An entry whose attributes cannot be read counts as a sub-folder.
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other) {
            request.children.push_back(entry.name);
        }
    }
    const std::vector<std::string> names = request.children;
    progress_.foldersToSize = names.size();
    const auto job = folders_.start(std::move(request));
    for (std::size_t i = 0; i < names.size(); ++i) {
        yieldNow(out);
        if (state_ == RunState::Stopping || !awaitRoot(*job, i, out)) {
            break;
        }
        const QString name = report::safeName(names[i]);
        const FolderSize size = job->result(i);
        if (!known(name, size)) {
            break;
        }
        out.sink.folder(name, size);
        add(size);
    }
    // The mode is read again: unticked while the folders were listed, it closes with the used
    // space.
    return host_.oneLevel() ? ReportSink::Closing::FoldersTotal : ReportSink::Closing::UsedSpace;
}

ReportSink::Closing ReportRun::listTree(Output& out, const Path& folder,
                                        const std::vector<DirEntry>& entries) {
    SizingRequest request{withSeparator(folder), {}, true};
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other && listedInTree(entry.name)) {
            request.children.push_back(entry.name);
        }
    }
    const std::vector<std::string> names = request.children;
    progress_.foldersToSize = names.size();
    const auto job = folders_.start(std::move(request));
    for (std::size_t i = 0; i < names.size(); ++i) {
        yieldNow(out);
        if (state_ == RunState::Stopping || !awaitRoot(*job, i, out)) {
            break;
        }
        const QString top = report::safeName(names[i]);
        // The first-level folders make up the total; the lines beneath them are already in it.
        const FolderSize size = job->result(i);
        if (!known(top, size)) {
            break;
        }
        out.sink.folder(top, size);
        add(size);
        const std::vector<FolderNode>& tree = job->tree(i);
        std::vector<QString> paths(tree.size());
        for (std::size_t n = 0; n < tree.size(); ++n) {
            pace(out);
            if (state_ == RunState::Stopping) {
                return ReportSink::Closing::TreeTotal;
            }
            const FolderNode& node = tree[n];
            const QString& parent = node.parent == FolderNode::kNoParent ? top : paths[node.parent];
            paths[n] = parent + QLatin1Char('/') + report::safeName(node.name);
            if (!known(paths[n], node.size)) {
                return ReportSink::Closing::TreeTotal;
            }
            out.sink.folder(paths[n], node.size);
        }
    }
    return ReportSink::Closing::TreeTotal;
}

}  // namespace dirtally
