#pragma once

#include "platform/system/Clock.h"

namespace dirtally {

// The system's local time.
class SystemClock final : public Clock {
  public:
    QDateTime now() override;
};

}  // namespace dirtally
