#include <sched.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "platform/system/linux/SizeEngineJob.h"

namespace dirtally::sizeengine {

// Workers whose calls wait (a cold disk, a network or FUSE file system: each call waits for the
// device or the server) walk faster the more calls are in flight; on a warm cache no call waits,
// and workers beyond the cores only take turns on them. So a sizing starts with a worker per core,
// and a pacer starts the rest that the options allow once the workers' calls are seen to wait: an
// entry read from a warm cache takes a microsecond or two, a few more where other programs share
// the cores; one that takes 50 microseconds waited for something. All at once, since where calls
// wait that long, many in flight is what was measured to help, and a slow run must not wait for a
// slow climb.

namespace {

constexpr auto kPeriod = std::chrono::milliseconds(5);
constexpr double kBriskCallsPerSecond = 20'000;
// Periods in a row that must be slow: on a busy machine every worker may now and then wait a whole
// period for a core.
constexpr unsigned kSlowPeriods = 3;

unsigned cores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    const int count = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
    return static_cast<unsigned>(std::max(count, 1));
}

}  // namespace

unsigned Job::firstWorkers() const {
    return std::clamp(cores(), 1u, std::max(1u, options_.workers));
}

void Job::startPacer() {
    if (workers_.size() >= options_.workers) {
        return;
    }
    try {
        pacer_ = std::thread([this] { pace(); });
    } catch (const std::system_error&) {
        // Without a pacer the workers that run are all there are.
    }
}

void Job::pace() {
    using Clock = std::chrono::steady_clock;
    std::uint64_t callsBefore = 0;
    unsigned slowPeriods = 0;
    Clock::time_point before = Clock::now();
    for (;;) {
        bool waiting = false;
        {
            std::unique_lock lock(stackLock_);
            if (lastRootDone_.wait_for(lock, kPeriod, [&] { return rootsLeft_ == 0; })) {
                return;
            }
            // More workers help only while folders wait and no worker is idle.
            waiting = (!stack_.empty() || nextRoot_ < roots_.size()) && idle_ == 0;
        }
        const Clock::time_point now = Clock::now();
        std::uint64_t calls = 0;
        for (const std::unique_ptr<Scratch>& scratch : scratches_) {
            calls += scratch->calls.load(std::memory_order_relaxed);
        }
        const auto running = static_cast<unsigned>(workers_.size());
        const double seconds = std::chrono::duration<double>(now - before).count();
        const double perWorker = static_cast<double>(calls - callsBefore) / seconds / running;
        slowPeriods = waiting && perWorker < kBriskCallsPerSecond ? slowPeriods + 1 : 0;
        if (slowPeriods == kSlowPeriods) {
            startWorkers(options_.workers);
            slowPeriods = 0;
        }
        if (workers_.size() >= options_.workers) {
            return;
        }
        callsBefore = calls;
        before = now;
    }
}

}  // namespace dirtally::sizeengine
