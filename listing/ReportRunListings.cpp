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

bool ReportRun::known(const Path& path, const FolderSize& size) {
    if (size.resourceError != 0) {
        shortOf_ = report::safeName(path);
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

std::vector<std::string> ReportRun::subFolders(const std::vector<DirEntry>& entries, bool wholeTree,
                                               const Counting& counting) {
    std::vector<std::string> names;
    // An entry whose attributes cannot be read counts as a sub-folder.
    for (const DirEntry& entry : entries) {
        if (entry.kind != DirEntry::Kind::Other && (!wholeTree || listedInTree(entry.name)) &&
            !counting.excludes(entry.name.c_str(), ('/' + entry.name).c_str())) {
            names.push_back(entry.name);
        }
    }
    return names;
}

void ReportRun::listRoots(Output& out, SizingRequest request, const ListBeneath& beneath) {
    const std::vector<std::string> names = request.children;
    progress_.foldersToSize = names.size();
    const auto job = folders_.start(std::move(request));
    for (std::size_t i = 0; i < names.size(); ++i) {
        yieldNow(out);
        if (state_ == RunState::Stopping || !awaitRoot(*job, i, out)) {
            return;
        }
        const FolderSize size = job->result(i);
        if (!known(names[i], size)) {
            return;
        }
        // Only a root without a size has folders beneath that could not be read.
        Failures failures;
        if (!size.readable) {
            for (const ReadFailure& failure : job->failures(i)) {
                failures.emplace(failure.path, failure.error);
            }
        }
        // A mount point that -x leaves out is not listed, as du -x leaves it out.
        if (!size.otherFileSystem) {
            out.sink.folder(listed(names[i], size, failures));
        }
        add(size);
        if (beneath && !beneath(names[i], job->tree(i), failures)) {
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

ReportSink::Closing ReportRun::listOneLevel(Output& out, const RunInputs& inputs,
                                            const std::vector<DirEntry>& entries) {
    const Path root = withSeparator(inputs.folder);
    if (root != inputs.folder) {
        host_.setFolder(root);
    }
    listRoots(out,
              {.parent = root,
               .children = subFolders(entries, false, inputs.counting),
               .counting = inputs.counting},
              {});
    // The mode is read again: unticked while the folders were listed, it closes with the used
    // space.
    return host_.oneLevel() ? ReportSink::Closing::FoldersTotal : ReportSink::Closing::UsedSpace;
}

// The first-level folders make up the total; the lines beneath each are already in it.
ReportSink::Closing ReportRun::listTree(Output& out, const RunInputs& inputs,
                                        const std::vector<DirEntry>& entries) {
    listRoots(out,
              {.parent = withSeparator(inputs.folder),
               .children = subFolders(entries, true, inputs.counting),
               .keepTree = true,
               .counting = inputs.counting},
              [&](const Path& top, const std::vector<FolderNode>& tree, const Failures& failures) {
                  std::vector<Path> paths(tree.size());
                  for (std::size_t n = 0; n < tree.size(); ++n) {
                      pace(out);
                      const FolderNode& node = tree[n];
                      const Path& parent =
                          node.parent == FolderNode::kNoParent ? top : paths[node.parent];
                      paths[n] = parent + '/' + node.name;
                      if (state_ == RunState::Stopping || !known(paths[n], node.size)) {
                          return false;
                      }
                      out.sink.folder(listed(paths[n], node.size, failures));
                  }
                  return true;
              });
    return ReportSink::Closing::TreeTotal;
}

}  // namespace dirtally
