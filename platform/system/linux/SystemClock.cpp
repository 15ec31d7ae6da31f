#include "platform/system/linux/SystemClock.h"

namespace dirtally {

// Local time asks the C library for the time zone on every call, which looks at the zone's file
// again where TZ is not set; the window's clock asks a thousand times a second. The offset from
// UTC is read once a second instead: a change of summer time or of the zone still shows at the
// next second.
QDateTime SystemClock::now() {
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms / 1000 != second_) {
        second_ = ms / 1000;
        offset_ = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset_);
}

}  // namespace dirtally
