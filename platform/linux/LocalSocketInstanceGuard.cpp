#include "platform/linux/LocalSocketInstanceGuard.h"

#include <unistd.h>

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
    return QStringLiteral("dirtally-%1").arg(getuid());
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
