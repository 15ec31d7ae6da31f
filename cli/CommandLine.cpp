#include "cli/CommandLine.h"

#include <getopt.h>

#include <climits>

namespace dirtally {

namespace {
// The options without a short form have values past any character: getopt names the option of an
// error in optopt, and so "--csv=x" (an argument the option does not take) is told from an
// unknown short option "-c".
enum : int { kHelp = 'h', kOutput = 'o', kAll = UCHAR_MAX + 1, kCsv, kVersion };

const option kLongOptions[] = {{"all", no_argument, nullptr, kAll},
                               {"csv", no_argument, nullptr, kCsv},
                               {"output", required_argument, nullptr, kOutput},
                               {"help", no_argument, nullptr, kHelp},
                               {"version", no_argument, nullptr, kVersion},
                               {nullptr, 0, nullptr, 0}};

CommandLine usageError(std::string error) {
    CommandLine line;
    line.action = CommandLine::Action::UsageError;
    line.error = std::move(error);
    return line;
}

// What getopt_long found wrong, from the option it named (optopt) and the last argument it read.
// It names a short option only when that is unknown (-o without its file name comes as ':'), so a
// known option named here is a long one given an argument it does not take.
std::string optionError(int named, const char* lastWord) {
    for (const option& known : kLongOptions) {
        if (known.name && named == known.val) {
            return "the option '--" + std::string(known.name) + "' takes no argument";
        }
    }
    // An unknown long option is named 0.
    return "unknown option '" +
           (named != 0 ? std::string{'-', static_cast<char>(named)} : std::string(lastWord)) + "'";
}
}  // namespace

const char* CommandLine::usage() {
    return "Usage: dirtally-report [--all] [--csv] [-o FILE] [FOLDER]\n"
           "Writes Dirtally's report of FOLDER (by default the current directory): one line per\n"
           "sub-folder with its size in bytes, under a header and above the total, into\n"
           "FOLDER/Dirtallied.txt.\n"
           "\n"
           "  --all                  list every folder of the tree beneath, by its path\n"
           "  --csv                  write CSV (folder,bytes) instead of the text report\n"
           "  -o, --output=FILE      write the report to FILE; - for standard output\n"
           "  -h, --help             show this help and exit\n"
           "  --version              show the version and exit\n"
           "\n"
           "Exit status:\n"
           "  0    the report was written, every size in it known\n"
           "  1    the folder could not be listed, or the report not written (a report\n"
           "       that was there before is left as it was)\n"
           "  2    usage error\n"
           "  3    the report was written, but some sizes could not be read (each folder\n"
           "       that could not be read is named on standard error)\n"
           "  130  interrupted by SIGINT\n"
           "  143  ended by SIGTERM\n";
}

// getopt_long is the C library's own parser of GNU-style command lines; it keeps its place in
// globals, which a parse resets first (optind 0), so it may run more than once in a process.
CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    std::vector<std::string> copies{"dirtally-report"};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());

    CommandLine line;
    opterr = 0;
    optind = 0;
    for (int option = 0;
         (option = getopt_long(argc, argv.data(), ":ho:", kLongOptions, nullptr)) != -1;) {
        switch (option) {
            case kAll:
                line.all = true;
                break;
            case kCsv:
                line.csv = true;
                break;
            case kOutput:
                line.output = optarg;
                if (line.output.empty()) {
                    return usageError("the report's file name is empty");
                }
                break;
            case kHelp:
                line.action = Action::Help;
                break;
            case kVersion:
                line.action = Action::Version;
                break;
            case ':':
                return usageError("the option -o (--output) needs a file name");
            default:
                return usageError(optionError(optopt, argv[optind - 1]));
        }
    }
    if (argc - optind > 1) {
        return usageError("one folder at most, not " + std::to_string(argc - optind));
    }
    if (optind < argc) {
        line.folder = argv[optind];
        if (line.folder.empty()) {
            return usageError("the folder's name is empty");
        }
    }
    return line;
}

}  // namespace dirtally
