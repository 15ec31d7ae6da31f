#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Path.h"

namespace dirtally {

struct DirEntry {
    // What an entry is, as far as the listing cares. A symbolic link is Other, whatever it points
    // to; Unknown means its attributes could not be read.
    enum class Kind { Directory, Other, Unknown };
    std::string name;  // the entry's real name, as bytes
    Kind kind = Kind::Unknown;

    bool operator==(const DirEntry&) const = default;
};

// Reads one folder's entries in the file system's order, without "." and "..".
class DirectoryReader {
  public:
    virtual ~DirectoryReader() = default;
    // nullopt when the folder cannot be opened or read.
    virtual std::optional<std::vector<DirEntry>> read(const Path& folder) = 0;
};

}  // namespace dirtally
