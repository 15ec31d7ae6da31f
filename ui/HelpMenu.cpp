// The Help menu: the publisher's web page, a mail to the publisher, and the About window.
#include <QUrl>

#include "VersionInfo.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

namespace dirtally {

void Form1::mnuwebpageClick() {
    services_.urlOpener.open(QUrl(QString::fromUtf8(version::webAddress)));
}

void Form1::mnuemailClick() {
    services_.urlOpener.open(
        QUrl(QStringLiteral("mailto:") + QString::fromUtf8(version::salesMail)));
}

void Form1::aboutClick() {
    showAbout(services_.soundPlayer, services_.instance, services_.process.programFolder());
}

}  // namespace dirtally
