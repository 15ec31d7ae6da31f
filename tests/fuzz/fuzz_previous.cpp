// Any bytes as a previous report: the readers never crash, and what they accept they can give
// back: written again in its own format and read once more, it is the same report, each folder
// under the key a new run would find it by. Any bytes as a JSON report's folder line: what the
// quick reading takes, Qt's parser reads the same.
#include <QBuffer>
#include <cstdlib>
#include <map>

#include "listing/ChosenSink.h"
#include "listing/PreviousReport.h"
#include "listing/ReportWriter.h"

using namespace dirtally;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QByteArray written(const PreviousReport& report) {
    static const std::map<PreviousReport::Names, ReportKind> kKinds{
        {PreviousReport::Names::Exact, ReportKind::Json},
        {PreviousReport::Names::Shown, ReportKind::Csv},
        {PreviousReport::Names::Lined, ReportKind::Text}};
    RunInputs inputs;
    inputs.kind = kKinds.at(report.names);
    inputs.oneLevel = report.oneLevel.value_or(true);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportWriter writer(buffer);
    const std::unique_ptr<ReportSink> sink = chosenSink(inputs, writer);
    sink->header(report.folder.value_or("/"), inputs.oneLevel, QDate(2026, 12, 6));
    for (std::size_t i = 0; i < report.folders.size(); ++i) {
        sink->folder({Path(report.folders[i].key), report.folders[i].size});
    }
    using Closing = ReportSink::Closing;
    sink->closing(!report.total     ? Closing::UsedSpace
                  : inputs.oneLevel ? Closing::FoldersTotal
                                    : Closing::TreeTotal,
                  report.total.value_or(0));
    writer.flush();
    return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString why;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // A folder's line read without Qt's parser is one Qt's parser reads alike.
    PreviousFolders quick;
    if (previous::readWritersFolder(bytes, &quick)) {
        const auto parsed = PreviousReport::read(
            R"({"program":"dirtally-report","folders":[)" + bytes + "]}", &why);
        check(parsed && parsed->folders.size() == 1 && parsed->folders[0] == quick[0]);
    }
    const auto first = PreviousReport::read(bytes, &why);
    if (!first) {
        check(!why.isEmpty());
        return 0;
    }
    const auto again = PreviousReport::read(written(*first), &why);
    check(again && again->names == first->names && again->folders.size() == first->folders.size());
    // What the report did not tell, the writer fills in.
    check(!first->oneLevel || again->oneLevel == first->oneLevel);
    check(!first->total || again->total == first->total);
    for (std::size_t i = 0; i < first->folders.size(); ++i) {
        const PreviousFolder folder = first->folders[i];
        check(again->folders[i].size == folder.size &&
              again->folders[i].key == first->keyOf(Path(folder.key)));
    }
    return 0;
}
