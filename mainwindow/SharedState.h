#pragma once

#include "platform/Path.h"

namespace dirtally {

// The state the main window's operations share, for the life of the process; nothing of it is
// saved.
struct SharedState {
    Path folderPath;      // the folder picked last
    Path outputPath;      // the report file of the coming run; empty: no report is written
    Path lastOutputPath;  // the report "&View list" opens
    bool abortFlag = false;
    bool runActive = false;
    // The folder line: the folder to be listed, as bytes; its control shows it as text.
    Path folderLine;
};

}  // namespace dirtally
