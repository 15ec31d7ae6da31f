#pragma once

#include <chrono>
#include <optional>

#include "platform/desktop/SoundPlayer.h"

namespace dirtally {

// Plays through libcanberra (PulseAudio, or ALSA when there is no sound server) and blocks until
// the sound has ended. A file that cannot be played gives way to the desktop theme's "bell" event
// sound. With nothing to play on, each attempt fails within milliseconds and the call then takes
// the file's playing time all the same, so that a window shown meanwhile is seen. The wait is
// bounded by the sound's length plus a margin, so a lost completion report never
// hangs the program.
class CanberraSoundPlayer final : public SoundPlayer {
  public:
    void playSync(const QString& file) override;

  private:
    bool play(const QString& file, std::optional<std::chrono::milliseconds> length);
};

}  // namespace dirtally
