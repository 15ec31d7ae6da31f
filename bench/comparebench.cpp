// What --compare adds to a report of many folders: the same listing of FOLDERS folders (1,000,000
// by default) written with and without a comparison with a previous report of the same size, each
// in a child of its own, with its time and peak memory. The folders come from memory, not a tree,
// so what is measured is all the comparison adds to a run: reading the previous report, finding
// each folder in it and writing the changes. Each line gives the wall time, the processor time
// (user and system) and the peak memory.
//
//   comparebench [FOLDERS] [text|csv|json]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <chrono>
#include <cstdio>
#include <string>

#include "listing/ChosenSink.h"
#include "listing/Comparison.h"
#include "listing/ReportWriter.h"
#include "platform/system/FileContents.h"

using namespace dirtally;

namespace {

// A whole tree's report: a thousand folders of a thousand each. The later one has a tenth of the
// sizes changed and one folder in a hundred gone, another in its place.
void writeReport(QIODevice& device, const RunInputs& inputs, std::size_t folders, bool later) {
    ReportWriter writer(device);
    const auto sink = chosenSink(inputs, writer);
    sink->header("/bench", false, QDate(2026, 12, 7));
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < folders; ++i) {
        const bool renamed = later && i % 100 == 7;
        const std::uint64_t bytes = i * 4096 + (later && i % 10 == 3 ? 512 : 0);
        const Path path = "top" + std::to_string(i / 1000) + (i % 1000 ? "/folder-" : "") +
                          (i % 1000 ? std::to_string(i) + (renamed ? "-new" : "") : "");
        sink->folder({path, FolderSize::of(bytes)});
        total += i % 1000 ? 0 : bytes;
    }
    sink->closing(ReportSink::Closing::TreeTotal, total);
}

// One run in a child: its seconds and its peak memory in MB.
void measure(const char* label, const RunInputs& inputs, std::size_t folders,
             const Path& previous) {
    std::fflush(stdout);
    if (fork() == 0) {
        const auto start = std::chrono::steady_clock::now();
        RunInputs run = inputs;
        if (!previous.empty()) {
            QString why;
            int error = 0;
            auto report = PreviousReport::read(*openForReading(previous, &error), &why);
            run.comparison = std::make_shared<Comparison>(std::move(*report));
        }
        QFile null(QStringLiteral("/dev/null"));
        null.open(QIODevice::WriteOnly);
        writeReport(null, run, folders, true);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
        // Processor time as well as the wall's: on a machine shared with other work, it is the
        // figure that holds.
        std::printf("%-10s %8.2f s %8.2f s cpu %8.1f MB\n", label, took.count(),
                    seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss / 1024.0);
        std::fflush(stdout);
        _exit(0);
    }
    wait(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t folders = argc > 1 ? std::stoul(argv[1]) : 1'000'000;
    const std::string kind = argc > 2 ? argv[2] : "json";
    RunInputs inputs;
    inputs.oneLevel = false;
    inputs.kind = kind == "text"  ? ReportKind::Text
                  : kind == "csv" ? ReportKind::Csv
                                  : ReportKind::Json;
    QTemporaryFile previous;
    previous.open();
    writeReport(previous, inputs, folders, false);
    previous.flush();
    std::printf("%zu folders, %s, previous report %.0f MB\n", folders, kind.c_str(),
                previous.size() / 1e6);
    measure("plain", inputs, folders, {});
    measure("compared", inputs, folders, previous.fileName().toStdString());
    return 0;
}
