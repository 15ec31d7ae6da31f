#pragma once

#include <QBuffer>
#include <functional>

#include "listing/RunHost.h"

namespace dirtally::test {

// The window as the report run sees it, in memory: the report goes to a buffer, and a test can
// act inside the run's yields.
class FakeRunHost final : public RunHost {
  public:
    explicit FakeRunHost(Path folder) : folderLine_(std::move(folder)) {}

    bool abortFlag() const override { return abortFlag_; }
    void setAbortFlag(bool on) override { abortFlag_ = on; }
    bool runActive() const override { return runActive_; }
    void setRunActive(bool on) override { runActive_ = on; }
    Path outputPath() const override { return outputPath_; }
    void clearOutputPath() override { outputPath_.clear(); }
    Path folderLine() const override { return folderLine_; }
    void setFolderLine(const Path& folder) override { folderLine_ = folder; }
    bool noSubdirs() const override { return noSubdirs_; }
    void outputChoice() override {
        ++outputChoices;
        outputPath_ = chosenOutput;
    }
    void yield() override {
        ++yields;
        if (onYield) {
            onYield(yields);
        }
    }
    QIODevice* openReport(const Path& file, QString* error) override {
        ++opens;
        openedPath = file;
        if (!openError.isEmpty()) {
            *error = openError;
            return nullptr;
        }
        report.setData(QByteArray());
        report.open(QIODevice::WriteOnly);
        return device ? device : &report;
    }
    void closeReport() override { report.close(); }
    void showError(const QString& text) override { errors.append(text); }
    QDate today() override { return QDate(2026, 12, 6); }
    void focusFileList() override {}
    void setBusyPointer(bool busy) override { busyPointer = busy; }
    QString makeListCaption() const override { return caption; }
    void setMakeListCaption(const QString& text) override { caption = text; }
    void setStatus(const QString& text) override { status = text; }
    void setFolderAndViewEnabled(bool enabled) override { folderAndViewEnabled = enabled; }
    void setHelpMenuEnabled(bool enabled) override { helpEnabled = enabled; }
    void clearHeaderBox() override {}
    void setWindowCaption(const QString& text) override { windowCaption = text; }
    QString applicationTitle() const override { return QStringLiteral("Dirtally"); }

    void setNoSubdirs(bool on) { noSubdirs_ = on; }

    Path chosenOutput = "/data/Dirtallied.txt";
    QString openError;
    QIODevice* device = nullptr;  // a stream of the test's own instead of the buffer
    QBuffer report;
    Path openedPath;
    QString caption = QStringLiteral("&Make list");
    QString status = QStringLiteral("Press Make List");
    QString windowCaption;
    QStringList errors;
    bool busyPointer = false;
    bool folderAndViewEnabled = true;
    bool helpEnabled = true;
    int outputChoices = 0;
    int opens = 0;
    int yields = 0;
    std::function<void(int)> onYield;

  private:
    bool abortFlag_ = false;
    bool runActive_ = false;
    bool noSubdirs_ = true;
    Path outputPath_;
    Path folderLine_;
};

}  // namespace dirtally::test
