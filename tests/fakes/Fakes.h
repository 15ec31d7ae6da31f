#pragma once

// Scripted doubles of every platform service: answers are given once, through the constructor
// or the public fields, and every call is recorded for the test to check.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "mainwindow/Services.h"

namespace dirtally::test {

// Pops the next scripted answer, or gives the fallback when the script has run out.
template <typename T>
T nextAnswer(std::deque<T>& answers, T fallback) {
    if (!answers.empty()) {
        fallback = std::move(answers.front());
        answers.pop_front();
    }
    return fallback;
}

class FakeDirectoryReader final : public DirectoryReader {
  public:
    explicit FakeDirectoryReader(std::map<Path, std::vector<DirEntry>> folders = {})
        : folders_(std::move(folders)) {}
    // Folders missing from the table do not exist.
    int readInBatches(const Path& folder, const Batch& batch) override;
    std::vector<Path> reads;
    std::size_t batchSize = 2;  // entries handed over at a time
    int failAfterBatch = 0;     // when not 0, the errno of the read after the first batch

  private:
    std::map<Path, std::vector<DirEntry>> folders_;
};

// Sizes come from a table by root name; roots missing from it cannot be read.
class FakeFolderInfo final : public FolderInfo {
  public:
    explicit FakeFolderInfo(std::map<std::string, FolderSize> sizes = {},
                            std::optional<DriveSpace> space = DriveSpace{1'000'000, 2'000'000})
        : sizes_(std::move(sizes)), space_(space) {}
    std::unique_ptr<SizingJob> start(SizingRequest request) override;
    std::optional<DriveSpace> driveSpace(const Path& path) override;

    // What the job of the last request knows of the root `name`.
    FolderSize sizeOf(const std::string& name) const;
    std::vector<FolderNode> treeOf(const std::string& name) const;
    std::vector<ReadFailure> failuresOf(const std::string& name) const;

    std::map<std::string, std::vector<FolderNode>> trees;      // kept folders by root name
    std::map<std::string, std::vector<ReadFailure>> failures;  // by root name
    std::deque<SizingRequest> requests;
    std::vector<Path> spaceQueries;
    // Runs while a root is awaited, before its result is given (a test's way into the wait).
    std::function<void(std::size_t root)> onWait;
    // Roots still being sized when first awaited: the run yields before it waits for them again.
    std::set<std::size_t> notYet;

  private:
    std::map<std::string, FolderSize> sizes_;
    std::optional<DriveSpace> space_;
};

class FakeFileProbe final : public FileProbe {
  public:
    explicit FakeFileProbe(std::set<Path> regularFiles = {}) : files_(std::move(regularFiles)) {}
    bool isRegularFile(const Path& path) override { return files_.count(path) != 0; }

  private:
    std::set<Path> files_;
};

class FakeFolderPicker final : public FolderPicker {
  public:
    // Each browse reports the highlights, then gives the next answer (nullopt: Cancel).
    FakeFolderPicker(std::deque<std::optional<QString>> answers = {}, QStringList highlights = {})
        : answers_(std::move(answers)), highlights_(std::move(highlights)) {}
    std::optional<QString> browse(
        QWidget* parent, const FolderPickerRequest& request,
        const std::function<void(const QString&)>& onHighlighted) override;
    void setPrompt2(const QString& text) override { prompt2Texts.append(text); }

    std::vector<FolderPickerRequest> requests;
    QStringList prompt2Texts;

  private:
    std::deque<std::optional<QString>> answers_;
    QStringList highlights_;
};

class FakeSaveDialog final : public SaveDialog {
  public:
    explicit FakeSaveDialog(std::deque<std::optional<QString>> answers = {})
        : answers_(std::move(answers)) {}
    std::optional<QString> showSave(QWidget*, const SaveDialogRequest& request) override {
        requests.push_back(request);
        return nextAnswer(answers_, std::optional<QString>{});
    }
    std::vector<SaveDialogRequest> requests;

  private:
    std::deque<std::optional<QString>> answers_;
};

class FakeMessageBox final : public MessageBox {
  public:
    void critical(QWidget*, const QString& title, const QString& text) override {
        shown.emplace_back(title, text);
    }
    std::vector<std::pair<QString, QString>> shown;  // title, text
};

class FakeUrlOpener final : public UrlOpener {
  public:
    void open(const QUrl& url) override { opened.append(url); }
    QList<QUrl> opened;
};

class FakeTextEditor final : public TextEditor {
  public:
    explicit FakeTextEditor(bool starts = true) : starts_(starts) {}
    bool open(const Path& file) override {
        opened.push_back(file);
        return starts_;
    }
    std::vector<Path> opened;

  private:
    bool starts_;
};

class FakeSoundPlayer final : public SoundPlayer {
  public:
    explicit FakeSoundPlayer(std::function<void(const QString&)> whilePlaying = {})
        : whilePlaying_(std::move(whilePlaying)) {}
    void playSync(const QString& file) override {
        played.append(file);
        if (whilePlaying_) {
            whilePlaying_(file);
        }
    }
    QStringList played;

  private:
    std::function<void(const QString&)> whilePlaying_;
};

class FakeProcessInfo final : public ProcessInfo {
  public:
    FakeProcessInfo(Path currentDirectory = "/data", Path programFolder = "/opt/dirtally")
        : current_(std::move(currentDirectory)), program_(std::move(programFolder)) {}
    Path currentDirectory() override { return current_; }
    Path programFolder() override { return program_; }
    void endProcess(int exitCode) override { exitCodes.push_back(exitCode); }
    std::vector<int> exitCodes;

  private:
    Path current_;
    Path program_;
};

class FakeClock final : public Clock {
  public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(7, 5, 9)))
        : now_(std::move(now)) {}
    QDateTime now() override { return now_; }

  private:
    QDateTime now_;
};

class FakeInstanceGuard final : public InstanceGuard {
  public:
    explicit FakeInstanceGuard(bool previous = false) : previous_(previous) {}
    bool previousInstance() const override { return previous_; }
    void raisePrevious() override { ++raiseRequests; }
    void onRaiseRequest(std::function<void()> handler) override {
        raiseHandler = std::move(handler);
    }
    int raiseRequests = 0;
    std::function<void()> raiseHandler;

  private:
    bool previous_;
};

// One of each double, and the Services that hand them in. Tests replace the members they script.
struct FakeServices {
    FakeDirectoryReader directories;
    FakeFolderInfo folders;
    FakeFileProbe files;
    FakeFolderPicker folderPicker;
    FakeSaveDialog saveDialog;
    FakeMessageBox messageBox;
    FakeUrlOpener urlOpener;
    FakeTextEditor textEditor;
    FakeSoundPlayer soundPlayer;
    FakeProcessInfo process;
    FakeClock clock;
    FakeInstanceGuard instance;

    Services services() {
        return Services{directories, folders,    files,       folderPicker, saveDialog, messageBox,
                        urlOpener,   textEditor, soundPlayer, process,      clock,      instance};
    }
};

}  // namespace dirtally::test
