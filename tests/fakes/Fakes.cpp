#include "Fakes.h"

#include <QTest>
#include <cerrno>

namespace dirtally::test {

namespace {
class FakeSizingJob final : public SizingJob {
  public:
    FakeSizingJob(FakeFolderInfo& folders, SizingRequest& request)
        : folders_(folders), request_(request), notYet_(folders.notYet) {
        std::vector<std::string> roots;
        std::swap(roots, request.children);
        add(std::move(roots), !request.moreRoots);
    }
    bool wait(std::size_t root, std::chrono::milliseconds) override {
        if (folders_.onWait) {
            folders_.onWait(root);
        }
        return notYet_.erase(root) == 0;
    }
    FolderSize result(std::size_t root) const override {
        return cancelled_ ? FolderSize::unreadable() : results_.at(root);
    }
    std::vector<ReadFailure> failures(std::size_t root) const override {
        return failures_.at(root);
    }
    const std::vector<FolderNode>& tree(std::size_t root) const override { return trees_.at(root); }
    void cancel() override { cancelled_ = true; }
    void add(std::vector<std::string> roots, bool last) override {
        QVERIFY(!ended_);
        ended_ = last;
        for (std::string& name : roots) {
            results_.push_back(folders_.sizeOf(name));
            trees_.push_back(folders_.treeOf(name));
            failures_.push_back(folders_.failuresOf(name));
            request_.children.push_back(std::move(name));
        }
    }

  private:
    FakeFolderInfo& folders_;
    SizingRequest& request_;  // the request as recorded, its roots growing with the job's
    std::set<std::size_t> notYet_;
    std::vector<FolderSize> results_;
    std::vector<std::vector<FolderNode>> trees_;
    std::vector<std::vector<ReadFailure>> failures_;
    bool cancelled_ = false;
    bool ended_ = false;
};
}  // namespace

int FakeDirectoryReader::readInBatches(const Path& folder, const Batch& batch) {
    reads.push_back(folder);
    const auto found = folders_.find(folder);
    if (found == folders_.end()) {
        return ENOENT;
    }
    const std::vector<DirEntry>& entries = found->second;
    for (std::size_t from = 0; from < entries.size(); from += batchSize) {
        if (from > 0 && failAfterBatch != 0) {
            return failAfterBatch;
        }
        const auto end =
            entries.begin() + std::ptrdiff_t(std::min(from + batchSize, entries.size()));
        if (!batch(std::vector<DirEntry>(entries.begin() + std::ptrdiff_t(from), end))) {
            break;
        }
    }
    return 0;
}

std::unique_ptr<SizingJob> FakeFolderInfo::start(SizingRequest request) {
    // Kept in a list: each job's request stays where it is while more are made.
    requests.push_back(std::move(request));
    return std::make_unique<FakeSizingJob>(*this, requests.back());
}

FolderSize FakeFolderInfo::sizeOf(const std::string& name) const {
    const auto size = sizes_.find(name);
    return size == sizes_.end() ? FolderSize::unreadable() : size->second;
}

std::vector<FolderNode> FakeFolderInfo::treeOf(const std::string& name) const {
    const auto tree = trees.find(name);
    return tree == trees.end() ? std::vector<FolderNode>{} : tree->second;
}

std::vector<ReadFailure> FakeFolderInfo::failuresOf(const std::string& name) const {
    const auto failure = failures.find(name);
    return failure == failures.end() ? std::vector<ReadFailure>{} : failure->second;
}

std::optional<DriveSpace> FakeFolderInfo::driveSpace(const Path& path) {
    spaceQueries.push_back(path);
    return space_;
}

std::optional<QString> FakeFolderPicker::browse(
    QWidget*, const FolderPickerRequest& request,
    const std::function<void(const QString&)>& onHighlighted) {
    requests.push_back(request);
    for (const QString& folder : highlights_) {
        onHighlighted(folder);
    }
    return nextAnswer(answers_, std::optional<QString>{});
}

}  // namespace dirtally::test
