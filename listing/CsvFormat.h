#pragma once

#include <QString>

#include "listing/LineFormat.h"

namespace dirtally {

class ReportWriter;

// The report as CSV (RFC 4180) for spreadsheets and scripts: UTF-8, CR LF line ends, the header
// row "folder,bytes", then one row per listed folder with its name as the text report shows it
// (not capitalised) and its size as a plain integer, empty when it cannot be read. No total row.
class CsvFormat final : public LineFormat {
  public:
    explicit CsvFormat(ReportWriter& out) : out_(out) {}

    void header(const Path& folder, bool oneLevel, const QDate& today) override;
    void layOut(const ListedFolder& listed, QByteArray& line) override;
    void writeLine(QByteArrayView line) override;
    void closing(Closing block, std::uint64_t value) override;
    // A "change" column; a gone folder has "gone" for its bytes.
    void compareWith(const Comparison& comparison) override;

    // A field as CSV needs it: quoted, with its quotes doubled, when it holds a comma, a quote or
    // a line break; a text a spreadsheet would take for a formula is quoted after an apostrophe.
    static QString field(const QString& text);
    // Whether a name starting with these two characters (the second null where there is none)
    // is written after an apostrophe, quoted: one a spreadsheet would take for a formula, and
    // one that already starts with an apostrophe before such a character or another apostrophe,
    // so that a reader takes off exactly the apostrophe the writer put on.
    static bool apostrophed(QChar first, QChar second);

  private:
    ReportWriter& out_;
    bool comparing_ = false;
};

}  // namespace dirtally
