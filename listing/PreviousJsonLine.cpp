// A JSON report's folder lines as Dirtally's writer lays them out, read without Qt's parser: a
// million of them would take it seconds. Only lines whose every string Qt would read as its bytes
// exactly are read here; any other is left to Qt's parser, which also says what is wrong.
#include <QUtf8StringView>
#include <algorithm>
#include <array>
#include <charconv>

#include "listing/PreviousReport.h"

namespace dirtally::previous {

namespace {

// A string from `at` (its opening quote) that Qt's parser would read as its bytes exactly: UTF-8
// without a backslash or a control character. Its bytes, and `at` after it; nothing otherwise.
std::optional<QByteArrayView> plainString(QByteArrayView line, qsizetype* at) {
    if (*at >= line.size() || line[*at] != '"') {
        return std::nullopt;
    }
    unsigned char high = 0;  // a byte's top bit: the text is more than ASCII
    for (qsizetype end = *at + 1; end < line.size(); ++end) {
        const auto c = static_cast<unsigned char>(line[end]);
        if (c == '"') {
            const QByteArrayView text = line.sliced(*at + 1, end - *at - 1);
            if (high >= 0x80 && !QUtf8StringView(text).isValidUtf8()) {
                return std::nullopt;
            }
            *at = end + 1;
            return text;
        }
        if (c == '\\' || c < ' ') {
            return std::nullopt;
        }
        high |= c;
    }
    return std::nullopt;
}

// A JSON integer from `at` (a minus, then 0 or digits without a leading zero); its text, and
// `at` after it.
std::optional<QByteArrayView> integer(QByteArrayView line, qsizetype* at) {
    qsizetype end = *at < line.size() && line[*at] == '-' ? *at + 1 : *at;
    const qsizetype digits = end;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') {
        ++end;
    }
    if (end == digits || (line[digits] == '0' && end - digits > 1)) {
        return std::nullopt;
    }
    return line.sliced(std::exchange(*at, end), end - *at);
}

// A count of bytes as Qt holds it exactly: from 0 up to the largest 64-bit signed integer.
std::optional<std::uint64_t> exactBytes(QByteArrayView digits) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.begin(), digits.end(), value);
    if (error != std::errc() || end != digits.end() || value > INT64_MAX) {
        return std::nullopt;
    }
    return value;
}

// One value of a flat object: a plain string, an integer or a literal; its text (a string's
// without its quotes), and `at` after it.
struct Value {
    QByteArrayView text;
    bool string = false;
};
std::optional<Value> valueAt(QByteArrayView line, qsizetype* at) {
    const QByteArrayView rest = line.sliced(*at);
    if (rest.startsWith('"')) {
        const std::optional<QByteArrayView> text = plainString(line, at);
        return text ? std::optional(Value{*text, true}) : std::nullopt;
    }
    for (const QByteArrayView literal : {"null", "true", "false"}) {
        if (rest.startsWith(literal)) {
            *at += literal.size();
            return Value{literal};
        }
    }
    const std::optional<QByteArrayView> text = integer(line, at);
    return text ? std::optional(Value{*text}) : std::nullopt;
}

// The size a line's "bytes" gives, where it is one Qt's parser would read: a count held exactly,
// or null for a blank.
std::optional<FolderSize> sizeOf(const Value& value) {
    const std::optional<std::uint64_t> bytes = value.string ? std::nullopt : exactBytes(value.text);
    if (bytes) {
        return FolderSize::of(*bytes);
    }
    return !value.string && value.text == "null" ? std::optional(FolderSize::unreadable())
                                                 : std::nullopt;
}

// The members a folder's line of the writer may hold, each once; only the path and the size are
// read.
constexpr std::array<std::string_view, 7> kWritersMembers{
    "path", "bytes", "name", "error", "change", "previous_bytes", "new"};

}  // namespace

bool readWritersFolder(QByteArrayView line, PreviousFolders* folders) {
    if (!line.startsWith('{')) {
        return false;
    }
    std::optional<QByteArrayView> path;
    std::optional<FolderSize> size;
    unsigned seen = 0;
    qsizetype at = 1;
    for (bool more = true; more;) {
        const std::optional<QByteArrayView> key = plainString(line, &at);
        const auto* member =
            key ? std::find(kWritersMembers.begin(), kWritersMembers.end(),
                            std::string_view(key->data(), static_cast<std::size_t>(key->size())))
                : kWritersMembers.end();
        const unsigned bit = 1u << (member - kWritersMembers.begin());
        if (member == kWritersMembers.end() || (seen & bit) != 0 || at >= line.size() ||
            line[at++] != ':') {
            return false;
        }
        seen |= bit;
        const std::optional<Value> value = valueAt(line, &at);
        if (!value) {
            return false;
        }
        if (*member == "path" && value->string) {
            path = value->text;
        } else if (*member == "bytes") {
            size = sizeOf(*value);
        }
        more = at < line.size() && line[at] == ',';
        at += more ? 1 : 0;
    }
    // Anything else in the place of the path or the size is Qt's parser's to refuse.
    if (at != line.size() - 1 || line[at] != '}' || !path || path->isEmpty() || !size) {
        return false;
    }
    folders->add({path->data(), static_cast<std::size_t>(path->size())}, *size);
    return true;
}

}  // namespace dirtally::previous
