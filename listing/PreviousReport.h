#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/RunHost.h"
#include "platform/system/Path.h"
#include "platform/system/SizingJob.h"

class QIODevice;

namespace dirtally {

// One folder of a report written earlier; its key lives as long as the report's folders.
struct PreviousFolder {
    std::string_view key;  // found by PreviousReport::keyOf
    FolderSize size;       // unreadable where the report's size was blank
    bool operator==(const PreviousFolder&) const = default;
};

// The folders of a report written earlier, in its order, held compactly: a million of them take
// the bytes of their keys, in blocks of their own, and 24 bytes each, not a string apiece.
class PreviousFolders {
  public:
    PreviousFolders() = default;
    PreviousFolders(std::initializer_list<PreviousFolder> folders);
    // Its folders' keys point into its blocks.
    PreviousFolders(const PreviousFolders&) = delete;
    PreviousFolders& operator=(const PreviousFolders&) = delete;
    PreviousFolders(PreviousFolders&&) = default;
    PreviousFolders& operator=(PreviousFolders&&) = default;

    void add(std::string_view key, const FolderSize& size);
    std::size_t size() const { return entries_.size(); }
    PreviousFolder operator[](std::size_t index) const {
        const Entry& entry = entries_[index];
        return {{entry.key, entry.length},
                entry.readable ? FolderSize::of(entry.bytes) : FolderSize::unreadable()};
    }

  private:
    struct Entry {
        const char* key;
        std::uint64_t bytes;
        std::uint32_t length;
        bool readable;
    };
    std::vector<Entry> entries_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;  // where the last block's room starts
    std::size_t room_ = 0;  // bytes left in the last block
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
    PreviousFolders folders;
    // There was no report yet: every folder is new (a first run of --compare).
    bool none = false;

    // Reads a report by its content, never its file name: JSON, CSV or the text report, as a
    // stream, a block at a time. Nothing, with the reason (where, and what is wrong there), when
    // the bytes are none of them or cannot be read.
    static std::optional<PreviousReport> read(QIODevice& device, QString* why);
    static std::optional<PreviousReport> read(const QByteArray& bytes, QString* why);

    // The key under which this report holds a folder of a new run whose path below the listed
    // folder is `path`.
    std::string keyOf(const Path& path) const;

    // Why a run of `inputs` cannot be compared with this report: it is of another folder, of
    // another mode or counted otherwise, as far as it tells; nothing when it can.
    std::optional<QString> mismatch(const RunInputs& inputs) const;
};

namespace previous {

// The lines of a report read from a stream, a block at a time: never the whole report in memory.
// A stream that cannot be read ends there; error() then says why.
class Lines {
  public:
    explicit Lines(QIODevice& device) : device_(device) {}

    // The next line with its line feed (none on the last line of a report that ends without
    // one); false at the end.
    bool next(QByteArrayView* line);
    // The lines handed out so far.
    qsizetype number() const { return number_; }
    // At least `count` bytes not yet handed out, where the stream has that many.
    QByteArrayView ahead(qsizetype count);
    // Everything not yet handed out.
    QByteArray rest();
    // Why the stream could not be read to its end; empty while it could.
    const QString& error() const { return error_; }

  private:
    // One more block from the stream; false at its end.
    bool more();

    QIODevice& device_;
    QByteArray buffer_;
    qsizetype at_ = 0;  // where what is not handed out yet starts
    qsizetype number_ = 0;
    bool end_ = false;
    QString error_;
};

// The readers of each format, for PreviousReport::read.
std::optional<PreviousReport> readJson(Lines& lines, QString* why);
std::optional<PreviousReport> readCsv(Lines& lines, QString* why);
std::optional<PreviousReport> readText(Lines& lines, QString* why);

// A folder's line of a JSON report (without the comma before it) read as Dirtally's writer lays
// it out, into `folders`; false, and nothing added, where it is laid out in any other way, which
// Qt's parser is left to read.
bool readWritersFolder(QByteArrayView line, PreviousFolders* folders);

// Why a name as a text or CSV report shows it is not one such a report writes: a control
// character, which the report would have shown as "?"; nothing when it is.
std::optional<QString> shownNameError(const QString& name);

// Bytes as text where they are UTF-8 throughout; nothing where they are not.
std::optional<QString> utf8(QByteArrayView bytes);

// A size field's number in any locale's digits and group separators; nothing when it is none.
std::optional<std::uint64_t> groupedNumber(const QString& text);
std::optional<std::uint64_t> groupedNumber(QByteArrayView utf8);

}  // namespace previous

}  // namespace dirtally
