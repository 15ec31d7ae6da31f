#pragma once

#include <QFile>
#include <QString>
#include <memory>

#include "platform/system/Path.h"

namespace dirtally {

// The report file while a run writes it. Opening it never follows a link in its last component
// and empties nothing that is not a plain file. A signal that ends the program closes it first,
// so its descriptor is also known process-wide.
class ReportFile final : public QFile {
  public:
    // Creates or empties the file; nullptr with the reason when the path is no place for a report.
    static std::unique_ptr<ReportFile> openReport(const Path& path, QString* error);
    ~ReportFile() override;

    // Makes SIGTERM, SIGHUP and SIGINT end the program at once, with the open report closed and
    // the usual status of 128 and the signal's number.
    static void closeOnTerminationSignals();

  private:
    ReportFile() = default;
};

}  // namespace dirtally
