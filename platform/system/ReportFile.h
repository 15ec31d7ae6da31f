#pragma once

#include <sys/types.h>

#include <QFile>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/FileDescriptor.h"
#include "platform/system/Path.h"
#include "platform/system/ReportOutput.h"
#include "platform/system/linux/ReportLock.h"

struct stat;

namespace dirtally {

// The report file while a run writes it. While a run of this program or another writes a
// report, no second run opens the same report.
class ReportFile final : public QFile, public ReportOutput {
  public:
    // Where a report goes decides how it may be written.
    enum class Place {
        // The listed folder's own report: it lies in a folder another user may own, so it is
        // never written through a link in its last component, and only a plain file is emptied.
        InFolder,
        // A path the user named, written as Unix tools write it: a link is followed, and a
        // device, a FIFO or a pipe (reached through /dev/stdout or /dev/fd/N) is written in
        // place; only a plain file is emptied.
        NamedByUser,
    };

    // Written in place as the run goes, so that the lines written are kept however the run
    // ends (the window's report), by the rule of Place::InFolder. nullptr with the reason when
    // the path is no place for a report.
    static std::unique_ptr<ReportFile> openInPlace(const Path& path, QString* error);
    // A plain file, or none yet, is replaced only when the report is whole (finish()), from a
    // temporary file beside it with the old report's mode; until then, and when the run fails
    // or a signal ends the program, the old report stays as it was.
    static std::unique_ptr<ReportFile> openReplacing(const Path& path, Place place, QString* error);
    static std::unique_ptr<ReportFile> openStandardOutput(QString* error);
    ~ReportFile() override;

    QIODevice& stream() override { return *this; }
    std::vector<FileIdentity> files() const override { return files_; }
    bool linesBeforeYield() const override { return linesBeforeYield_; }
    bool finish(QString* error) override;

  protected:
    qint64 writeData(const char* data, qint64 length) override;

  private:
    ReportFile() = default;
    bool lock(int folderFd, const std::string& name, QString* error);
    bool adopt(int fd, QString* error);
    // Takes the lock and creates the temporary file; `old`: the report there now, if any.
    bool startReplacing(FileDescriptor folder, const std::string& name, const struct stat* old,
                        QString* error);
    void startWriteback(qint64 written);

    ReportLock lock_;
    // A report being replaced: its folder, its name there and the temporary file's.
    FileDescriptor folder_;
    std::string name_;
    std::string temporary_;
    std::vector<FileIdentity> files_;
    bool linesBeforeYield_ = false;
    // A report written in place is emptied only when its first line comes: until then, a run that
    // fails (the folder could not be read to its end) leaves the old report as it was.
    bool emptyBeforeWriting_ = false;
    // A report that replaces another is handed to the disk as it is written: the bytes written
    // and those handed over so far.
    bool writeback_ = false;
    off_t written_ = 0;
    off_t handedOver_ = 0;
};

}  // namespace dirtally
