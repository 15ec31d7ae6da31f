#pragma once

#include <QDateTime>

namespace dirtally {

// The wall clock.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
};

}  // namespace dirtally
