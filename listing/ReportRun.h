#pragma once

#include <QLocale>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "listing/RunHost.h"
#include "platform/DirectoryReader.h"
#include "platform/FolderInfo.h"

namespace dirtally {

class ReportWriter;

// The folder with one "/" at its end.
Path withSeparator(const Path& folder);

inline const QString kMakeListCaption = QStringLiteral("&Make list");
inline const QString kAbortCaption = QStringLiteral("&Abort");

// The report run: "&Make list" writes the report on the folder line's folder, "&Abort" stops the
// run in progress. Everything runs on the window's thread; the sizing runs on the size engine's
// workers while the run keeps yielding, so the window stays live.
class ReportRun {
  public:
    ReportRun(RunHost& host, DirectoryReader& directories, FolderInfo& folders);

    // The click action of "&Make list" / "&Abort", and of the Esc key.
    void makeList();

    std::uint64_t sizeTotal() const { return sizeTotal_; }
    const Path& reportRoot() const { return reportRoot_; }

  private:
    void requestAbort();
    void run();
    void writeReport(QIODevice& device, const std::vector<DirEntry>& entries);
    void writeHeader(ReportWriter& out, const Path& folder);
    void listOneLevel(ReportWriter& out, const std::vector<DirEntry>& entries);
    void listAllSubFolders(ReportWriter& out, const std::vector<DirEntry>& entries);
    void writeClosingBlock(ReportWriter& out);
    void finish();

    bool stopRequested() const;
    // Yields now and then: often enough for a live window, rarely enough to cost nothing.
    void pace(ReportWriter& out);
    void yieldNow(ReportWriter& out);
    // Waits for one sized root while the window stays live; false when the run was aborted.
    bool awaitRoot(SizingJob& job, std::size_t root, ReportWriter& out);
    void writeFolderLine(ReportWriter& out, const QString& name, const FolderSize& size);
    void addToTotal(const FolderSize& size);

    RunHost& host_;
    DirectoryReader& directories_;
    FolderInfo& folders_;
    QLocale locale_;
    std::uint64_t sizeTotal_ = 0;
    Path reportRoot_;
    bool open_ = false;
    QString writeError_;
    std::chrono::steady_clock::time_point lastYield_;
};

}  // namespace dirtally
