// Reports read back, as the writers write them and as they break, and what a comparison with one
// makes of each change of a tree.
#include <QBuffer>
#include <QTest>

#include "listing/ChosenSink.h"
#include "listing/Comparison.h"
#include "listing/PreviousReport.h"
#include "listing/ReportFormat.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {
using Folders = QList<std::pair<QByteArray, FolderSize>>;

QByteArray written(const RunInputs& inputs, const Folders& folders) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportWriter writer(buffer);
    const std::unique_ptr<ReportSink> sink = chosenSink(inputs, writer);
    sink->header("/data", inputs.oneLevel, QDate(2026, 12, 6));
    for (const auto& [path, size] : folders) {
        sink->folder({path.toStdString(), size});
    }
    sink->closing(
        inputs.oneLevel ? ReportSink::Closing::FoldersTotal : ReportSink::Closing::TreeTotal,
        1234567);
    writer.flush();
    return buffer.data();
}
}  // namespace

Q_DECLARE_METATYPE(Folders)
Q_DECLARE_METATYPE(Counting)

class TestPreviousReport : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void readsWhatTheWritersWrite_data() {
        QTest::addColumn<ReportKind>("kind");
        QTest::addColumn<bool>("oneLevel");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<Counting>("counting");
        QTest::addColumn<Folders>("folders");
        QTest::addColumn<QDate>("date");     // as the report tells it
        QTest::addColumn<bool>("compared");  // with a change column and a folder gone
        const Folders plain{{"photos", FolderSize::of(3'245'120)}, {"Music", FolderSize()}};
        const Folders awkward{{QByteArray(82, 'n'), FolderSize::of(0)},
                              {QByteArray(83, 'l') + "/x", FolderSize::of(INT64_MAX)},
                              {QString(90, QChar(0xe9)).toUtf8(), FolderSize()},
                              {"trailing  ", FolderSize::of(5)},
                              {"comma, \"quote\"", FolderSize::of(1)},
                              {"=SUM(A1)", FolderSize::of(2)},
                              {"'=SUM(A1), '", FolderSize::of(3)}};
        const QDate day(2026, 12, 6);
        const Counting disk{true, false, false, {"*.tmp", "/a  (b)"}};
        QTest::newRow("text, one level")
            << ReportKind::Text << true << "en_US" << Counting{} << plain << day << false;
        QTest::newRow("text, whole tree")
            << ReportKind::Text << false << "en_US" << disk << awkward << day << false;
        QTest::newRow("text, German")
            << ReportKind::Text << true << "de_DE" << disk << awkward << day << false;
        QTest::newRow("text, French spaces")
            << ReportKind::Text << true << "fr_FR" << Counting{} << plain << day << false;
        // Qt reads no date in Chakma digits back: the report's date is then not told.
        QTest::newRow("text, Chakma digits")
            << ReportKind::Text << true << "ccp_BD" << Counting{} << plain << QDate() << false;
        QTest::newRow("csv") << ReportKind::Csv << false << "en_US" << disk << awkward << QDate()
                             << false;
        QTest::newRow("json") << ReportKind::Json << false << "en_US"
                              << Counting{false, true, true, {"x\xff"}}
                              << awkward + Folders{{"not\xff utf-8/\x01", FolderSize::of(3)}} << day
                              << false;
        QTest::newRow("text, compared")
            << ReportKind::Text << false << "de_DE" << disk << awkward << day << true;
        QTest::newRow("csv, compared")
            << ReportKind::Csv << true << "en_US" << disk << plain << QDate() << true;
        QTest::newRow("json, compared")
            << ReportKind::Json << true << "en_US" << disk << plain << day << true;
    }
    // Each folder written is found, with its size, under the key a new run looks it up by.
    void readsWhatTheWritersWrite() {
        QFETCH(ReportKind, kind);
        QFETCH(bool, oneLevel);
        QFETCH(QString, locale);
        QFETCH(Counting, counting);
        QFETCH(Folders, folders);
        QFETCH(QDate, date);
        QFETCH(bool, compared);
        QLocale::setDefault(QLocale(locale));
        RunInputs inputs{"/data", oneLevel, {}, {}, kind, counting};
        if (compared) {
            PreviousReport gone;
            gone.folders = {{"gone one", FolderSize::of(7)}};
            inputs.comparison = std::make_shared<Comparison>(std::move(gone));
        }
        QString why;
        const auto report = PreviousReport::read(written(inputs, folders), &why);
        QVERIFY2(report, qPrintable(why));
        QCOMPARE(report->folders.size(), std::size_t(folders.size()));
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const Path path = folders[i].first.toStdString();
            QCOMPARE(Path(report->folders[i].key), report->keyOf(path));
            QCOMPARE(report->folders[i].size, folders[i].second);
        }
        QCOMPARE(report->date.value_or(QDate()), date);
        if (kind != ReportKind::Csv) {
            QCOMPARE(report->folder, Path("/data"));
            QCOMPARE(report->oneLevel, oneLevel);
            QCOMPARE(report->total, 1234567u);
            QCOMPARE(report->counted, report::countedWords(counting));
        }
    }

    void readsOrRefuses_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("keys");  // or the reason, when empty
        QTest::addColumn<QString>("why");
        const QByteArray head =
            "\r\nDirtally by x\r\n\r\nSunday - Dec 6, 2026\r\n\r\nPath - /data  \r\n\r\n";
        const QByteArray end = QByteArray(81, ' ') + "\t---------------\r\n";
        QTest::newRow("json") << QByteArray(R"({"program":"dirtally-report","folder":"/d",
            "mode":"all","folders":[{"path":"a/b","bytes":1},{"path":"c","bytes":null},
            {"path":"g","bytes":null,"gone":true,"change":-5}]})")
                              << QStringList{"a/b", "c"} << "";
        QTest::newRow("json syntax")
            << QByteArray("{\n\"program\":\n}") << QStringList{} << "line 3: ";
        // Read a line at a time, as written; its lines checked as they come.
        QTest::newRow("json lines") << QByteArray(
                                           "{\"program\":\"dirtally-report\",\"folders\":[\r\n"
                                           "{\"path\":\"a\",\"bytes\":1}\r\n"
                                           "{\"path\":\"b\",\"bytes\":2}\r\n],\"total\":3}")
                                    << QStringList{} << "line 3: a folder not after a comma";
        // Lines not as the writer lays them out, or with what it never writes, read as Qt reads
        // them: an escape, a space, a fraction, a folder gone, a path's bytes.
        QTest::newRow("json lines not the writer's")
            << QByteArray(
                   "{\"program\":\"dirtally-report\",\"folders\":[\r\n"
                   "{\"path\":\"a\\\"b\",\"name\":\"x\",\"bytes\":1}\r\n"
                   R"(,{"path":"\u00e9","bytes":2,"new":true})"
                   "\r\n"
                   R"(,{ "path":"c","bytes":3.0})"
                   "\r\n"
                   R"(,{"path":"g","bytes":null,"gone":true,"change":-5})"
                   "\r\n"
                   R"(,{"path":"d","bytes":null,"path_bytes":"ZQ=="})"
                   "\r\n],\"total\":6}")
            << QStringList{"a\"b", "\u00e9", "c", "e"} << "";
        QTest::newRow("json line past 63 bits")
            << QByteArray(
                   "{\"program\":\"dirtally-report\",\"folders\":[\r\n"
                   R"({"path":"a","bytes":9223372036854775808})"
                   "\r\n]}")
            << QStringList{} << "line 2: folder 1";
        QTest::newRow("json line not UTF-8")
            << QByteArray(
                   "{\"program\":\"dirtally-report\",\"folders\":[\r\n"
                   "{\"path\":\"\xff\",\"bytes\":1}\r\n]}")
            << QStringList{} << "line 2: ";
        QTest::newRow("json negative size")
            << QByteArray(R"({"program":"dirtally-report","folders":[{"path":"a","bytes":-1}]})")
            << QStringList{} << "folder 1 of \"folders\"";
        QTest::newRow("json other program")
            << QByteArray(R"({"program":"ncdu","folders":[]})") << QStringList{} << "no report";
        QTest::newRow("json unknown mode")
            << QByteArray(R"({"program":"dirtally-report","mode":"deep","folders":[]})")
            << QStringList{} << "\"mode\"";
        QTest::newRow("csv formula kept as text")
            << QByteArray("folder,bytes\r\n\"'=x\",1\r\n'=y,2\r\n\"''=z,\",3\r\n\"'a,\",4\r\n")
            << QStringList{"=x", "'=y", "'=z,", "'a,"} << "";
        QTest::newRow("csv size") << QByteArray("folder,bytes\r\na,1\r\nb,-2\r\n") << QStringList{}
                                  << "line 3: the size \"-2\"";
        QTest::newRow("csv columns")
            << QByteArray("folder,bytes\r\na\r\n") << QStringList{} << "line 2: 1 fields, not 2";
        QTest::newRow("csv open quote")
            << QByteArray("folder,bytes\r\n\"a,1\r\n") << QStringList{} << "line 2: a quoted field";
        QTest::newRow("csv bare LF") << QByteArray("folder,bytes\na,1\n") << QStringList{}
                                     << "line 1: a field is not followed";
        QTest::newRow("text ambiguous name")
            << head + "a?b" + QByteArray(79, ' ') + "\t             1\r\n" + end << QStringList{}
            << "line 8: the name \"a?b\" may stand for several folders";
        QTest::newRow("text size past 64 bits")
            << head + "Ab" + QByteArray(80, ' ') + "\t 18,446,744,073,709,551,616\r\n" + end
            << QStringList{} << "line 8: the size";
        QTest::newRow("text rounded size")
            << head + "Ab" + QByteArray(80, ' ') + "\t           4.2G\r\n" + end << QStringList{}
            << "line 8: the size \"4.2G\" is rounded (--human-readable)";
        QTest::newRow("text unfinished")
            << head + "Ab" + QByteArray(80, ' ') + "\t             1\r\n"
            << QStringList{} << "line 9: the report ends early";
        QTest::newRow("text not utf-8") << head + "\xff\r\n"
                                        << QStringList{} << "line 8: not UTF-8";
        QTest::newRow("nothing") << QByteArray() << QStringList{} << "no report";
    }
    void readsOrRefuses() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, keys);
        QFETCH(QString, why);
        QString reason;
        const auto report = PreviousReport::read(bytes, &reason);
        QVERIFY2(reason.contains(why), qPrintable(reason));
        QCOMPARE(report.has_value(), why.isEmpty());
        for (qsizetype i = 0; report && i < keys.size(); ++i) {
            QCOMPARE(QString::fromUtf8(report->folders[i].key), keys[i]);
        }
    }

    // The changes of a tree since a report of it: one folder grew, one shrank, one is the same,
    // one is new, one became unreadable, one was unreadable, one was renamed (gone + new), and
    // two names the CSV report showed alike cannot be told apart, on either side.
    void comparesEachChange() {
        PreviousReport previous;
        previous.names = PreviousReport::Names::Shown;
        previous.folders = {{"grew", FolderSize::of(100)}, {"shrank", FolderSize::of(50)},
                            {"same", FolderSize::of(7)},   {"shut", FolderSize::of(10)},
                            {"was shut", FolderSize()},    {"old name", FolderSize::of(30)},
                            {"a?", FolderSize::of(4)},     {"grew/sub", FolderSize::of(99)},
                            {"b?", FolderSize::of(5)},     {"b?", FolderSize::of(6)}};
        Comparison comparison(std::move(previous));
        using K = SizeChange::Kind;
        const auto change = [&](const char* name, FolderSize size) {
            return comparison.change(name, size);
        };
        QCOMPARE(change("grew", FolderSize::of(150)), (SizeChange{K::Both, 100, 50, false}));
        QCOMPARE(change("shrank", FolderSize::of(8)), (SizeChange{K::Both, 50, 42, true}));
        QCOMPARE(change("same", FolderSize::of(7)), (SizeChange{K::Both, 7, 0, false}));
        QCOMPARE(change("fresh", FolderSize::of(9)), (SizeChange{K::New, {}, 9, false}));
        QCOMPARE(change("shut", FolderSize()), (SizeChange{K::Both, 10, {}, false}));
        QCOMPARE(change("was shut", FolderSize::of(3)), (SizeChange{K::Both, {}, {}, false}));
        QCOMPARE(change("new name", FolderSize::of(30)), (SizeChange{K::New, {}, 30, false}));
        QCOMPARE(comparison.change("a\x01", FolderSize::of(5)).amount, 1u);
        QCOMPARE(comparison.change("a\x02", FolderSize::of(5)).amount, std::nullopt);
        QCOMPARE(comparison.change("b\x01", FolderSize::of(5)).amount, std::nullopt);
        QCOMPARE(comparison.change("b\x02", FolderSize::of(6)).amount, std::nullopt);
        const std::vector<GoneFolder> gone = comparison.gone();
        QCOMPARE(gone.size(), 2u);
        QCOMPARE(gone[0].path, Path("old name"));
        QCOMPARE(gone[0].change, (SizeChange{K::Gone, 30, 30, true}));
        QCOMPARE(gone[1].path, Path("grew/sub"));
        // The previous total: the first-level folders that had a size, 212 bytes.
        QCOMPARE(comparison.totalChange(1), (SizeChange{K::Both, 212, 211, true}));
        QVERIFY(SizeChange::grewMore({K::New, {}, 1, false}, {K::Both, 5, 0, false}));
        QVERIFY(SizeChange::grewMore({K::Both, 5, 2, true}, {K::Gone, 9, 9, true}));
        QVERIFY(SizeChange::grewMore({K::Gone, 9, 9, true}, {K::Both, {}, {}, false}));
    }
};

QTEST_GUILESS_MAIN(TestPreviousReport)
#include "tst_previousreport.moc"
