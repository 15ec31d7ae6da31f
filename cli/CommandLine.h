#pragma once

#include <string>
#include <vector>

#include "listing/RunHost.h"
#include "platform/system/Counting.h"
#include "platform/system/Path.h"

namespace dirtally {

// What the report command was asked for on its command line.
struct CommandLine {
    enum class Action { Report, Help, Version, UsageError };
    Action action = Action::Report;
    bool all = false;  // every folder of the tree, not just the sub-folders
    ReportKind kind = ReportKind::Text;
    ListOrder order = ListOrder::FileSystem;
    std::size_t top = 0;  // 0: every folder
    bool humanReadable = false;
    Counting counting;
    bool compare = false;  // each folder's change since a previous report
    Path previous;         // that report; empty: the one this run replaces
    Path output;           // empty: the folder's own Dirtallied.txt; "-": standard output
    Path folder;           // empty: the current directory
    std::string error;     // what is wrong with a command line that is a usage error

    // Reads the arguments after the program's name, GNU style: options anywhere, "--output=FILE"
    // or "-o FILE" or "-oFILE", "--" ends the options. Arguments stay bytes, so a folder whose
    // name is not valid UTF-8 is still found.
    static CommandLine parse(const std::vector<std::string>& arguments);
    static const char* usage();

  private:
    std::string take(int option, const std::string& argument);
};

}  // namespace dirtally
