#include "listing/PreviousReport.h"

#include <QStringDecoder>
#include <algorithm>
#include <cctype>

#include "listing/ReportFormat.h"

namespace dirtally {

std::optional<PreviousReport> PreviousReport::read(const QByteArray& bytes, QString* why) {
    const auto text = std::find_if(bytes.begin(), bytes.end(), [](char c) {
        return !std::isspace(static_cast<unsigned char>(c));
    });
    if (text != bytes.end() && *text == '{') {
        return previous::readJson(bytes, why);
    }
    const bool csv = bytes.startsWith("folder,bytes");
    if (!csv && !bytes.startsWith("\r\nDirtally by ")) {
        *why = QStringLiteral("it is no report of dirtally-report (JSON, CSV or text)");
        return std::nullopt;
    }
    return csv ? previous::readCsv(bytes, why) : previous::readText(bytes, why);
}

std::string PreviousReport::keyOf(const Path& path, const QString& shown) const {
    switch (names) {
        case Names::Exact:
            return path;
        case Names::Shown:
            return shown.toStdString();
        case Names::Lined:
            break;
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

// Digits of any script, with a separator (a comma, a point, a space of some width, an
// apostrophe...) only between two of them, as QLocale groups a number.
std::optional<std::uint64_t> groupedNumber(const QString& text) {
    std::uint64_t value = 0;
    bool afterDigit = false;
    for (const uint c : text.trimmed().toUcs4()) {
        const int digit =
            QChar::category(c) == QChar::Number_DecimalDigit ? QChar::digitValue(c) : -1;
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

}  // namespace previous

}  // namespace dirtally
