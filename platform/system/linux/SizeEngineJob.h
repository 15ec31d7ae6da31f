#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/system/FolderInfo.h"
#include "platform/system/linux/DirentReader.h"
#include "platform/system/linux/SizeEngineLinks.h"
#include "platform/system/linux/SizeEngineNode.h"
#include "platform/system/linux/SizeEngineRoots.h"

namespace dirtally::sizeengine {

struct JobOptions {
    unsigned workers = 16;               // at most; fewer run where more would not help
    std::size_t openFolderBudget = 256;  // folders held open at once before falling back
};

// Whether an error tells of the process or the system running short (of handles, memory or
// threads) rather than of the folder: then the same call may succeed once something is let go.
bool isShortage(int error);

// One sizing job: a pool of workers that share a last-in-first-out stack of folders to read.
// Every folder carries its root, so several roots are sized in one parallel pass; a folder's
// total reaches its parent when its last child is counted.
class Job final : public SizingJob {
  public:
    Job(SizingRequest request, const JobOptions& options);
    ~Job() override;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    bool wait(std::size_t root, std::chrono::milliseconds timeout) override;
    FolderSize result(std::size_t root) const override;
    std::vector<ReadFailure> failures(std::size_t root) const override;
    const std::vector<FolderNode>& tree(std::size_t root) const override;
    void cancel() override;
    void add(std::vector<std::string> roots, bool last) override;

  private:
    // What one worker reuses from folder to folder, so that reading allocates nothing per entry.
    struct Scratch {
        static constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
        std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kBufferSize);
        std::vector<Node*> batch;  // sub-folders found, handed to the stack a batch at a time
        std::vector<Node*> chain;  // the path from a root down, when a folder is reopened
        std::uint32_t place = 0;   // the place of the entry in hand in its folder's listing
        // Where an exclusion matches paths: "/", the folder in hand's path below the sizing's
        // parent, "/", then the entry's name; the folder's part is built once per folder.
        std::string below;
        std::size_t belowFolder = 0;  // the length of the folder's part; 0 until it is built
        // Entries and batches read; only the worker writes it, the pacer reads it.
        std::atomic<std::uint64_t> calls{0};
        void count() {
            calls.store(calls.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        }
    };
    // Job set-up, the worker loop and the shared stack (SizeEngineJob.cpp).
    int openParent();
    int startWorkers(unsigned wanted);
    void endAll(int error);
    void endRoots(std::size_t from, int error);
    void work(Scratch& scratch);
    Node* pop();
    Node* newRoot(std::size_t index);
    void push(std::span<Node* const> nodes);

    // How many workers run (SizeEngineJobPace.cpp).
    unsigned firstWorkers() const;
    void startPacer();
    void pace();

    // Reading one folder (SizeEngineJobRead.cpp).
    void process(Node& node, Scratch& scratch);
    void drop(Node& node, int error);
    void read(Node& node, Scratch& scratch);
    void sizeEntry(Node& node, const RawEntry& entry, std::uint64_t& bytes, Scratch& scratch);
    bool isLeftOut(const struct statx& info) const;
    bool isExcluded(Node& node, const char* name, Scratch& scratch);
    void meetLink(Node& node, const struct statx& info, std::uint32_t place);
    void adopt(Node& parent, const RawEntry& entry, Scratch& scratch);

    // Opening folders and sharing their handles (SizeEngineJobOpen.cpp).
    bool enter(Node& node, Scratch& scratch);
    bool identify(Node& node, int fd);
    bool mayStartMount(const Node& node, const struct statx& info) const;
    bool repeatsAncestor(const Node& node, int fd, int& error) const;
    int openFolder(Node& node, Scratch& scratch, bool& sameMount);
    int reopenFromTop(Node& node, Scratch& scratch, bool& sameMount);
    void letGo(Node& node, std::uint32_t share = 1);
    void closeEarly(Node& node);
    void closeHandle(Node& node, bool early = false);
    static bool keepIdentity(Node& node);

    // Running short of handles, memory or threads (SizeEngineJobShortage.cpp).
    int openAgain(Node& node, Scratch& scratch, bool& sameMount);
    void relieve();
    bool pause(unsigned attempt) const;
    bool fill(DirentReader& reader, Node& node);
    int statAgain(int fd, const char* name, int flags, unsigned mask, struct statx& info) const;

    // Totals flowing up (SizeEngineJobSettle.cpp).
    void fail(Node& node, int error = 0);
    void name(Node& node, int error);
    void done(Node& node);
    void settle(Node* node);
    void finishRoot(std::size_t index, Node* root);
    void publish(std::size_t index, Node* root);
    void finishRoot(std::size_t index, FolderSize size, std::vector<FolderNode> tree = {});
    // A folder's path from the sizing's parent, starting with its root's name.
    std::string pathOf(const Node& node) const;

    SizingRequest request_;  // its children moved to roots_
    const JobOptions options_;
    const unsigned entryMask_;  // what each entry's statx asks for: only what is counted
    const bool pathPatterns_;   // an exclusion matches paths, which are then built per entry
    int parentFd_ = -1;
    int startError_ = 0;  // what kept the sizing from starting: every root ends with it
    dev_t parentDev_ = 0;
    std::uint32_t parentFileSystem_ = 0;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::size_t> openFolders_{0};
    std::atomic<std::size_t> budget_;  // the options' budget, lowered where handles ran out

    std::mutex stackLock_;
    std::condition_variable stackReady_;
    std::vector<Node*> stack_;
    // Roots are taken in order once the stack is empty, each made a node only then: a folder of
    // many sub-folders keeps no node for each while they wait. Under stackLock_, as are the roots'
    // count and whether more may come.
    std::size_t nextRoot_ = 0;
    Roots roots_;
    bool moreRoots_ = false;
    // Changed by each root's end without the lock, which the last one takes to wake the sleepers;
    // one more while more roots may come, so that the workers wait for them.
    std::atomic<std::size_t> rootsLeft_{0};
    std::size_t idle_ = 0;  // workers waiting for work; under stackLock_

    // One worker at a time waits out a shortage of handles, so that the others, holding none,
    // cannot make it look hopeless.
    std::mutex shortageLock_;
    unsigned triesAlone_ = 0;  // failed tries with nothing of this sizing open; under the lock

    mutable std::mutex resultLock_;
    std::condition_variable resultReady_;  // under resultLock_
    // By root, only for those that have any; under resultLock_.
    std::unordered_map<std::size_t, std::vector<ReadFailure>> failures_;

    // Counting each linked file once (Counting::linksOnce): roots are then handed over in order,
    // each once the roots before it are walked too, with its linked files credited.
    std::unique_ptr<Links> links_;
    std::mutex publishLock_;
    // Roots walked and not yet handed over (a null node where memory ran out for the root's own);
    // under publishLock_.
    std::vector<std::optional<Node*>> walked_;
    std::size_t published_ = 0;  // under publishLock_

    // Only the constructor and the pacer start workers; each has its scratch, kept by the job.
    std::vector<std::thread> workers_;
    std::vector<std::unique_ptr<Scratch>> scratches_;
    std::thread pacer_;
    std::condition_variable lastRootDone_;  // wakes the pacer; under stackLock_
};

}  // namespace dirtally::sizeengine
