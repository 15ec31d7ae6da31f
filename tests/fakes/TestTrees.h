#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QTemporaryDir>

#include "platform/system/DirectoryReader.h"
#include "platform/system/FolderInfo.h"

// Helpers for the tests that read real trees: building them, an independent slow reference walk,
// and running a case where permissions bind.
namespace dirtally::testtree {

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
// gcc names AddressSanitizer with a macro, clang only as a feature.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// A temporary folder for one case, emptied byte by byte afterwards (Qt's own removal cannot name
// entries that are not UTF-8). A `fast` one is a fresh tmpfs where the process may mount, so that
// trees of many thousand entries build quickly whatever disk holds the temporary folder.
class Scratch {
  public:
    explicit Scratch(bool fast = false);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }

  private:
    QTemporaryDir dir_;
    std::string path_;
    bool mounted_ = false;
};

void makeFolder(const std::string& path);
void makeFile(const std::string& path, std::uint64_t size);  // sparse
// `count` names in `folder` for the file `source` (links are far cheaper to make than files).
void makeLinks(const std::string& folder, int count, const std::string& source);

// What the reference counts when it does not count as the window does: for roots beneath
// `parent`, sized one after the other in the listing's order with the same value, so that with
// links once each linked file counts at its first place.
struct ReferenceCounting {
    std::string parent;
    Counting counting;
    std::set<std::pair<dev_t, ino_t>> met{};  // linked files counted already
};

// The reference: recursion over path strings with lstat, as simple as it can be.
FolderSize referenceSize(const std::string& path, ReferenceCounting* how = nullptr);
// The kept folders beneath `path` in pre-order and readdir's order, hidden ones left out.
std::vector<FolderNode> referenceTree(const std::string& path, ReferenceCounting* how = nullptr);
// The entries of a folder in readdir's order, each a folder or not as lstat says.
std::vector<DirEntry> referenceEntries(const std::string& path);

// A chain of `depth` folders named `name` beneath `parent`, built through open folders so that
// its paths may pass PATH_MAX; a file of `leafBytes` at the bottom. Removed the same way.
void makeChain(const std::string& parent, const char* name, int depth, std::uint64_t leafBytes);
void removeChain(const std::string& parent, const char* name);

// Runs `body` in a forked child that permissions bind: root's child becomes uid/gid 65534 first,
// an ordinary user's is bound already. Returns its exit status (-1 if it died).
int runUnprivileged(const std::function<int()>& body);
// Lowers the limit of open files so that exactly `spare` more can be opened; false if it cannot.
bool leaveOpenFiles(std::size_t spare);
// Lowers the limit of processes so that `spare` more threads can start, if nothing else of this
// user starts meanwhile; false if the limit does not bind this process.
bool leaveThreads(std::size_t spare);

std::size_t openFileCount();
std::size_t threadCount();

// Sizes one folder with its own job and waits for it.
FolderSize sizeOf(FolderInfo& engine, const std::string& parent, const std::string& name);

}  // namespace dirtally::testtree
