#include "platform/desktop/linux/DesktopUrlOpener.h"

#include <QDesktopServices>

namespace dirtally {

void DesktopUrlOpener::open(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace dirtally
