// The two listings of the report run: one line per sub-folder of the folder, or one line per
// folder of the whole tree beneath it.
#include "listing/ReportFormat.h"
#include "listing/ReportRun.h"
#include "listing/ReportWriter.h"

namespace dirtally {

namespace {
constexpr auto kYieldInterval = std::chrono::milliseconds(5);
constexpr auto kWaitSlice = std::chrono::milliseconds(10);
// How often the folders finished ahead of the one awaited are counted, and how long one is
// awaited before the progress names it.
constexpr auto kCountInterval = std::chrono::milliseconds(100);
constexpr auto kNameAfter = std::chrono::seconds(1);
}  // namespace

void ReportRun::yieldNow(Output& out) {
    // Whatever happens in the yield (the window closed, a signal), the lines so far are on disk
    // where the report keeps them; elsewhere the writer hands them over in large blocks.
    if (out.linesBeforeYield) {
        out.writer.flush();
    }
    host_.yield(progress_);
    lastYield_ = std::chrono::steady_clock::now();
}

// The clock is read every few lines, not at each: a line of a wide folder costs less than reading
// it, and a few lines add microseconds to the interval.
void ReportRun::pace(Output& out) {
    constexpr unsigned kLinesPerLook = 16;
    if (++paced_ % kLinesPerLook == 0 &&
        std::chrono::steady_clock::now() - lastYield_ >= kYieldInterval) {
        yieldNow(out);
    }
}

// A report that cannot be written stops the run at once, as a request to stop does.
bool ReportRun::goingOn(const Output& out) const {
    return state_ != RunState::Stopping && out.writer.error().isEmpty();
}

bool ReportRun::awaitRoot(SizingJob& job, std::size_t root, const Path& name, Output& out) {
    const auto start = std::chrono::steady_clock::now();
    auto counted = start;
    while (!job.wait(root, kWaitSlice)) {
        const auto now = std::chrono::steady_clock::now();
        if (now - counted >= kCountInterval) {
            countFinished(job, root + 1);
            counted = now;
        }
        if (now - start >= kNameAfter) {
            progress_.inHand = report::safeName(name);
        }
        yieldNow(out);
        if (!goingOn(out)) {
            job.cancel();
            return false;
        }
    }
    progress_.inHand.clear();
    return goingOn(out);
}

void ReportRun::countFinished(SizingJob& job, std::size_t from) {
    while (firstPending_ < finished_.size() && finished_[firstPending_]) {
        ++firstPending_;
    }
    for (std::size_t j = std::max(from, firstPending_); j < finished_.size(); ++j) {
        if (!finished_[j] && job.wait(j, std::chrono::milliseconds(0))) {
            markSized(j);
        }
    }
}

void ReportRun::markSized(std::size_t root) {
    if (!finished_[root]) {
        finished_[root] = true;
        ++progress_.foldersDone;
    }
}

bool ReportRun::known(const Path& path, const FolderSize& size) {
    if (size.resourceError != 0) {
        shortOf_ = path;
        shortage_ = size.resourceError;
    }
    return shortage_ == 0;
}

void ReportRun::add(std::size_t root, const FolderSize& size) {
    if (size.readable) {
        sizeTotal_ += size.bytes;
    }
    markSized(root);
    progress_.bytes = sizeTotal_;
}

// Both listings size the same folders, so that both come to the same total for one folder.
std::vector<std::string> ReportRun::subFolders(const std::vector<DirEntry>& entries,
                                               const Counting& counting) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    // An entry whose attributes cannot be read counts as a sub-folder. Its path is made only
    // where a pattern may leave it out: a wide folder would pay for it at every entry.
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other &&
            (counting.exclude.empty() ||
             !counting.excludes(entry.name.c_str(), ('/' + entry.name).c_str()))) {
            names.push_back(entry.name);
        }
    }
    return names;
}

void ReportRun::listRoots(Output& out, const Path& parent, Sizing& sizing,
                          const ListBeneath& beneath) {
    const std::vector<std::string>& names = sizing.roots;
    SizingJob& job = *sizing.job;
    progress_.foldersToSize = names.size();
    finished_.assign(names.size(), false);
    firstPending_ = 0;
    // The header reaches the report while the engine works; a yield per folder after it would
    // cost a write and a pass of the host's events for every line of a wide folder.
    yieldNow(out);
    for (std::size_t i = 0; i < names.size(); ++i) {
        pace(out);
        // Kept as bytes: a name made readable for every line would cost more than the line.
        shortOf_ = names[i];
        if (!goingOn(out) || !awaitRoot(job, i, names[i], out)) {
            return;
        }
        const FolderSize size = job.result(i);
        if (!known(names[i], size)) {
            return;
        }
        Failures failures;
        for (const ReadFailure& failure : job.failures(i)) {
            host_.cannotRead(parent + failure.path, failure.error);
            failures.emplace(failure.path, failure.error);
        }
        // A mount point that -x leaves out is not listed, as du -x leaves it out.
        if (!size.otherFileSystem) {
            out.sink.folder(listed(names[i], size, failures));
        }
        add(i, size);
        // A top-level dot-folder has its line and its bytes in the total, as in the one-level
        // listing; what lies beneath it is never listed.
        if (beneath && listedInTree(names[i]) && !beneath(names[i], job.tree(i), failures)) {
            return;
        }
    }
}

ListedFolder ReportRun::listed(const Path& path, const FolderSize& size, const Failures& failures) {
    if (size.readable) {
        return {path, size};
    }
    auto failure = failures.find(path);
    if (failure == failures.end()) {
        failure = failures.lower_bound(path + '/');
    }
    const bool beneath = failure != failures.end() && failure->first.starts_with(path);
    return {path, size, beneath ? failure->second : 0};
}

ReportSink::Closing ReportRun::listOneLevel(Output& out, const RunInputs& inputs, Sizing& sizing) {
    const Path root = withSeparator(inputs.folder);
    if (root != inputs.folder) {
        host_.setFolder(root);
    }
    listRoots(out, root, sizing, {});
    // The mode is read again: unticked while the folders were listed, it closes with the used
    // space.
    return host_.oneLevel() ? ReportSink::Closing::FoldersTotal : ReportSink::Closing::UsedSpace;
}

// The first-level folders make up the total; the lines beneath each are already in it.
ReportSink::Closing ReportRun::listTree(Output& out, const RunInputs& inputs, Sizing& sizing) {
    listRoots(out, withSeparator(inputs.folder), sizing,
              [&](const Path& top, const std::vector<FolderNode>& tree, const Failures& failures) {
                  std::vector<Path> paths(tree.size());
                  for (std::size_t n = 0; n < tree.size(); ++n) {
                      pace(out);
                      const FolderNode& node = tree[n];
                      const Path& parent =
                          node.parent == FolderNode::kNoParent ? top : paths[node.parent];
                      paths[n] = parent + '/' + node.name;
                      if (!goingOn(out) || !known(paths[n], node.size)) {
                          return false;
                      }
                      out.sink.folder(listed(paths[n], node.size, failures));
                  }
                  return true;
              });
    return ReportSink::Closing::TreeTotal;
}

}  // namespace dirtally
