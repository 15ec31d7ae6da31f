#include "platform/system/DirectoryReader.h"

namespace dirtally {

FolderListing DirectoryReader::read(const Path& folder) {
    FolderListing listing;
    listing.error = readInBatches(folder, [&](const std::vector<DirEntry>& batch) {
        listing.entries.insert(listing.entries.end(), batch.begin(), batch.end());
        return true;
    });
    if (listing.error != 0) {
        listing.entries.clear();
    }
    return listing;
}

}  // namespace dirtally
