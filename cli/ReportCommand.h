#pragma once

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>

#include "cli/CommandLine.h"
#include "listing/RunHost.h"
#include "platform/system/DirectoryReader.h"
#include "platform/system/FolderInfo.h"

namespace dirtally {

// The report command: one report run, as the window's "&Make list" makes it, for the folder and
// the report its command line names. Problems go to standard error, a line each.
class ReportCommand final : public RunHost {
  public:
    // errors: where problems, and on a terminal the progress line, are written.
    ReportCommand(const CommandLine& line, const Path& currentDirectory, const QDate& today,
                  std::FILE* errors, bool showProgress);

    // The exit status: 0 when the report was written with every size known, 3 when it was
    // written with sizes that could not be read, 1 when it was not written, 2 when the previous
    // report to compare with cannot be.
    int run(DirectoryReader& directories, FolderInfo& folders);

    // The folder as the report names it: absolute, without "." or repeated and trailing
    // separators (".." stays: it may lead out through a link).
    static Path folderPath(const Path& given, const Path& currentDirectory);

    // RunHost
    RunInputs prepareRun() override { return inputs_; }
    bool oneLevel() const override { return inputs_.oneLevel; }
    void setFolder(const Path& folder) override { inputs_.folder = folder; }
    void yield(const RunProgress& progress) override;
    std::unique_ptr<ReportOutput> openReport(const Path& file, QString* error) override;
    void cannotRead(const Path& folder, int error) override;
    void showError(const QString& text) override;
    void stateChanged(RunState state) override;

  private:
    // The previous report read, or the reason it cannot be compared with.
    struct Previous {
        std::shared_ptr<Comparison> comparison;
        QString why;
    };
    void clearProgress();
    // Reads the previous report for a run of `inputs`; on a thread of its own while the folder is
    // listed, so `inputs` is a copy.
    Previous readPrevious(const RunInputs& inputs) const;
    // The comparison once it is read; none where it is refused, whose reason is then kept.
    std::shared_ptr<Comparison> awaitPrevious();

    RunInputs inputs_;
    Path previous_;               // the report to compare with; empty: none
    bool previousNamed_ = false;  // named by --compare=PREVIOUS, not the report to replace
    std::future<Previous> previousRead_;
    QString refusal_;  // why the previous report cannot be compared with; empty while it can
    std::FILE* errors_;
    bool showProgress_;
    bool namedByUser_;  // the report's path came from -o, not the folder
    bool progressShown_ = false;
    bool failed_ = false;
    bool blanks_ = false;  // a folder could not be read
    std::chrono::steady_clock::time_point lastProgress_;
};

}  // namespace dirtally
