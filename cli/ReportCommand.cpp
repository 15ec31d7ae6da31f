#include "cli/ReportCommand.h"

#include <unistd.h>

#include <QLocale>
#include <cerrno>

#include "listing/Comparison.h"
#include "listing/ReportFormat.h"
#include "listing/ReportRun.h"
#include "platform/system/FileContents.h"
#include "platform/system/ReportFile.h"
#include "platform/system/SystemError.h"
#include "platform/system/TerminationSignals.h"

namespace dirtally {

namespace {
// Ten times a second is as often as an eye follows, and costs the run nothing.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kNameWidth = 40;
}  // namespace

ReportCommand::ReportCommand(const CommandLine& line, const Path& currentDirectory,
                             const QDate& today, std::FILE* errors, bool showProgress)
    : errors_(errors), showProgress_(showProgress), namedByUser_(!line.output.empty()) {
    inputs_.folder = folderPath(line.folder, currentDirectory);
    inputs_.oneLevel = !line.all;
    // The window's rule: the report goes into the folder it is about.
    inputs_.report = line.output.empty() ? reportInFolder(inputs_.folder) : line.output;
    inputs_.today = today;
    inputs_.kind = line.kind;
    inputs_.counting = line.counting;
    inputs_.order = line.order;
    inputs_.top = line.top;
    inputs_.humanReadable = line.humanReadable;
    if (line.compare) {
        previous_ = line.previous.empty() ? inputs_.report : line.previous;
        previousNamed_ = !line.previous.empty();
    }
}

Path ReportCommand::folderPath(const Path& given, const Path& currentDirectory) {
    const Path whole = !given.empty() && given.front() == '/' ? given
                       : given.empty()                        ? currentDirectory
                                                              : currentDirectory + '/' + given;
    Path folder;
    std::size_t start = 0;
    while (start < whole.size()) {
        const std::size_t end = std::min(whole.find('/', start), whole.size());
        const std::string_view part(whole.data() + start, end - start);
        if (!part.empty() && part != ".") {
            folder.append(1, '/').append(part);
        }
        start = end + 1;
    }
    return folder.empty() ? Path("/") : folder;
}

ReportCommand::Previous ReportCommand::readPrevious(const RunInputs& inputs) const {
    QString why;
    std::optional<PreviousReport> previous;
    int error = 0;
    if (!previousNamed_ && isSpecialFile(previous_)) {
        // -o /dev/stdout on a terminal would wait for a report typed in, -o /dev/null give none.
        why = QStringLiteral(
            "the report goes to no plain file it replaces; name the previous "
            "report (--compare=PREVIOUS)");
    } else if (const std::unique_ptr<QIODevice> file = openForReading(previous_, &error)) {
        previous = PreviousReport::read(*file, &why);
    } else if (error == ENOENT && !previousNamed_) {
        // A cron job's first run: there is no report yet to replace, so every folder is new.
        previous.emplace().none = true;
    } else {
        why = systemErrorText(error);
    }
    if (previous) {
        why = previous->mismatch(inputs).value_or(QString());
    }
    if (!why.isEmpty()) {
        return {nullptr, why};
    }
    return {std::make_shared<Comparison>(std::move(*previous)), QString()};
}

std::shared_ptr<Comparison> ReportCommand::awaitPrevious() {
    Previous read = previousRead_.get();
    refusal_ = read.why;
    return read.comparison;
}

int ReportCommand::run(DirectoryReader& directories, FolderInfo& folders) {
    // The previous report is read while the folder is, and before the run writes anything, which
    // may replace it; refused, it leaves everything as it was. Where no thread can be had, it is
    // read when it is awaited.
    if (!previous_.empty()) {
        previousRead_ = std::async(std::launch::async | std::launch::deferred,
                                   [this, inputs = inputs_] { return readPrevious(inputs); });
        inputs_.awaitComparison = [this] { return awaitPrevious(); };
    }
    ReportRun run(*this, directories, folders);
    run.makeList();
    if (!refusal_.isEmpty()) {
        clearProgress();
        std::fprintf(errors_, "dirtally-report: cannot compare with the previous report %s: %s\n",
                     pathToText(previous_).toUtf8().constData(), refusal_.toUtf8().constData());
        return 2;
    }
    return failed_ ? 1 : blanks_ ? 3 : 0;
}

void ReportCommand::yield(const RunProgress& progress) {
    const auto now = std::chrono::steady_clock::now();
    if (!showProgress_ || now - lastProgress_ < kProgressInterval) {
        return;
    }
    lastProgress_ = now;
    if (!progressShown_) {
        // A signal that ends the run leaves the terminal's line clean for the shell's prompt.
        TerminationSignals::sayOnSignal("\r\033[K\n");
        progressShown_ = true;
    }
    // Short enough to stay on one line of a terminal, which "\r" can rewrite.
    const QString inHand = progress.inHand.isEmpty()
                               ? QString()
                               : QStringLiteral("; sizing ") + progress.inHand.left(kNameWidth);
    // Rewritten in place: back to the line's start, the text, the rest of the line cleared.
    std::fprintf(errors_, "\r%zu of %zu folders sized, %s bytes%s\033[K", progress.foldersDone,
                 progress.foldersToSize,
                 qPrintable(QLocale().toString(static_cast<qulonglong>(progress.bytes))),
                 inHand.toUtf8().constData());
    std::fflush(errors_);
}

// A report replaces the last one only when it is whole: a cron job's failed run leaves
// yesterday's report, not half of today's.
std::unique_ptr<ReportOutput> ReportCommand::openReport(const Path& file, QString* error) {
    if (file == "-") {
        return ReportFile::openStandardOutput(error);
    }
    return ReportFile::openReplacing(
        file, namedByUser_ ? ReportFile::Place::NamedByUser : ReportFile::Place::InFolder, error);
}

// One line per folder, as du names each: a script or cron can tell a report with blank sizes.
void ReportCommand::cannotRead(const Path& folder, int error) {
    blanks_ = true;
    clearProgress();
    std::fprintf(errors_, "dirtally-report: cannot read directory '%s': %s\n",
                 report::safeName(folder).toUtf8().constData(),
                 systemErrorText(error).toUtf8().constData());
}

void ReportCommand::showError(const QString& text) {
    failed_ = true;
    clearProgress();
    QString line = text;
    line.replace(QStringLiteral(":\n"), QStringLiteral(": ")).replace(QLatin1Char('\n'), ' ');
    std::fprintf(errors_, "dirtally-report: %s\n", line.toUtf8().constData());
}

void ReportCommand::stateChanged(RunState state) {
    if (state == RunState::Idle) {
        clearProgress();
    }
}

void ReportCommand::clearProgress() {
    if (progressShown_) {
        TerminationSignals::sayOnSignal(nullptr);
        std::fputs("\r\033[K", errors_);
        progressShown_ = false;
    }
}

}  // namespace dirtally
