#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/Counting.h"
#include "platform/system/Path.h"
#include "platform/system/SizingJob.h"

namespace dirtally {

// A file as the kernel knows it, whatever names it has.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct SizingRequest {
    Path parent;                          // the folder that holds the roots
    std::vector<std::string> children;    // the roots' names inside parent
    bool keepTree = false;                // also keep every folder beneath each root, in pre-order
    std::vector<FileIdentity> leftOut{};  // files never counted: the report being written
    Counting counting{};
    bool moreRoots = false;  // more roots follow through SizingJob::add
};

struct DriveSpace {
    std::uint64_t freeBytes = 0;  // 0 on a read-only file system
    std::uint64_t totalBytes = 0;
};

// Folder and drive information.
class FolderInfo {
  public:
    virtual ~FolderInfo() = default;
    virtual std::unique_ptr<SizingJob> start(SizingRequest request) = 0;
    // The file system that holds `path`; nullopt when the path names none (empty, relative,
    // missing).
    virtual std::optional<DriveSpace> driveSpace(const Path& path) = 0;
};

}  // namespace dirtally
