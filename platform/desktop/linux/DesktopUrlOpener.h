#pragma once

#include "platform/desktop/UrlOpener.h"

namespace dirtally {

// Hands links to the desktop's default handler.
class DesktopUrlOpener final : public UrlOpener {
  public:
    void open(const QUrl& url) override;
};

}  // namespace dirtally
