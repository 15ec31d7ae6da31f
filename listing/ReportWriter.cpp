#include "listing/ReportWriter.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace dirtally {

namespace {
constexpr qsizetype kFlushThreshold = qsizetype{64} * 1024;

// A UTF-8 sequence has one byte that is not a continuation byte.
qsizetype codePoints(QByteArrayView utf8) {
    return std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xc0) != 0x80; });
}
}  // namespace

char* appended(QByteArray& text, qsizetype n) {
    const qsizetype at = text.size();
    text.resize(at + n);
    return text.data() + at;
}

qsizetype columnBytes(qsizetype length, int column) {
    return length >= column ? 2 + column - 1 : column - 1 - length;
}

char* toColumn(char* out, qsizetype length, int column) {
    if (length >= column) {
        out = std::copy_n("\r\n", 2, out);
        length = 0;
    }
    return std::fill_n(out, column - 1 - length, ' ');
}

ReportWriter::ReportWriter(QIODevice& device) : device_(device) {}

ReportWriter::~ReportWriter() {
    flush();
}

// Encoded straight into the buffer: a temporary copy of every piece of every line adds up over a
// million lines.
void ReportWriter::write(const QString& text) {
    const qsizetype at = pending_.size();
    pending_.resize(at + encoder_.requiredSpace(text.size()));
    const char* end = encoder_.appendToBuffer(pending_.data() + at, text);
    pending_.truncate(end - pending_.constData());
    // Counted in what was written: a surrogate pair is one character, a lone surrogate one
    // replacement character; as many bytes as UTF-16 units are ASCII, one character each.
    const QByteArrayView written = QByteArrayView(pending_).sliced(at);
    lineLength_ += written.size() == text.size() ? written.size() : codePoints(written);
}

void ReportWriter::writeUtf8(QByteArrayView text) {
    std::copy(text.begin(), text.end(), appended(pending_, text.size()));
    lineLength_ += codePoints(text);
}

void ReportWriter::tab() {
    pending_ += '\t';
    ++lineLength_;
}

void ReportWriter::writeLines(QByteArrayView lines) {
    std::copy(lines.begin(), lines.end(), appended(pending_, lines.size()));
    linesEnded();
}

void ReportWriter::writeLines(QByteArrayView start, int column, QByteArrayView rest) {
    const qsizetype length = codePoints(start);
    char* out = appended(pending_, start.size() + columnBytes(length, column) + rest.size());
    out = toColumn(std::copy(start.begin(), start.end(), out), length, column);
    std::copy(rest.begin(), rest.end(), out);
    linesEnded();
}

void ReportWriter::linesEnded() {
    lineLength_ = 0;
    if (pending_.size() >= kFlushThreshold) {
        flush();
    }
}

void ReportWriter::columnStop(int column) {
    toColumn(appended(pending_, columnBytes(lineLength_, column)), lineLength_, column);
    lineLength_ = column - 1;
}

void ReportWriter::endLine() {
    pending_ += "\r\n";
    linesEnded();
}

void ReportWriter::flush() {
    // A disk that fills up part-way takes part of a write without a reason; writing the rest
    // brings the reason out.
    qsizetype done = 0;
    while (done < pending_.size()) {
        const qint64 written = device_.write(pending_.constData() + done, pending_.size() - done);
        if (written <= 0) {
            if (error_.isEmpty()) {
                error_ = device_.errorString();
            }
            if (error_.isEmpty()) {
                error_ = QStringLiteral("Unknown error");
            }
            break;
        }
        done += written;
    }
    // Emptied, not freed: the next block fills the same memory.
    pending_.truncate(0);
}

}  // namespace dirtally
