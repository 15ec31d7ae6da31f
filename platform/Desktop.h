#pragma once

#include <QString>
#include <QUrl>

#include "platform/Path.h"

namespace dirtally {

// Hands a link to the desktop's default handler; fire and forget.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl& url) = 0;
};

// Starts the desktop's text editor on a file, without waiting for it and never through a shell.
class TextEditor {
  public:
    virtual ~TextEditor() = default;
    // false when no editor could be started.
    virtual bool open(const Path& file) = 0;
};

// Plays a sound file to its end. A missing or unplayable file plays the desktop's default event
// sound instead; with no sound device the call still lasts as long as the file would play.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    virtual void playSync(const QString& file) = 0;
};

}  // namespace dirtally
