// The Help menu: the publisher's web page, a mail to the publisher, and the About window.
#include <QUrl>

#include "VersionInfo.h"
#include "ui/AboutWindow.h"
#include "ui/MainWindow.h"

namespace dirtally {

void MainWindow::webPageTriggered() {
    services_.urlOpener.open(QUrl(QString::fromUtf8(version::webAddress)));
}

void MainWindow::emailTriggered() {
    services_.urlOpener.open(
        QUrl(QStringLiteral("mailto:") + QString::fromUtf8(version::salesMail)));
}

void MainWindow::aboutTriggered() {
    showAbout(services_.soundPlayer, services_.instance, services_.process.programFolder());
}

}  // namespace dirtally
