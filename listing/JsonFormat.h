#pragma once

#include <QByteArray>

#include "listing/LineFormat.h"
#include "platform/system/Counting.h"

namespace dirtally {

class ReportWriter;

// The report as one JSON document (RFC 8259) for programs: the header's facts and what is
// counted, then one object per listed folder, a line each, then the total. It is written as the
// run goes and valid once the closing is written. Names are exact: a path that is not valid
// UTF-8 keeps its bytes, in base64, beside its text.
class JsonFormat final : public LineFormat {
  public:
    JsonFormat(ReportWriter& out, const Counting& counting) : out_(out), counting_(counting) {}

    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void layOut(const ListedFolder& listed, QByteArray& line) override;
    // The comma between two folders' objects is put here, where it is known which comes first.
    void writeLine(QByteArrayView line) override;
    void closing(Closing block, std::uint64_t value) override;
    // The previous report's date, and beside each size its change and the previous size (null
    // where not known); a new folder is marked "new", a gone one "gone".
    void compareWith(const Comparison& comparison) override;

  private:
    ReportWriter& out_;
    Counting counting_;
    bool first_ = true;
    const Comparison* comparison_ = nullptr;
};

}  // namespace dirtally
