#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/system/FolderInfo.h"
#include "platform/system/linux/SizeEngineNode.h"

namespace dirtally::sizeengine {

// The files with several hard links that one sizing meets, each counted once: at its first place
// in the listing's order, as du counts across its arguments. A place is the root's index, then
// each folder's place in its parent's listing down to the file's own, compared in that order; so
// the first place is the same however the workers happen to meet the links.
class Links {
  public:
    explicit Links(std::size_t roots) : byRoot_(roots) {}
    // Room for roots added while the sizing runs.
    void grow(std::size_t roots);

    // One place of a linked file; `holder` is the folder its bytes go to if the place is first.
    void meet(const FileIdentity& file, std::uint64_t bytes, std::vector<std::uint32_t> place,
              Node* holder);
    // Adds each file whose first place lies beneath `root` to its holder and the folders above.
    // Only once every root up to this one is walked is a first place final.
    void credit(std::size_t root);

  private:
    struct First {
        std::vector<std::uint32_t> place;
        std::uint64_t bytes = 0;
        Node* holder = nullptr;
        bool credited = false;
    };
    struct Hash {
        std::size_t operator()(const FileIdentity& file) const {
            return std::hash<std::uint64_t>()(file.inode * 0x9E3779B97F4A7C15ULL ^ file.device);
        }
    };

    std::mutex lock_;
    std::unordered_map<FileIdentity, First, Hash> firsts_;
    // The files whose first place lay, when it was met, beneath each root.
    std::vector<std::vector<FileIdentity>> byRoot_;
};

}  // namespace dirtally::sizeengine
