#include "listing/ReportWriter.h"

#include <QIODevice>
#include <algorithm>

namespace dirtally {

namespace {
constexpr qsizetype kFlushThreshold = qsizetype{64} * 1024;

qsizetype codePoints(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate())) {
            ++count;
        }
    }
    return count;
}
}  // namespace

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
    lineLength_ += codePoints(text);
}

void ReportWriter::writeUtf8(QByteArrayView text) {
    pending_ += text;
    lineLength_ +=
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xc0) != 0x80; });
}

void ReportWriter::tab() {
    pending_ += '\t';
    ++lineLength_;
}

void ReportWriter::columnStop(int column) {
    if (lineLength_ >= column) {
        endLine();
    }
    const qsizetype spaces = column - 1 - lineLength_;
    pending_.append(spaces, ' ');
    lineLength_ += spaces;
}

void ReportWriter::endLine() {
    pending_ += "\r\n";
    lineLength_ = 0;
    if (pending_.size() >= kFlushThreshold) {
        flush();
    }
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
