#pragma once

#include <QUrl>

namespace dirtally {

// Hands a link to the desktop's default handler; fire and forget.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl& url) = 0;
};

}  // namespace dirtally
