#include "platform/desktop/linux/CanberraSoundPlayer.h"

#include <canberra.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/desktop/linux/WaveLength.h"

namespace dirtally {

namespace {

using std::chrono::milliseconds;

// The sink's latency and the server's start of playback come on top of the sound itself.
constexpr milliseconds margin{2000};
constexpr milliseconds longestWait{10000};
// The theme's bell (and files whose length cannot be read) are short; this bounds them.
constexpr milliseconds unknownLength{3000};
constexpr uint32_t soundId = 1;

// Filled in on libcanberra's own thread when playback ends, fails or is cancelled.
struct Completion {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

void onFinished(ca_context*, uint32_t, int, void* userdata) {
    auto* completion = static_cast<Completion*>(userdata);
    {
        std::lock_guard lock(completion->mutex);
        completion->done = true;
    }
    completion->ended.notify_all();
}

bool start(ca_context* context, const char* property, const QByteArray& value,
           Completion& completion) {
    ca_proplist* properties = nullptr;
    if (ca_proplist_create(&properties) != CA_SUCCESS) {
        return false;
    }
    ca_proplist_sets(properties, property, value.constData());
    // The file may change between two plays; the server must read it afresh.
    ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    const int result = ca_context_play_full(context, soundId, properties, onFinished, &completion);
    ca_proplist_destroy(properties);
    return result == CA_SUCCESS;
}

void waitForEnd(ca_context* context, Completion& completion, milliseconds bound) {
    std::unique_lock lock(completion.mutex);
    if (!completion.ended.wait_for(lock, bound, [&] { return completion.done; })) {
        lock.unlock();
        ca_context_cancel(context, soundId);
    }
}

}  // namespace

void CanberraSoundPlayer::playSync(const QString& file) {
    const std::optional<milliseconds> length = waveFileLength(file);
    if (!play(file, length)) {
        // Nothing could be played (no sound server, a muted or remote desktop): whatever the
        // caller shows for the sound's length must still be seen for that long.
        std::this_thread::sleep_for(length.value_or(milliseconds(0)));
    }
}

// False when neither the file nor the bell could be started.
bool CanberraSoundPlayer::play(const QString& file, std::optional<milliseconds> length) {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS) {
        return false;
    }
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Dirtally", CA_PROP_APPLICATION_ID,
                            "dirtally", nullptr);
    Completion completion;
    bool played = false;
    if (ca_context_open(context) == CA_SUCCESS) {
        if (start(context, CA_PROP_MEDIA_FILENAME, QFile::encodeName(file), completion)) {
            waitForEnd(context, completion,
                       std::min(length.value_or(unknownLength) + margin, longestWait));
            played = true;
        } else if (start(context, CA_PROP_EVENT_ID, "bell", completion)) {
            waitForEnd(context, completion, unknownLength + margin);
            played = true;
        }
    }
    // Destroying the context reports any sound still under way before it returns, so the
    // completion outlives every call into onFinished.
    ca_context_destroy(context);
    return played;
}

}  // namespace dirtally
