#pragma once

#include <QString>

namespace dirtally {

// Plays a sound file to its end. A missing or unplayable file plays the desktop's default event
// sound instead; with no sound device the call still lasts as long as the file would play.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    virtual void playSync(const QString& file) = 0;
};

}  // namespace dirtally
