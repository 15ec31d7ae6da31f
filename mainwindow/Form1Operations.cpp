#include "mainwindow/Form1Operations.h"

#include "mainwindow/ApplicationTitle.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

namespace dirtally {

namespace {
// Qt has no call for the locale's time separator: take the first one its time format uses.
QChar timeSeparator() {
    for (const QChar c : QLocale().timeFormat(QLocale::ShortFormat)) {
        if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'')) {
            return c;
        }
    }
    return QLatin1Char(':');
}
}  // namespace

Form1Operations::Form1Operations(const Form1Controls& controls, Services& services)
    : controls_(controls),
      services_(services),
      run_(*this, services.directories, services.folders),
      timeSeparator_(timeSeparator()) {}

Form1Operations::~Form1Operations() = default;

bool Form1Operations::startUp() {
    setFolderLine(services_.process.currentDirectory());
    controls_.form->setWindowTitle(controls_.label2->text());
    controls_.command6->setEnabled(false);
    if (services_.process.programFolder() == "/") {
        // The window is never shown: the box stands alone, in the middle of the screen.
        services_.messageBox.critical(
            nullptr, kErrorTitle,
            QStringLiteral("Dirtally can not be run from\r\na root directory, please reinstall."));
        return false;
    }
    controls_.label10->setEnabled(true);
    controls_.label1->setText(QStringLiteral("Enter Header For Output List"));
    return true;
}

QString Form1Operations::clockText() const {
    const QTime time = services_.clock.now().time();
    const auto two = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return two(time.hour()) + timeSeparator_ + two(time.minute()) + timeSeparator_ +
           two(time.second());
}

// Qt's event loop has handled the window's pending events before it delivers a tick, so the tick
// does not yield itself: a run started by an event handled inside a tick would run nested in the
// tick, and Qt delivers no further tick of a timer while one is still being handled.
void Form1Operations::clockTick() {
    const QString text = clockText();
    if (controls_.label4->text() != text) {
        controls_.label4->setText(text);
    }
}

void Form1Operations::shutdown() {
    reportFile_.close();
    services_.process.endProcess(0);
}

void Form1Operations::makeList() {
    run_.makeList();
}

void Form1Operations::setFolderLine(const Path& folder) {
    state_.folderLine = folder;
    controls_.label2->setText(pathToText(folder));
}

bool Form1Operations::noSubdirs() const {
    return controls_.nosubdir->isChecked();
}

void Form1Operations::yield() {
    QCoreApplication::processEvents();
}

QIODevice* Form1Operations::openReport(const Path& file, QString* error) {
    return reportFile_.open(file, error);
}

void Form1Operations::closeReport() {
    reportFile_.close();
}

void Form1Operations::showError(const QString& text) {
    services_.messageBox.critical(controls_.form, kErrorTitle, text);
}

QDate Form1Operations::today() {
    return services_.clock.now().date();
}

void Form1Operations::focusFileList() {
    controls_.command2->setFocus(Qt::OtherFocusReason);
}

void Form1Operations::setBusyPointer(bool busy) {
    if (busy) {
        controls_.form->setCursor(Qt::WaitCursor);
    } else {
        controls_.form->unsetCursor();
    }
}

QString Form1Operations::makeListCaption() const {
    return controls_.command4->text();
}

void Form1Operations::setMakeListCaption(const QString& caption) {
    controls_.command4->setText(caption);
}

void Form1Operations::setStatus(const QString& text) {
    controls_.label10->setText(text);
}

void Form1Operations::setFolderAndViewEnabled(bool enabled) {
    controls_.command1->setEnabled(enabled);
    controls_.command6->setEnabled(enabled);
}

void Form1Operations::setHelpMenuEnabled(bool enabled) {
    controls_.help->menuAction()->setEnabled(enabled);
}

void Form1Operations::clearHeaderBox() {
    controls_.text2->clear();
}

void Form1Operations::setWindowCaption(const QString& caption) {
    controls_.form->setWindowTitle(caption);
}

QString Form1Operations::applicationTitle() const {
    return dirtally::applicationTitle();
}

}  // namespace dirtally
