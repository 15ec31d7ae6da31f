#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

namespace {

// Tries of a call, and of an open with nothing of the sizing left to let go, before a shortage
// is taken as lasting: about an eighth of a second of waiting in all.
constexpr unsigned kTries = 8;

}  // namespace

bool isShortage(int error) {
    return error == EMFILE || error == ENFILE || error == ENOMEM || error == EAGAIN;
}

// Waits before a call is tried again: a bare yield at first, then 1, 2, 4 ... 64 ms as the
// shortage lasts. False once the tries are used up or the sizing is cancelled.
bool Job::pause(unsigned attempt) const {
    if (attempt >= kTries || cancelled_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (attempt == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1 << (attempt - 1)));
    }
    return true;
}

// Opening `node` ran short (errno says of what). While folders of this sizing are open, their
// workers will let go of them, so this waits; once none is, the shortage lies outside the sizing
// and is waited out for a few tries only, after which later shortages give up at once until an
// open succeeds again. -1 with errno set when it gives up.
int Job::openAgain(Node& node, Scratch& scratch, bool& sameMount) {
    int error = errno;
    std::lock_guard lock(shortageLock_);
    for (unsigned attempt = 0;; ++attempt) {
        const int fd = openFolder(node, scratch, sameMount);
        if (fd >= 0) {
            triesAlone_ = 0;
            return fd;
        }
        error = errno;
        if (!isShortage(error)) {
            break;
        }
        relieve();
        const bool alone = openFolders_.load(std::memory_order_relaxed) == 0;
        if ((alone && ++triesAlone_ >= kTries) || !pause(std::min(attempt, kTries - 1))) {
            break;
        }
    }
    errno = error;
    return -1;
}

// Halves the budget of open folders, so that workers close folders sooner, and closes the
// folders beyond it that are held open only for sub-folders waiting on the stack: those reopen
// their way down instead. A folder stays valid while a sub-folder of it waits, and one whose
// reading is over has no other use for its handle.
void Job::relieve() {
    const std::size_t budget = std::min(openFolders_.load(std::memory_order_relaxed) / 2,
                                        budget_.load(std::memory_order_relaxed));
    budget_.store(budget, std::memory_order_relaxed);
    std::lock_guard lock(stackLock_);
    for (Node* waiting : stack_) {
        if (openFolders_.load(std::memory_order_relaxed) <= budget) {
            return;
        }
        Node* held = waiting->parent;
        if (held && held->fdUsers.load(std::memory_order_acquire) < Node::kReader) {
            closeHandle(*held, true);
        }
    }
}

// The next batch of `node`'s entries; false at its end, or on a fault, which marks the node.
bool Job::fill(DirentReader& reader, Node& node) {
    for (unsigned attempt = 0;; ++attempt) {
        if (reader.fill()) {
            return true;
        }
        const int error = reader.error();
        if (error == 0) {
            return false;
        }
        if (!isShortage(error) || !pause(attempt)) {
            fail(node, error);
            return false;
        }
    }
}

// After a statx that failed: tries it again while the error is a shortage. 0 once it succeeds,
// else the last errno.
int Job::statAgain(int fd, const char* name, int flags, unsigned mask, struct statx& info) const {
    int error = errno;
    for (unsigned attempt = 0; isShortage(error) && pause(attempt); ++attempt) {
        error = statx(fd, name, flags, mask, &info) == 0 ? 0 : errno;
    }
    return error;
}

}  // namespace dirtally::sizeengine
