#include "platform/system/linux/SystemClock.h"

namespace dirtally {

QDateTime SystemClock::now() {
    return QDateTime::currentDateTime();
}

}  // namespace dirtally
