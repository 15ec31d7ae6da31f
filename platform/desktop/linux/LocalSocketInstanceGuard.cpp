#include "platform/desktop/linux/LocalSocketInstanceGuard.h"

#include <unistd.h>

#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>

namespace dirtally {

namespace {

constexpr int replyWaitMs = 500;
const QByteArray raiseRequest = "raise\n";
const QByteArray raisedReply = "raised\n";

}  // namespace

LocalSocketInstanceGuard::LocalSocketInstanceGuard(const QString& name)
    : name_(name), server_(std::make_unique<QLocalServer>()) {
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    previous_ =
        !server_->listen(name_) && server_->serverError() == QAbstractSocket::AddressInUseError;
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                     [this] { answer(); });
}

LocalSocketInstanceGuard::~LocalSocketInstanceGuard() = default;

QString LocalSocketInstanceGuard::defaultName() {
    // The Wayland socket, or the X display without its screen number (":0.1" is ":0"): one X
    // server is one session.
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    QString session = qEnvironmentVariable(wayland ? "WAYLAND_DISPLAY" : "DISPLAY");
    const qsizetype colon = session.lastIndexOf(QLatin1Char(':'));
    const qsizetype screen = session.indexOf(QLatin1Char('.'), colon + 1);
    if (!wayland && colon >= 0 && screen > colon) {
        session.truncate(screen);
    }
    return QStringLiteral("dirtally-%1-%2").arg(getuid()).arg(session);
}

void LocalSocketInstanceGuard::onRaiseRequest(std::function<void()> handler) {
    handler_ = std::move(handler);
}

void LocalSocketInstanceGuard::answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine() || socket->readLine() != raiseRequest) {
                return;
            }
            if (handler_) {
                handler_();
            }
            socket->write(raisedReply);
        });
    }
}

void LocalSocketInstanceGuard::raisePrevious() {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(replyWaitMs)) {
        return;
    }
    socket.write(raiseRequest);
    if (socket.waitForBytesWritten(replyWaitMs)) {
        socket.waitForReadyRead(replyWaitMs);
    }
    socket.disconnectFromServer();
}

}  // namespace dirtally
