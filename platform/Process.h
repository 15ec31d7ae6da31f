#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

#include "platform/Path.h"

namespace dirtally {

// Facts about the running process.
class ProcessInfo {
  public:
    virtual ~ProcessInfo() = default;
    // The current directory exactly as the system reports it.
    virtual Path currentDirectory() = 0;
    // The folder that holds the program's executable ("/" when it lies in the root).
    virtual Path programFolder() = 0;
    // Ends the process at once: no further code of the program runs.
    virtual void endProcess(int exitCode) = 0;
};

// The wall clock.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
};

// Tells whether another instance of the program runs for this user, and lets the two talk.
class InstanceGuard {
  public:
    virtual ~InstanceGuard() = default;
    // True when another instance was running when this one started.
    virtual bool previousInstance() const = 0;
    // Asks the other instance to restore and raise its main window; does nothing when it has
    // gone since.
    virtual void raisePrevious() = 0;
    // In the first instance: what to do when a later instance asks to be raised.
    virtual void onRaiseRequest(std::function<void()> handler) = 0;
};

}  // namespace dirtally
