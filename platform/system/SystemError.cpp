#include "platform/system/SystemError.h"

#include <cstring>

namespace dirtally {

QString systemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace dirtally
