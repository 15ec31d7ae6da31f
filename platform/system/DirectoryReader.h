#pragma once

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
    virtual ~DirectoryReader() = default;
    virtual FolderListing read(const Path& folder) = 0;
};

}  // namespace dirtally
