#pragma once

#include <QFile>
#include <QString>

#include "platform/Path.h"

namespace dirtally {

// The report file while a run has it open. Shutdown closes it from anywhere, a signal handler
// included, so its descriptor is also known process-wide.
class ReportFile {
  public:
    ReportFile();
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Creates or empties the file; nullptr with a reason when it cannot be opened for writing.
    QIODevice* open(const Path& path, QString* error);
    void close();
    bool isOpen() const { return file_.isOpen(); }

    // Makes SIGTERM, SIGHUP and SIGINT end the program at once with the open report closed.
    static void closeOnTerminationSignals();

  private:
    QFile file_;
};

}  // namespace dirtally
