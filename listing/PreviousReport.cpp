#include "listing/PreviousReport.h"

#include <QBuffer>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>

#include "listing/ReportFormat.h"

namespace dirtally {

namespace {
constexpr qsizetype kBlock = qsizetype{64} * 1024;
constexpr std::size_t kKeyBlock = std::size_t{1} << 20;
}  // namespace

PreviousFolders::PreviousFolders(std::initializer_list<PreviousFolder> folders) {
    for (const PreviousFolder& folder : folders) {
        add(folder.key, folder.size);
    }
}

void PreviousFolders::add(std::string_view key, const FolderSize& size) {
    if (key.size() > room_) {
        room_ = std::max(kKeyBlock, key.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
        free_ = blocks_.back().get();
    }
    std::copy(key.begin(), key.end(), free_);
    entries_.push_back({free_, size.bytes, static_cast<std::uint32_t>(key.size()), size.readable});
    free_ += key.size();
    room_ -= key.size();
}

std::optional<PreviousReport> PreviousReport::read(QIODevice& device, QString* why) {
    previous::Lines lines(device);
    const QByteArrayView start = lines.ahead(kBlock);
    const auto text = std::find_if(start.begin(), start.end(), [](char c) {
        return !std::isspace(static_cast<unsigned char>(c));
    });
    std::optional<PreviousReport> report;
    if (text != start.end() && *text == '{') {
        report = previous::readJson(lines, why);
    } else if (start.startsWith("folder,bytes")) {
        report = previous::readCsv(lines, why);
    } else if (start.startsWith("\r\nDirtally by ")) {
        report = previous::readText(lines, why);
    } else if (lines.error().isEmpty()) {
        *why = QStringLiteral("it is no report of dirtally-report (JSON, CSV or text)");
    }
    // A report cut short by a failed read is no report, whatever its part says.
    if (!lines.error().isEmpty()) {
        *why = lines.error();
        return std::nullopt;
    }
    return report;
}

std::optional<PreviousReport> PreviousReport::read(const QByteArray& bytes, QString* why) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, why);
}

std::string PreviousReport::keyOf(const Path& path) const {
    // Most paths are UTF-8 without a control character, which a report shows as they are; most
    // of those are printable ASCII, which is quicker told.
    const auto printable = [](char c) { return c >= ' ' && c != '\x7f'; };
    const auto control = [](char c) { return (c >= 0 && c < ' ') || c == '\x7f'; };
    const bool asTheyAre =
        names == Names::Exact || std::all_of(path.begin(), path.end(), printable) ||
        (QUtf8StringView(path).isValidUtf8() && std::none_of(path.begin(), path.end(), control));
    if (asTheyAre && (names != Names::Lined || !oneLevel.value_or(true))) {
        return names == Names::Lined ? path.substr(0, path.find_last_not_of(' ') + 1) : path;
    }
    const QString shown = report::safeName(path);
    if (names == Names::Shown) {
        return shown.toStdString();
    }
    QString lined = oneLevel.value_or(true) ? report::displayName(shown) : shown;
    while (lined.endsWith(QLatin1Char(' '))) {
        lined.chop(1);
    }
    return lined.toStdString();
}

namespace {

// A folder without the trailing "/" a one-level run may have added.
Path withoutSeparator(Path folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

QString countedText(const QString& words) {
    return words.isEmpty() ? QStringLiteral("apparent sizes, each hard link") : words;
}

}  // namespace

std::optional<QString> PreviousReport::mismatch(const RunInputs& inputs) const {
    const Path now = withoutSeparator(inputs.folder);
    const Path then = withoutSeparator(folder.value_or(now));
    // A text or CSV report shows names made safe; so is the folder compared.
    if (names == Names::Exact ? then != now : report::safeName(then) != report::safeName(now)) {
        return QStringLiteral("it is a report of %1, not of %2")
            .arg(report::safeName(then), report::safeName(now));
    }
    if (oneLevel.value_or(inputs.oneLevel) != inputs.oneLevel) {
        return inputs.oneLevel ? QStringLiteral("it lists every folder of the tree (--all)")
                               : QStringLiteral("it lists only the sub-folders (no --all)");
    }
    const QString counting = report::countedWords(inputs.counting);
    if (counted.value_or(counting) != counting) {
        return QStringLiteral("it counted %1, not %2")
            .arg(countedText(*counted), countedText(counting));
    }
    return std::nullopt;
}

namespace previous {

bool Lines::more() {
    if (end_) {
        return false;
    }
    // What is handed out goes; what is not moves to the front.
    buffer_.remove(0, at_);
    at_ = 0;
    const qsizetype had = buffer_.size();
    buffer_.resize(had + kBlock);
    const qint64 got = device_.read(buffer_.data() + had, kBlock);
    buffer_.resize(had + std::max<qint64>(got, 0));
    if (got < 0) {
        error_ = device_.errorString();
    }
    end_ = got <= 0;
    return got > 0;
}

bool Lines::next(QByteArrayView* line) {
    qsizetype end = buffer_.indexOf('\n', at_);
    for (qsizetype from = buffer_.size() - at_; end < 0 && more(); from = buffer_.size()) {
        end = buffer_.indexOf('\n', from);
    }
    end = end < 0 ? buffer_.size() : end + 1;
    if (end == at_) {
        return false;
    }
    *line = QByteArrayView(buffer_).sliced(at_, end - at_);
    at_ = end;
    ++number_;
    return true;
}

QByteArrayView Lines::ahead(qsizetype count) {
    while (buffer_.size() - at_ < count && more()) {
    }
    return QByteArrayView(buffer_).sliced(at_);
}

QByteArray Lines::rest() {
    while (more()) {
    }
    return buffer_.mid(std::exchange(at_, buffer_.size()));
}

std::optional<QString> shownNameError(const QString& name) {
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c < ' ' || c == '\x7f'; })) {
        return QStringLiteral("the name \"%1\" holds a control character").arg(name);
    }
    return std::nullopt;
}

std::optional<QString> utf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

namespace {

uint codePoint(uint c) {
    return c;
}
uint codePoint(char ascii) {
    return static_cast<unsigned char>(ascii);
}

// Digits of any script, with a separator (a comma, a point, a space of some width, an
// apostrophe...) only between two of them, as QLocale groups a number.
template <typename CodePoints>
std::optional<std::uint64_t> numberOf(const CodePoints& codePoints) {
    std::uint64_t value = 0;
    bool afterDigit = false;
    for (const auto each : codePoints) {
        const uint c = codePoint(each);
        // Most digits are ASCII, whose only decimal digits are 0 to 9.
        const int digit = c >= '0' && c <= '9'                               ? int(c - '0')
                          : c < 0x80                                         ? -1
                          : QChar::category(c) == QChar::Number_DecimalDigit ? QChar::digitValue(c)
                                                                             : -1;
        if (digit < 0) {
            if (!afterDigit || !(QChar::isPunct(c) || QChar::isSpace(c))) {
                return std::nullopt;
            }
            afterDigit = false;
            continue;
        }
        if (value > (UINT64_MAX - static_cast<std::uint64_t>(digit)) / 10) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(digit);
        afterDigit = true;
    }
    if (!afterDigit) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> groupedNumber(const QString& text) {
    return numberOf(text.trimmed().toUcs4());
}

// Most sizes are ASCII throughout, and need not be decoded.
std::optional<std::uint64_t> groupedNumber(QByteArrayView utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0; })) {
        return numberOf(utf8.trimmed());
    }
    return groupedNumber(QString::fromUtf8(utf8));
}

}  // namespace previous

}  // namespace dirtally
