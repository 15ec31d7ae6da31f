// The text report's lines from any folder names (made safe as a run makes them), sizes and
// totals, under locales with other separators, digits and grouping: every line ends in CR LF,
// a folder's size starts at its column, and every number reads back as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <QBuffer>
#include <QStringDecoder>
#include <array>
#include <cstdlib>

#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The text written since `start`; a name's leading U+FEFF is kept, as QString::fromUtf8 would not.
QString writtenSince(const QBuffer& buffer, qsizetype start) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(buffer.data().mid(start));
}

qsizetype codePoints(const QString& text) {
    return static_cast<qsizetype>(text.toUcs4().size());
}

// The number at the end of a line: right-justified in a field of `width` characters (wider
// where it needs more), and the same number once the locale's group separators are taken out.
void checkNumber(const QString& line, qsizetype width, std::uint64_t value, const QLocale& locale) {
    const auto blank = [&](qsizetype i) { return line.at(i) == ' ' || line.at(i) == '\t'; };
    qsizetype start = line.size();
    while (start > 0 && !blank(start - 1)) {
        --start;
    }
    qsizetype padding = start;
    while (padding > 0 && line.at(padding - 1) == ' ') {
        --padding;
    }
    QString number = line.mid(start);
    check(start - padding + codePoints(number) >= width);
    bool ok = false;
    check(locale.toULongLong(number.remove(locale.groupSeparator()), &ok) == value && ok);
}

// The lines a folder added: its name, then (on the same line or the next) its size after a TAB
// at the size column.
void checkFolder(const QString& lines, const QString& name, const FolderSize& size,
                 const QLocale& locale) {
    check(lines.startsWith(name));
    const QString last = lines.chopped(2).section(QStringLiteral("\r\n"), -1);
    const qsizetype tab = last.lastIndexOf(QLatin1Char('\t'));
    check(tab >= 0 && codePoints(last.left(tab)) == report::kSizeColumn - 1);
    if (size.readable) {
        checkNumber(last, report::kSizeFieldWidth, size.bytes, locale);
    } else {
        check(last.mid(tab + 1).trimmed().isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array locales{QLocale::c(),
                                    QLocale(QStringLiteral("de_DE")),
                                    QLocale(QStringLiteral("fr_FR")),
                                    QLocale(QStringLiteral("hi_IN")),
                                    QLocale(QStringLiteral("ar_EG")),
                                    QLocale(QStringLiteral("ccp_BD"))};
    FuzzedDataProvider in(data, size);
    const QLocale& locale = in.PickValueInArray(locales);
    const bool oneLevel = in.ConsumeBool();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportWriter writer(buffer);
    ReportFormat format(writer, locale);
    format.header(in.ConsumeRandomLengthString(300), oneLevel, QDate(2026, 12, 6));
    while (in.remaining_bytes() > 0) {
        writer.flush();
        const qsizetype start = buffer.data().size();
        if (in.ConsumeBool()) {
            const std::string path = in.ConsumeRandomLengthString(400);
            const QString name = report::safeName(path);
            const FolderSize folderSize = in.ConsumeBool()
                                              ? FolderSize::of(in.ConsumeIntegral<std::uint64_t>())
                                              : FolderSize::unreadable();
            format.folder({path, folderSize});
            writer.flush();
            checkFolder(writtenSince(buffer, start), oneLevel ? report::displayName(name) : name,
                        folderSize, locale);
        } else {
            const auto block = static_cast<ReportSink::Closing>(in.ConsumeIntegralInRange(0, 2));
            const auto value = in.ConsumeIntegral<std::uint64_t>();
            format.closing(block, value);
            writer.flush();
            checkNumber(writtenSince(buffer, start).section(QStringLiteral("\r\n"), 1, 1),
                        report::kTotalFieldWidth, value, locale);
        }
    }
    writer.flush();
    const QByteArray& text = buffer.data();
    check(text.endsWith("\r\n") && text.count('\r') == text.count("\r\n") &&
          text.count('\n') == text.count("\r\n"));
    return 0;
}
