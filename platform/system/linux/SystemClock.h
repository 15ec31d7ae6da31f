#pragma once

#include "platform/system/Clock.h"

namespace dirtally {

// The system's local time.
class SystemClock final : public Clock {
  public:
    QDateTime now() override;

  private:
    qint64 second_ = -1;  // the second since the epoch whose offset is known
    int offset_ = 0;      // seconds east of UTC
};

}  // namespace dirtally
