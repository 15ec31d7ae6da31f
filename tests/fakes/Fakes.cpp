#include "Fakes.h"

#include <cerrno>

namespace dirtally::test {

namespace {
class FakeSizingJob final : public SizingJob {
  public:
    FakeSizingJob(std::vector<FolderSize> results, std::vector<std::vector<FolderNode>> trees,
                  std::vector<std::vector<ReadFailure>> failures,
                  std::function<void(std::size_t)> onWait, std::set<std::size_t> notYet)
        : results_(std::move(results)),
          trees_(std::move(trees)),
          failures_(std::move(failures)),
          onWait_(std::move(onWait)),
          notYet_(std::move(notYet)) {}
    bool wait(std::size_t root, std::chrono::milliseconds) override {
        if (onWait_) {
            onWait_(root);
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

  private:
    std::vector<FolderSize> results_;
    std::vector<std::vector<FolderNode>> trees_;
    std::vector<std::vector<ReadFailure>> failures_;
    std::function<void(std::size_t)> onWait_;
    std::set<std::size_t> notYet_;
    bool cancelled_ = false;
};
}  // namespace

FolderListing FakeDirectoryReader::read(const Path& folder) {
    reads.push_back(folder);
    const auto found = folders_.find(folder);
    if (found == folders_.end()) {
        return {{}, ENOENT};
    }
    return {found->second, 0};
}

std::unique_ptr<SizingJob> FakeFolderInfo::start(SizingRequest request) {
    std::vector<FolderSize> results;
    std::vector<std::vector<FolderNode>> rootTrees;
    std::vector<std::vector<ReadFailure>> failed;
    for (const std::string& child : request.children) {
        const auto size = sizes_.find(child);
        results.push_back(size == sizes_.end() ? FolderSize::unreadable() : size->second);
        const auto tree = trees.find(child);
        rootTrees.push_back(tree == trees.end() ? std::vector<FolderNode>{} : tree->second);
        const auto failure = failures.find(child);
        failed.push_back(failure == failures.end() ? std::vector<ReadFailure>{} : failure->second);
    }
    requests.push_back(std::move(request));
    return std::make_unique<FakeSizingJob>(std::move(results), std::move(rootTrees),
                                           std::move(failed), onWait, notYet);
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
