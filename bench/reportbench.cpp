// Writes a whole Dirtally report on a folder, as "&Make list" does but without a window, and
// prints what the run cost: its time from the folder's listing to the closed report, how often
// it yielded, and the peak memory. Timed from outside against the size engine alone.
//
//   reportbench [--all] FOLDER REPORT
//
// --all writes the all-sub-folders report instead of the one-level one.
#include <sys/resource.h>

#include <QDate>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "listing/ReportRun.h"
#include "platform/system/ReportFile.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/SizeEngine.h"

namespace {

using Clock = std::chrono::steady_clock;

// The run's host, reduced to the report file and a record of the run.
class BenchHost final : public dirtally::RunHost {
  public:
    BenchHost(dirtally::Path folder, dirtally::Path report, bool oneLevel)
        : inputs_{std::move(folder), oneLevel, std::move(report), QDate::currentDate()} {}

    dirtally::RunInputs prepareRun() override { return inputs_; }
    bool oneLevel() const override { return inputs_.oneLevel; }
    void setFolder(const dirtally::Path& folder) override { inputs_.folder = folder; }
    void yield(const dirtally::RunProgress&) override { ++yields; }
    std::unique_ptr<dirtally::ReportOutput> openReport(const dirtally::Path& file,
                                                       QString* error) override {
        return dirtally::ReportFile::openInPlace(file, error);
    }
    void showError(const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        failed = true;
    }
    void stateChanged(dirtally::RunState state) override {
        if (state == dirtally::RunState::Running) {
            started = Clock::now();
        } else if (state == dirtally::RunState::Idle) {
            ended = Clock::now();
        }
    }

    bool failed = false;
    long yields = 0;
    Clock::time_point started;
    Clock::time_point ended;

  private:
    dirtally::RunInputs inputs_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool all = argc == 4 && std::strcmp(argv[1], "--all") == 0;
    if (argc != (all ? 4 : 3)) {
        std::fprintf(stderr, "usage: reportbench [--all] FOLDER REPORT\n");
        return 2;
    }
    BenchHost host(argv[argc - 2], argv[argc - 1], !all);
    dirtally::LinuxDirectoryReader directories;
    dirtally::SizeEngine folders;
    dirtally::ReportRun run(host, directories, folders);
    run.makeList();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(host.ended - host.started).count();
    std::printf("total %llu bytes, run %lld ms, %ld yields, peak memory %ld KiB\n",
                static_cast<unsigned long long>(run.sizeTotal()), static_cast<long long>(ms),
                host.yields, usage.ru_maxrss);
    return host.failed ? 1 : 0;
}
