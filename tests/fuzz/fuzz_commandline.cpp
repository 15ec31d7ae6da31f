// The report command's arguments, split from the input at NUL bytes, through getopt_long: no
// crash, no empty argument taken for a folder or file name, the same answer every time (getopt
// keeps its place in globals from one parse to the next), and errors that name what was given.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

using dirtally::CommandLine;

namespace {

bool same(const CommandLine& a, const CommandLine& b) {
    return a.action == b.action && a.all == b.all && a.kind == b.kind && a.order == b.order &&
           a.top == b.top && a.humanReadable == b.humanReadable && a.counting == b.counting &&
           a.output == b.output && a.folder == b.folder && a.error == b.error;
}

// An unknown option's error quotes it as given: a whole argument, or one letter of a cluster of
// short options ("-xa").
bool quotesWhatWasGiven(const CommandLine& line, const std::vector<std::string>& arguments) {
    if (line.error.rfind("unknown option '", 0) != 0) {
        return true;
    }
    const std::string quoted = line.error.substr(16, line.error.size() - 17);
    return std::any_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
        return argument == quoted ||
               (quoted.size() == 2 && argument.size() > 1 && argument[0] == '-' &&
                argument[1] != '-' && argument.find(quoted[1], 1) != std::string::npos);
    });
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
        (line.action == CommandLine::Action::UsageError) == line.error.empty() ||
        !quotesWhatWasGiven(line, arguments)) {
        std::abort();
    }
    return 0;
}
