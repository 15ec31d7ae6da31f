#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "listing/RunHost.h"
#include "platform/system/Path.h"
#include "platform/system/SizingJob.h"

namespace dirtally {

// One folder of a report written earlier.
struct PreviousFolder {
    std::string key;  // found by PreviousReport::keyOf
    FolderSize size;  // unreadable where the report's size was blank
    bool operator==(const PreviousFolder&) const = default;
};

// A report dirtally-report wrote earlier, read back to tell what changed since: what the report
// says of itself (each part only where its format tells it) and its folders in its order.
struct PreviousReport {
    // How the report names its folders, and so how a folder of a new run is found among them.
    enum class Names {
        Exact,  // the path's own bytes (JSON)
        Shown,  // as a report shows them, made safe (CSV)
        Lined,  // as a text report's line shows them: capitalised in one level, trailing blanks
                // lost in the padding
    };
    Names names = Names::Exact;
    std::optional<Path> folder;
    std::optional<QDate> date;
    std::optional<bool> oneLevel;
    // What was counted, in the words of the text report's path line (see report::countedWords;
    // empty: what the window counts), where the report tells it.
    std::optional<QString> counted;
    // The total of the first-level folders, where the report gives it.
    std::optional<std::uint64_t> total;
    std::vector<PreviousFolder> folders;

    // Reads a report by its content, never its file name: JSON, CSV or the text report. Nothing,
    // with the reason (where, and what is wrong there), when the bytes are none of them.
    static std::optional<PreviousReport> read(const QByteArray& bytes, QString* why);

    // The key under which this report holds a folder of a new run, whose path below the listed
    // folder is `path` and which a report shows as `shown` (see report::safeName).
    std::string keyOf(const Path& path, const QString& shown) const;

    // Why a run of `inputs` cannot be compared with this report: it is of another folder, of
    // another mode or counted otherwise, as far as it tells; nothing when it can.
    std::optional<QString> mismatch(const RunInputs& inputs) const;
};

namespace previous {

// The readers of each format, for PreviousReport::read.
std::optional<PreviousReport> readJson(const QByteArray& bytes, QString* why);
std::optional<PreviousReport> readCsv(const QByteArray& bytes, QString* why);
std::optional<PreviousReport> readText(const QByteArray& bytes, QString* why);

// Why a name as a text or CSV report shows it is not one such a report writes: a control
// character, which the report would have shown as "?"; nothing when it is.
std::optional<QString> shownNameError(const QString& name);

// Bytes as text where they are UTF-8 throughout; nothing where they are not.
std::optional<QString> utf8(QByteArrayView bytes);

// A size field's number in any locale's digits and group separators; nothing when it is none.
std::optional<std::uint64_t> groupedNumber(const QString& text);

}  // namespace previous

}  // namespace dirtally
