// The report's fields and lines: widths, grouping, names and column stops at their boundaries.
#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QVariant>
#include <cerrno>

#include "listing/CsvFormat.h"
#include "listing/JsonFormat.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"
#include "listing/SortedListing.h"

using namespace dirtally;

class TestReportFormat : public QObject {
    Q_OBJECT

  private slots:
    void sizeField_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<QString>("field");
        QTest::newRow("zero") << "en_US" << 0ULL << "             0";
        QTest::newRow("three digits") << "en_US" << 999ULL << "           999";
        QTest::newRow("first group") << "en_US" << 1000ULL << "         1,000";
        QTest::newRow("worked example") << "en_US" << 3245120ULL << "     3,245,120";
        QTest::newRow("exactly 14") << "en_US" << 9999999999ULL << " 9,999,999,999";
        QTest::newRow("wider than 14") << "en_US" << 99999999999ULL << " 99,999,999,999";
        QTest::newRow("C locale groups too") << "C" << 1234567ULL << "     1,234,567";
        QTest::newRow("german") << "de_DE" << 1234567ULL << "     1.234.567";
        QTest::newRow("largest") << "en_US" << 18446744073709551615ULL
                                 << " 18,446,744,073,709,551,615";
        // Chakma digits lie outside the BMP: the field is 14 characters, not 14 UTF-16 units
        // (and the locale groups the Indian way).
        QTest::newRow("astral digits") << "ccp_BD" << 1234567ULL
                                       << "     \U00011137\U00011138,\U00011139\U0001113A,"
                                          "\U0001113B\U0001113C\U0001113D";
    }
    void sizeField() {
        QFETCH(QString, locale);
        QFETCH(qulonglong, bytes);
        QFETCH(QString, field);
        report::GroupedNumbers numbers{QLocale(locale)};
        QByteArray line;
        report::sizeField(line, FolderSize::of(bytes), numbers);
        QCOMPARE(QString::fromUtf8(line), field);
    }

    // The digits put into the locale's layout read as the locale writes the whole number: at
    // every number of digits, in scripts outside the BMP, with the Indian grouping, with Spanish
    // grouping only from five digits, and as the system's locale writes it.
    void groupedAsTheLocale() {
        for (const QLocale& locale :
             {QLocale::system(), QLocale(QStringLiteral("hi_IN")), QLocale(QStringLiteral("es_ES")),
              QLocale(QStringLiteral("ar_EG")), QLocale(QStringLiteral("ccp_BD")),
              QLocale(QStringLiteral("fr_FR"))}) {
            report::GroupedNumbers numbers(locale);
            std::uint64_t power = 1;
            for (int digits = 1; digits <= 20; ++digits, power *= 10) {
                for (const std::uint64_t value :
                     {power, power * 9 + (power - 1) / 9 * 8, power * 10 - 1, ~std::uint64_t{0}}) {
                    QCOMPARE(numbers.text(value), report::grouped(value, locale));
                }
            }
        }
    }

    void fieldWidths() {
        // A size whose text is wider than the field is written in full, without padding.
        report::GroupedNumbers english{QLocale(QStringLiteral("en_US"))};
        QByteArray line;
        report::sizeField(line, FolderSize::of(1'000'000'000'000ULL), english);
        report::sizeField(line, FolderSize::unreadable(), english);
        QCOMPARE(line, " 1,000,000,000,000" + QByteArray(14, ' '));
        report::GroupedNumbers c{QLocale::c()};
        QCOMPARE(report::totalField(0, c), QString(16, QLatin1Char(' ')) + "0");
        QCOMPARE(report::totalField(18'245'120, c), QStringLiteral("       18,245,120"));
        QCOMPARE(report::totalField(123'456'789, c), QStringLiteral("      123,456,789"));
    }

    // Held against du -h --apparent-size (and numfmt --to=iec --round=up) of the same sizes.
    void humanSize_data() {
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<QString>("text");
        const std::pair<qulonglong, const char*> rows[] = {{0, "0"},
                                                           {1023, "1023"},
                                                           {1024, "1.0K"},
                                                           {1025, "1.1K"},
                                                           {10239, "10K"},
                                                           {10241, "11K"},
                                                           {1047552, "1023K"},
                                                           {1047553, "1.0M"},
                                                           {10485759, "10M"},
                                                           {1073741823, "1.0G"},
                                                           {4509715660, "4.2G"},
                                                           {1099511627776, "1.0T"},
                                                           {1125899906842624, "1.0P"},
                                                           {9223372036854775807, "8.0E"},
                                                           {11529215046068469760ULL, "10E"},
                                                           {18446744073709551615ULL, "16E"}};
        for (const auto& [bytes, text] : rows) {
            QTest::newRow(text) << bytes << QString::fromLatin1(text);
        }
    }
    void humanSize() {
        QFETCH(qulonglong, bytes);
        QFETCH(QString, text);
        QCOMPARE(report::humanSize(bytes), text);
    }

    // What is counted follows the marker of the whole tree; du-style sizes keep their columns.
    void countedAndHumanReadable() {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            ReportWriter out(buffer);
            ReportFormat format(out, QLocale::c(), {true, true, true, {"*.tmp", "a\tb"}}, true);
            format.header("/d", false, QDate(2026, 12, 6));
            format.folder({"x", FolderSize::of(4509715660)});
            format.closing(ReportSink::Closing::TreeTotal, 1023);
        }
        const QList<QByteArray> lines = buffer.data().split('\n');
        QCOMPARE(lines.at(5),
                 "Path - /d  (no subs) (disk usage, links once, one file system, "
                 "excluding: *.tmp, a?b)\r");
        QCOMPARE(lines.at(7), "x" + QByteArray(81, ' ') + "\t          4.2G\r");
        QCOMPARE(lines.at(9), QByteArray(79, ' ') + "\t" + QByteArray(13, ' ') + "1023\r");
    }

    // What fuzz_json does not hold: the header's words, exact 64-bit sizes, the reason.
    void json() {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            ReportWriter out(buffer);
            JsonFormat json(out, {true, false, true, {"*.o"}});
            json.header("/srv", false, QDate(2026, 12, 6));
            json.folder({"a/b", FolderSize::of(18446744073709551615ULL)});
            json.folder({"a/b/c", FolderSize::unreadable(), EACCES});
            json.closing(ReportSink::Closing::TreeTotal, 7);
        }
        const QJsonObject report = QJsonDocument::fromJson(buffer.data()).object();
        QCOMPARE(report["counted"].toObject(), QJsonObject({{"size", "disk-usage"},
                                                            {"links", "once"},
                                                            {"one_file_system", false},
                                                            {"exclude", QJsonArray{"*.o"}}}));
        QCOMPARE(report["mode"].toString() + report["total"].toVariant().toString(), "all7");
        QVERIFY(
            buffer.data().contains(R"({"path":"a/b","name":"b","bytes":18446744073709551615})"));
        QCOMPARE(report["folders"][1].toObject(), QJsonObject({{"path", "a/b/c"},
                                                               {"name", "c"},
                                                               {"bytes", QJsonValue::Null},
                                                               {"error", "Permission denied"}}));
    }

    void dateLine_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("line");
        QTest::newRow("english") << "en_US"
                                 << "Sunday - Dec 6, 2026";
        QTest::newRow("german") << "de_DE"
                                << "Sonntag - Dez. 6, 2026";
    }
    void dateLine() {
        QFETCH(QString, locale);
        QFETCH(QString, line);
        QCOMPARE(report::dateLine(QDate(2026, 12, 6), QLocale(locale)), line);
    }

    void names_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("safe");
        QTest::newRow("upper") << QByteArray("MUSIC") << "Music"
                               << "MUSIC";
        QTest::newRow("lower") << QByteArray("photos") << "Photos"
                               << "photos";
        QTest::newRow("dot folder keeps its dot") << QByteArray(".Cache") << ".cache"
                                                  << ".Cache";
        QTest::newRow("non-ascii") << QByteArray("élan ÜBER") << "Élan über"
                                   << "élan ÜBER";
        QTest::newRow("ascii, then not") << QByteArray("xÉLAN") << "Xélan"
                                         << "xÉLAN";
        QTest::newRow("control characters") << QByteArray("a\tb\nc\rd\x7f") << "A?b?c?d?"
                                            << "a?b?c?d?";
        // The bytes on either side of printable ASCII, which is copied and cased byte by byte.
        QTest::newRow("printable ASCII's ends") << QByteArray(" Az~") << " az~"
                                                << " Az~";
        QTest::newRow("0x1f") << QByteArray("Q\x1f") << "Q?"
                              << "Q?";
        QTest::newRow("0x80") << QByteArray("Q\x80") << "Q\uFFFD"
                              << "Q\uFFFD";
        QTest::newRow("not utf-8") << QByteArray("x\xff\xfey") << "X\uFFFD\uFFFDy"
                                   << "x\uFFFD\uFFFDy";
        // A leading U+FEFF is part of the name on disk, not a byte order mark to drop.
        QTest::newRow("leading U+FEFF")
            << QByteArray(
                   "\xEF\xBB\xBF"
                   "abc")
            << QStringLiteral("\uFEFFabc") << QStringLiteral("\uFEFFabc");
        QTest::newRow("astral first character") << QByteArray(
                                                       "\xF0\x9D\x90\x80"
                                                       "ABC")
                                                << "\U0001D400abc"
                                                << "\U0001D400ABC";
    }
    void names() {
        QFETCH(QByteArray, name);
        QFETCH(QString, display);
        QFETCH(QString, safe);
        QCOMPARE(report::safeName(name.toStdString()), safe);
        QCOMPARE(report::displayName(report::safeName(name.toStdString())), display);
        QByteArray line;
        report::appendName(line, name.toStdString(), false, 0);
        report::appendName(line, name.toStdString(), true, 0);
        QCOMPARE(line, safe.toUtf8() + '\t' + display.toUtf8() + '\t');
    }

    void columnStops_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("line");
        const QByteArray size = "             0";
        QTest::newRow("82 characters: no spaces")
            << QString(82, QLatin1Char('n')) << QByteArray(82, 'n') + "\t" + size + "\r\n";
        QTest::newRow("81 characters: one space")
            << QString(81, QLatin1Char('n')) << QByteArray(81, 'n') + " \t" + size + "\r\n";
        QTest::newRow("83 characters: a new line")
            << QString(83, QLatin1Char('n'))
            << QByteArray(83, 'n') + "\r\n" + QByteArray(82, ' ') + "\t" + size + "\r\n";
        // Characters, not bytes: 82 two-byte characters still fit.
        QTest::newRow("82 wide characters")
            << QString(82, QChar(0xe9)) << QString(82, QChar(0xe9)).toUtf8() + "\t" + size + "\r\n";
        // A surrogate pair is one character: 82 astral characters fit too.
        const QString astral = QString(QStringLiteral("\U0001D400")).repeated(82);
        QTest::newRow("82 astral characters") << astral << astral.toUtf8() + "\t" + size + "\r\n";
    }
    // A folder line of a report of the whole tree, where names are shown as they are.
    void columnStops() {
        QFETCH(QString, name);
        QFETCH(QByteArray, line);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ReportWriter out(buffer);
        ReportFormat format(out, QLocale::c());
        format.header("/", false, QDate(2026, 12, 6));
        out.flush();
        const qint64 headerBytes = buffer.size();
        format.folder({pathFromText(name), FolderSize::of(0)});
        // A line held to be written later, in another order, is written the same.
        QByteArray held;
        format.layOut({pathFromText(name), FolderSize::of(0)}, held);
        format.writeLine(held);
        out.flush();
        QCOMPARE(buffer.data().mid(headerBytes), line + line);
    }

    void aShortWriteGivesItsReason() {
        // A stream that takes the first bytes and then refuses, as a disk that fills up does.
        class FillingDevice : public QIODevice {
          public:
            qint64 readData(char*, qint64) override { return -1; }
            qint64 writeData(const char*, qint64 size) override {
                if (taken >= 10) {
                    setErrorString(QStringLiteral("No space left on device"));
                    return -1;
                }
                const qint64 part = std::min<qint64>(size, 10 - taken);
                taken += part;
                return part;
            }
            qint64 taken = 0;
        } device;
        device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        ReportWriter out(device);
        out.write(QString(40, QLatin1Char('x')));
        out.endLine();
        out.flush();
        QCOMPARE(device.taken, 10);
        QCOMPARE(out.error(), QStringLiteral("No space left on device"));
        out.write(QStringLiteral("the run goes on"));
        out.endLine();
        out.flush();
        QCOMPARE(out.error(), QStringLiteral("No space left on device"));
    }

    void tabCountsAsOneColumn() {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ReportWriter out(buffer);
        out.tab();
        out.columnStop(78);
        out.write(QStringLiteral("x"));
        out.endLine();
        out.flush();
        QCOMPARE(buffer.data(), "\t" + QByteArray(76, ' ') + "x\r\n");
    }

    // What a spreadsheet would compute stays text; what it reads as text stays as it was.
    void csvFields() {
        const std::pair<QString, QString> cases[] = {
            {"Music", "Music"},
            {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
            {"+1", "\"'+1\""},
            {"-old", "\"'-old\""},
            {"@SUM(A1)", "\"'@SUM(A1)\""},
            {"\tx", "\"'\tx\""},
            {"\rx", "\"'\rx\""},
            {"a=b-c", "a=b-c"},
            {"a,b", "\"a,b\""},
            {"", ""}};
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ReportWriter out(buffer);
        CsvFormat csv(out);
        QByteArray line;
        for (const auto& [text, field] : cases) {
            QCOMPARE(CsvFormat::field(text), field);
            line.truncate(0);
            csv.layOut({pathFromText(text), FolderSize::of(7)}, line);
            // A name is shown as the text report shows it, control characters as "?".
            QCOMPARE(line,
                     CsvFormat::field(report::safeName(text.toStdString())).toUtf8() + ",7\r\n");
        }
    }

    // Enough folders that their lines are sorted in runs and merged, as they come and at the
    // closing, in every order: the largest first (sizes tie), by name.
    void manyLinesSorted() {
        for (const ListOrder order : {ListOrder::Size, ListOrder::Name}) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            {
                ReportWriter out(buffer);
                SortedListing sorted(std::make_unique<CsvFormat>(out), order, 0);
                sorted.header("/", true, QDate(2026, 12, 6));
                for (std::uint64_t i = 0; i < 3 * 4096 + 5; ++i) {
                    const std::uint64_t n = i * 7919 % 12293;
                    sorted.folder({QByteArray::number(n).toStdString(), FolderSize::of(n % 7)});
                }
                sorted.closing(ReportSink::Closing::FoldersTotal, 0);
            }
            QList<QByteArray> rows = buffer.data().split('\n').mid(1, 3 * 4096 + 5);
            QVERIFY(std::is_sorted(rows.begin(), rows.end(), [order](QByteArray a, QByteArray b) {
                const auto size = [](const QByteArray& row) { return row.split(',').at(1); };
                return order == ListOrder::Size && size(a) != size(b) ? size(a) > size(b) : a < b;
            }));
            QCOMPARE(QSet<QByteArray>(rows.begin(), rows.end()).size(), 3 * 4096 + 5);
        }
    }
};

QTEST_GUILESS_MAIN(TestReportFormat)
#include "tst_reportformat.moc"
