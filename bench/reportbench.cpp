// Writes a whole Dirtally report on a folder, as "&Make list" does but without a window, and
// prints the peak memory. Timed from outside against the size engine alone.
//
//   reportbench [--all] FOLDER REPORT
//
// --all writes the all-sub-folders report instead of the one-level one.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstring>

#include "listing/ReportRun.h"
#include "platform/linux/LinuxDirectoryReader.h"
#include "platform/linux/SizeEngine.h"

namespace {

// The window as the run sees it, reduced to the report file and the event loop.
class BenchHost final : public dirtally::RunHost {
  public:
    BenchHost(dirtally::Path folder, dirtally::Path report, bool noSubdirs)
        : folder_(std::move(folder)), report_(std::move(report)), noSubdirs_(noSubdirs) {}

    bool abortFlag() const override { return abort_; }
    void setAbortFlag(bool on) override { abort_ = on; }
    bool runActive() const override { return active_; }
    void setRunActive(bool on) override { active_ = on; }
    dirtally::Path outputPath() const override { return output_; }
    void clearOutputPath() override { output_.clear(); }
    dirtally::Path folderLine() const override { return folder_; }
    void setFolderLine(const dirtally::Path& folder) override { folder_ = folder; }
    bool noSubdirs() const override { return noSubdirs_; }
    void outputChoice() override { output_ = report_; }
    void yield() override { QCoreApplication::processEvents(); }
    QIODevice* openReport(const dirtally::Path& file, QString* error) override {
        file_.setFileName(QString::fromStdString(file));
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = file_.errorString();
            return nullptr;
        }
        return &file_;
    }
    void closeReport() override { file_.close(); }
    void showError(const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        failed = true;
    }
    QDate today() override { return QDate::currentDate(); }
    void focusFileList() override {}
    void setBusyPointer(bool) override {}
    QString makeListCaption() const override { return caption_; }
    void setMakeListCaption(const QString& caption) override { caption_ = caption; }
    void setStatus(const QString&) override {}
    void setFolderAndViewEnabled(bool) override {}
    void setHelpMenuEnabled(bool) override {}
    void clearHeaderBox() override {}
    void setWindowCaption(const QString&) override {}
    QString applicationTitle() const override { return QStringLiteral("Dirtally"); }

    bool failed = false;

  private:
    dirtally::Path folder_;
    dirtally::Path report_;
    dirtally::Path output_;
    bool noSubdirs_;
    bool abort_ = false;
    bool active_ = false;
    QString caption_ = dirtally::kMakeListCaption;
    QFile file_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool all = argc == 4 && std::strcmp(argv[1], "--all") == 0;
    if (argc != (all ? 4 : 3)) {
        std::fprintf(stderr, "usage: reportbench [--all] FOLDER REPORT\n");
        return 2;
    }
    BenchHost host(argv[argc - 2], argv[argc - 1], !all);
    dirtally::LinuxDirectoryReader directories;
    dirtally::LinuxFolderInfo folders;
    dirtally::ReportRun run(host, directories, folders);
    run.makeList();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("total %llu bytes, peak memory %ld KiB\n",
                static_cast<unsigned long long>(run.sizeTotal()), usage.ru_maxrss);
    return host.failed ? 1 : 0;
}
