#include "platform/system/linux/SizeEngineJob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/system/LongPath.h"
#include "platform/system/linux/PseudoFileSystems.h"

namespace dirtally::sizeengine {

namespace {
constexpr auto kGatherRoots = std::chrono::milliseconds(1);
}  // namespace

Job::Job(SizingRequest request, const JobOptions& options)
    : request_(std::move(request)),
      options_(options),
      entryMask_(STATX_TYPE | STATX_INO |
                 (request_.counting.diskUsage ? STATX_BLOCKS : STATX_SIZE) |
                 (request_.counting.linksOnce ? STATX_NLINK : 0)),
      pathPatterns_(request_.counting.hasPathPatterns()),
      budget_(options.openFolderBudget) {
    roots_.add(std::exchange(request_.children, {}));
    moreRoots_ = request_.moreRoots;
    if (const int error = openParent(); error != 0) {
        endAll(error);
        return;
    }
    rootsLeft_ = roots_.size() + (moreRoots_ ? 1 : 0);
    if (request_.counting.linksOnce) {
        links_ = std::make_unique<Links>(roots_.size());
        walked_.resize(roots_.size());
    }
    if (const int error = rootsLeft_ == 0 ? 0 : startWorkers(firstWorkers()); error != 0) {
        // Not one thread: sizing on the caller's thread instead would block it for as long.
        rootsLeft_ = 0;
        endAll(error);
        return;
    }
    startPacer();
}

Job::~Job() {
    cancel();
    // Workers wait for more roots until they are told none will come.
    add({}, true);
    // The pacer first: until it ends, it may start workers.
    if (pacer_.joinable()) {
        pacer_.join();
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
    if (parentFd_ >= 0) {
        close(parentFd_);
    }
}

void Job::add(std::vector<std::string> roots, bool last) {
    const std::size_t from = roots_.size();
    const std::size_t count = roots.size();
    if (startError_ != 0) {
        roots_.add(std::move(roots));
        endRoots(from, startError_);
        return;
    }
    // Room for the new roots' links before any of them can be taken.
    if (links_) {
        links_->grow(from + count);
        std::lock_guard lock(publishLock_);
        walked_.resize(from + count);
    }
    // Only this thread changes whether more may come. The roots are put in place before the
    // lock is taken: a block of them made under it would keep every worker waiting.
    if (!moreRoots_) {
        return;
    }
    roots_.stage(std::move(roots));
    bool ended = false;
    std::size_t wake = 0;
    {
        std::lock_guard lock(stackLock_);
        roots_.publish();
        rootsLeft_.fetch_add(count, std::memory_order_relaxed);
        moreRoots_ = !last;
        // The one that stood for roots to come goes with the last of them.
        ended = last && rootsLeft_.fetch_sub(1, std::memory_order_acq_rel) == 1;
        wake = std::min(count, idle_);
    }
    if (ended) {
        stackReady_.notify_all();
        lastRootDone_.notify_all();
        return;
    }
    for (std::size_t i = 0; i < wake; ++i) {
        stackReady_.notify_one();
    }
}

int Job::openParent() {
    if (request_.parent.empty()) {
        return ENOENT;
    }
    parentFd_ = openLongPath(request_.parent, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    if (parentFd_ < 0 || fstat(parentFd_, &info) != 0) {
        return errno;
    }
    parentDev_ = info.st_dev;
    parentFileSystem_ = fileSystemOf(parentFd_);
    return 0;
}

// Starts workers until there are `wanted` or no more can be had; the errno that stopped them when
// there is not one, else 0. Each worker's buffers are allocated before it starts.
int Job::startWorkers(unsigned wanted) {
    int error = 0;
    try {
        workers_.reserve(wanted);
        scratches_.reserve(wanted);
        while (workers_.size() < wanted) {
            auto scratch = std::make_unique<Scratch>();
            workers_.emplace_back([this, &kept = *scratch] { work(kept); });
            scratches_.push_back(std::move(scratch));  // room was made above
        }
    } catch (const std::system_error& e) {
        error = e.code().value();
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    return workers_.empty() ? error : 0;
}

// Every root ends with the error that kept the whole sizing from starting, and so will those to
// come.
void Job::endAll(int error) {
    startError_ = error;
    endRoots(0, error);
}

void Job::endRoots(std::size_t from, int error) {
    const FolderSize size =
        isShortage(error) ? FolderSize::outOfResources(error) : FolderSize::unreadable();
    for (std::size_t i = from; i < roots_.size(); ++i) {
        {
            std::lock_guard lock(resultLock_);
            failures_[i].push_back({roots_[i].name, error});
            roots_[i].failed.store(true, std::memory_order_relaxed);
        }
        finishRoot(i, size);
    }
}

bool Job::wait(std::size_t root, std::chrono::milliseconds timeout) {
    if (root >= roots_.size()) {
        return false;
    }
    Root& awaited = roots_[root];
    if (awaited.done.load(std::memory_order_acquire)) {
        return true;
    }
    // A root not done yet is first given a moment without a wake-up: the roots of a wide folder
    // end microseconds apart, and a caller woken for each takes a core from the workers each
    // time; after the moment the next few hundred are done and their waits return at once.
    if (const auto moment = std::min(timeout, kGatherRoots); moment.count() > 0) {
        std::this_thread::sleep_for(moment);
        timeout -= moment;
        if (awaited.done.load(std::memory_order_acquire)) {
            return true;
        }
    }
    // The count goes up before `done` is looked at again, and the root's end sets `done` before
    // it looks at the count: one of the two sees the other, so no wake-up is lost.
    std::unique_lock lock(resultLock_);
    awaited.waiters.fetch_add(1);
    const bool done = resultReady_.wait_for(lock, timeout, [&] { return awaited.done.load(); });
    awaited.waiters.fetch_sub(1);
    return done;
}

FolderSize Job::result(std::size_t root) const {
    if (root >= roots_.size() || !roots_[root].done.load(std::memory_order_acquire)) {
        return FolderSize::unreadable();
    }
    return roots_[root].size;
}

std::vector<ReadFailure> Job::failures(std::size_t root) const {
    // The root's end published what its workers did before it, the flag among them.
    if (root >= roots_.size() || !roots_[root].done.load(std::memory_order_acquire) ||
        !roots_[root].failed.load(std::memory_order_relaxed)) {
        return {};
    }
    std::lock_guard lock(resultLock_);
    const auto found = failures_.find(root);
    return found != failures_.end() ? found->second : std::vector<ReadFailure>{};
}

const std::vector<FolderNode>& Job::tree(std::size_t root) const {
    static const std::vector<FolderNode> kNone;
    if (root >= roots_.size() || !roots_[root].done.load(std::memory_order_acquire)) {
        return kNone;
    }
    return roots_[root].tree;
}

void Job::cancel() {
    cancelled_.store(true, std::memory_order_relaxed);
}

void Job::work(Scratch& scratch) {
    while (Node* node = pop()) {
        process(*node, scratch);
    }
}

// The folders found first, then the next root: depth first, so that few folders wait at a time.
Node* Job::pop() {
    for (;;) {
        std::size_t root = 0;
        {
            std::unique_lock lock(stackLock_);
            ++idle_;
            stackReady_.wait(lock, [&] {
                return !stack_.empty() || nextRoot_ < roots_.size() || rootsLeft_ == 0;
            });
            --idle_;
            if (!stack_.empty()) {
                Node* node = stack_.back();
                stack_.pop_back();
                return node;
            }
            if (nextRoot_ == roots_.size()) {
                return nullptr;
            }
            root = nextRoot_++;
        }
        if (Node* node = newRoot(root)) {
            return node;
        }
    }
}

// Where memory runs out for the root's node, the root is out of resources and named as such.
Node* Job::newRoot(std::size_t index) {
    const std::string& name = roots_[index].name;
    try {
        return new Node(nullptr, index, name.empty() ? "." : name, request_.keepTree);
    } catch (const std::bad_alloc&) {
    }
    try {
        std::lock_guard lock(resultLock_);
        failures_[index].push_back({name, ENOMEM});
        roots_[index].failed.store(true, std::memory_order_relaxed);
    } catch (const std::bad_alloc&) {
    }
    finishRoot(index, nullptr);
    return nullptr;
}

void Job::push(std::span<Node* const> nodes) {
    if (nodes.empty()) {
        return;
    }
    std::size_t wake = 0;
    bool queued = true;
    {
        std::lock_guard lock(stackLock_);
        try {
            // Reversed, so that the first sub-folder found is the next one taken.
            stack_.insert(stack_.end(), nodes.rbegin(), nodes.rend());
        } catch (const std::bad_alloc&) {
            queued = false;
        }
        // The worker that found them takes the last of them itself once its folder is read: a
        // sleeper woken for it would only take it from that worker, and a chain of folders one
        // inside the other would pass from thread to thread at every level.
        wake = std::min(nodes.size() - 1, idle_);
    }
    if (!queued) {
        for (Node* node : nodes) {
            drop(*node, ENOMEM);
        }
        return;
    }
    // Only as many sleepers as there is new work: waking them all costs more than it gains.
    for (std::size_t i = 0; i < wake; ++i) {
        stackReady_.notify_one();
    }
}

// Wakes only those waiting for this root, and takes the lock only then: a job of many small
// roots would otherwise have the caller's thread woken, and the workers wait for its lock, once
// a root.
void Job::finishRoot(std::size_t index, FolderSize size, std::vector<FolderNode> tree) {
    Root& root = roots_[index];
    root.size = size;
    root.tree = std::move(tree);
    root.done.store(true);
    if (root.waiters.load() > 0) {
        { std::lock_guard lock(resultLock_); }
        resultReady_.notify_all();
    }
}

}  // namespace dirtally::sizeengine
