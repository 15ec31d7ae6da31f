#include "listing/ReportWriter.h"

#include <QIODevice>

namespace dirtally {

namespace {
constexpr qsizetype kFlushThreshold = 64 * 1024;

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

void ReportWriter::write(const QString& text) {
    pending_ += text.toUtf8();
    lineLength_ += codePoints(text);
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
    if (pending_.isEmpty()) {
        return;
    }
    const qint64 written = device_.write(pending_);
    if (written != pending_.size() && error_.isEmpty()) {
        error_ = device_.errorString();
        if (error_.isEmpty()) {
            error_ = QStringLiteral("Unknown error");
        }
    }
    pending_.clear();
}

}  // namespace dirtally
