// The report command's arguments, split from the input at NUL bytes, through getopt_long: no
// crash, no empty argument taken for a folder or file name, and the same answer every time
// (getopt keeps its place in globals from one parse to the next).
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

using dirtally::CommandLine;

namespace {

bool same(const CommandLine& a, const CommandLine& b) {
    return a.action == b.action && a.all == b.all && a.csv == b.csv && a.output == b.output &&
           a.folder == b.folder && a.error == b.error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments;
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = 0; at <= size;) {
        const std::size_t end = std::min(input.find('\0', at), size);
        arguments.push_back(input.substr(at, end - at));
        at = end + 1;
    }
    const CommandLine line = CommandLine::parse(arguments);
    const bool anyEmpty = std::find(arguments.begin(), arguments.end(), "") != arguments.end();
    if (!same(line, CommandLine::parse(arguments)) ||
        (line.action == CommandLine::Action::Report && anyEmpty) ||
        (line.action == CommandLine::Action::UsageError) == line.error.empty()) {
        std::abort();
    }
    return 0;
}
