#pragma once

namespace dirtally {

// Gives the running application its title, name and version from the version record.
void applyVersionRecord();

}  // namespace dirtally
