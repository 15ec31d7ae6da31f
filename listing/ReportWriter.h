#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

class QIODevice;

namespace dirtally {

// Makes room for n more bytes at the end of `text` and returns where they start: a line's
// pieces written in place cost a fraction of what appending each one costs.
char* appended(QByteArray& text, qsizetype n);
// The bytes that take a line of `length` characters to column n (counted from 1): spaces, or a
// new line and spaces where the line is already past it.
qsizetype columnBytes(qsizetype length, int column);
// Writes those bytes at `out`; returns their end.
char* toColumn(char* out, qsizetype length, int column);

// Writes the report's lines to a stream: UTF-8, CR LF line ends, and column stops counted in
// characters. Lines are gathered and handed to the stream by flush(), so a caller decides when a
// line reaches the disk; a failed write is remembered and the writing goes on.
class ReportWriter {
  public:
    explicit ReportWriter(QIODevice& device);
    ~ReportWriter();

    void write(const QString& text);
    // Text that is UTF-8 already (a JSON line, say), as it is.
    void writeUtf8(QByteArrayView text);
    // Whole lines, UTF-8 and each ending in CR LF, laid out before they are written.
    void writeLines(QByteArrayView lines);
    // The same, the first line laid out without the spaces to a column stop: `start`, then the
    // stop at `column`, then `rest`.
    void writeLines(QByteArrayView start, int column, QByteArrayView rest);
    void tab();
    // Goes to column n: pads with spaces, or starts a new line when the line is already past it.
    void columnStop(int column);
    void endLine();
    void flush();

    // The first failure's reason; empty while every write went through.
    const QString& error() const { return error_; }

    // Where whole lines may be laid out in place, each ending in CR LF; linesEnded() after them.
    QByteArray& buffer() { return pending_; }
    void linesEnded();

  private:
    QIODevice& device_;
    QByteArray pending_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    qsizetype lineLength_ = 0;  // characters (code points) written on the current line
    QString error_;
};

}  // namespace dirtally
