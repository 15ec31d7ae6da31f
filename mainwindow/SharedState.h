#pragma once

#include "platform/system/Path.h"

namespace dirtally {

// The state the main window's operations share, for the life of the process; nothing of it is
// saved. Whether a run is active, or asked to stop, is the report run's own state.
struct SharedState {
    Path folderPath;      // the folder picked last
    Path outputPath;      // the report file of the coming run; empty: no report is written
    Path lastOutputPath;  // the report "&View list" opens
    // The folder line: the folder to be listed, as bytes; its control shows it as text.
    Path folderLine;
};

}  // namespace dirtally
