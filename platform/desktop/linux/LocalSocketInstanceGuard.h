#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "platform/desktop/InstanceGuard.h"

class QLocalServer;

namespace dirtally {

// One listening socket per user and desktop session in Linux's abstract socket namespace: the first
// instance holds the name, a later one finds it taken. The kernel drops the name with the process,
// so a crashed instance leaves nothing behind that could block the next start.
class LocalSocketInstanceGuard final : public InstanceGuard {
  public:
    // name: the socket's name; tests pass one of their own so that they never meet a running
    // Dirtally.
    explicit LocalSocketInstanceGuard(const QString& name = defaultName());
    ~LocalSocketInstanceGuard() override;

    bool previousInstance() const override { return previous_; }
    // Waits up to half a second for the other instance to confirm it has raised its window.
    void raisePrevious() override;
    void onRaiseRequest(std::function<void()> handler) override;

    // Holds the user id and the display, so that two users of one machine, and two desktops of
    // one user, each get their own first instance.
    static QString defaultName();

  private:
    void answer();

    QString name_;
    // Kept out of this header: only the platform layer links Qt Network.
    std::unique_ptr<QLocalServer> server_;
    bool previous_ = false;
    std::function<void()> handler_;
};

}  // namespace dirtally
