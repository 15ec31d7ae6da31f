#pragma once

#include <functional>

namespace dirtally {

// Tells whether another instance of the program runs in this desktop session, and lets the two
// talk.
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
