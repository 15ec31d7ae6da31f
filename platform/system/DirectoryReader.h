#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/system/Path.h"

namespace dirtally {

struct DirEntry {
    // What an entry is, as far as the listing cares. A symbolic link is Other, whatever it points
    // to; Unknown means its attributes could not be read.
    enum class Kind { Directory, Other, Unknown };
    std::string name;  // the entry's real name, as bytes
    Kind kind = Kind::Unknown;

    bool operator==(const DirEntry&) const = default;
};

// A folder's entries in the file system's order, without "." and "..", or why they could not be
// read.
struct FolderListing {
    std::vector<DirEntry> entries;
    int error = 0;  // an errno value; 0 when the whole folder was read

    bool operator==(const FolderListing&) const = default;
};

// Reads one folder's entries.
class DirectoryReader {
  public:
    // Takes one batch of entries as it is read; false stops the reading.
    using Batch = std::function<bool(const std::vector<DirEntry>& entries)>;

    virtual ~DirectoryReader() = default;
    // Hands the folder's entries over a batch at a time as they are read, in the file system's
    // order, so that the first can be at work while the rest are read. The errno that ended the
    // reading; 0 when the whole folder was read or `batch` stopped it. An error may come after
    // some batches were handed over.
    virtual int readInBatches(const Path& folder, const Batch& batch) = 0;
    // The whole folder at once.
    FolderListing read(const Path& folder);
};

}  // namespace dirtally
