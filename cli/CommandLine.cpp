#include "cli/CommandLine.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <climits>
#include <optional>

namespace dirtally {

namespace {
// The options without a short form have values past any character: getopt names the option of an
// error in optopt, and so "--csv=x" (an argument the option does not take) is told from an
// unknown short option "-c".
enum : int {
    kHelp = 'h',
    kOutput = 'o',
    kOneFileSystem = 'x',
    kAll = UCHAR_MAX + 1,
    kCsv,
    kVersion,
    kFormat,
    kSort,
    kTop,
    kHumanReadable,
    kDiskUsage,
    kLinksOnce,
    kExclude,
    kCompare,
};

const option kLongOptions[] = {{"all", no_argument, nullptr, kAll},
                               {"csv", no_argument, nullptr, kCsv},
                               {"format", required_argument, nullptr, kFormat},
                               {"sort", required_argument, nullptr, kSort},
                               {"top", required_argument, nullptr, kTop},
                               {"human-readable", no_argument, nullptr, kHumanReadable},
                               {"disk-usage", no_argument, nullptr, kDiskUsage},
                               {"one-file-system", no_argument, nullptr, kOneFileSystem},
                               {"links-once", no_argument, nullptr, kLinksOnce},
                               {"exclude", required_argument, nullptr, kExclude},
                               {"compare", optional_argument, nullptr, kCompare},
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

const option* knownOption(int value) {
    for (const option& known : kLongOptions) {
        if (known.name && value == known.val) {
            return &known;
        }
    }
    return nullptr;
}

// An option as the user may have typed it: "-o (--output)", or "--format".
std::string optionName(const option& known) {
    const std::string name = "--" + std::string(known.name);
    return known.val <= UCHAR_MAX
               ? std::string{'-', static_cast<char>(known.val)} + " (" + name + ")"
               : name;
}

// What getopt_long found wrong, from the option it named (optopt) and the last argument it read.
// It names a short option only when that is unknown (an option without its argument comes as
// ':'), so a known option named here is a long one given an argument it does not take.
std::string optionError(int named, const char* lastWord) {
    if (const option* known = knownOption(named)) {
        return "the option '--" + std::string(known->name) + "' takes no argument";
    }
    // An unknown long option is named 0.
    return "unknown option '" +
           (named != 0 ? std::string{'-', static_cast<char>(named)} : std::string(lastWord)) + "'";
}

// One of an option's words, by its place in `words`; nullopt for any other.
template <typename T, std::size_t N>
std::optional<T> oneOf(const std::string& given,
                       const std::array<std::pair<const char*, T>, N>& words) {
    for (const auto& [word, value] : words) {
        if (given == word) {
            return value;
        }
    }
    return std::nullopt;
}

// A count of folders: digits only, at least 1.
std::optional<std::size_t> positiveCount(const std::string& given) {
    std::size_t count = 0;
    const char* end = given.data() + given.size();
    const auto [stop, error] = std::from_chars(given.data(), end, count);
    if (error != std::errc() || stop != end || count == 0) {
        return std::nullopt;
    }
    return count;
}

// Empty, or what is wrong with an exclusion pattern: a "/" inside one that is matched against
// a name could never match.
std::string patternError(const std::string& pattern) {
    if (pattern.empty()) {
        return "the pattern of --exclude is empty";
    }
    if (!Counting::isPathPattern(pattern) && pattern.find('/') != std::string::npos) {
        return "the pattern '" + pattern +
               "' holds a '/' but does not start with one (only a path pattern does)";
    }
    return {};
}

constexpr std::array<std::pair<const char*, ReportKind>, 3> kFormats{
    {{"text", ReportKind::Text}, {"csv", ReportKind::Csv}, {"json", ReportKind::Json}}};
constexpr std::array<std::pair<const char*, ListOrder>, 3> kOrders{
    {{"size", ListOrder::Size}, {"name", ListOrder::Name}, {"change", ListOrder::Change}}};

}  // namespace

const char* CommandLine::usage() {
    return "Usage: dirtally-report [OPTION]... [FOLDER]\n"
           "Writes Dirtally's report of FOLDER (by default the current directory): one line per\n"
           "sub-folder with its size in bytes, under a header and above the total, into\n"
           "FOLDER/Dirtallied.txt.\n"
           "\n"
           "  --all                  list every folder of the tree beneath, by its path\n"
           "  --format=FORMAT        text (the default), csv (folder,bytes) or json\n"
           "  --csv                  the same as --format=csv\n"
           "  --sort=ORDER           list the folders by size (the largest first), by name,\n"
           "                         or by change (the grown most first; with --compare)\n"
           "  --top=N                list only the N largest folders (by size unless sorted\n"
           "                         by name; the N grown most with --compare); the total\n"
           "                         stays that of all\n"
           "  --compare[=PREVIOUS]   add each folder's change since PREVIOUS, an earlier\n"
           "                         text, CSV or JSON report of FOLDER (by default the\n"
           "                         report this run replaces, or none: every folder\n"
           "                         new, where there is none yet); folders gone follow\n"
           "  --human-readable       sizes in the text report as 4.2G, 512K (powers of 1024)\n"
           "  --disk-usage           count the disk space allocated, not the apparent size\n"
           "  -x, --one-file-system  leave out folders on other file systems\n"
           "  --links-once           count a file with several hard links once, in the first\n"
           "                         folder listed that holds it\n"
           "  --exclude=PATTERN      neither count nor list a file or folder whose name\n"
           "                         matches the shell PATTERN, or whose path below FOLDER\n"
           "                         does when PATTERN starts with /; may be repeated\n"
           "  -o, --output=FILE      write the report to FILE; - for standard output\n"
           "  -h, --help             show this help and exit\n"
           "  --version              show the version and exit\n"
           "\n"
           "Exit status:\n"
           "  0    the report was written, every size in it known\n"
           "  1    the folder could not be listed, or the report not written (a report\n"
           "       that was there before is left as it was)\n"
           "  2    usage error, or a PREVIOUS report that cannot be compared with\n"
           "  3    the report was written, but some sizes could not be read (each folder\n"
           "       that could not be read is named on standard error)\n"
           "  130  interrupted by SIGINT\n"
           "  143  ended by SIGTERM\n";
}

// Takes one option into `line`; what is wrong with its argument, or nothing.
std::string CommandLine::take(int option, const std::string& argument) {
    switch (option) {
        case kAll:
            all = true;
            break;
        case kCsv:
            kind = ReportKind::Csv;
            break;
        case kFormat:
            if (const auto format = oneOf(argument, kFormats)) {
                kind = *format;
                break;
            }
            return "the format is text, csv or json, not '" + argument + "'";
        case kSort:
            if (const auto sort = oneOf(argument, kOrders)) {
                order = *sort;
                break;
            }
            return "the order is size, name or change, not '" + argument + "'";
        case kTop:
            if (const auto count = positiveCount(argument)) {
                top = *count;
                break;
            }
            return "the count of --top is a whole number from 1, not '" + argument + "'";
        case kHumanReadable:
            humanReadable = true;
            break;
        case kDiskUsage:
            counting.diskUsage = true;
            break;
        case kOneFileSystem:
            counting.oneFileSystem = true;
            break;
        case kLinksOnce:
            counting.linksOnce = true;
            break;
        case kExclude:
            counting.exclude.push_back(argument);
            return patternError(argument);
        case kCompare:
            compare = true;
            previous = argument;
            break;
        case kOutput:
            output = argument;
            return output.empty() ? "the report's file name is empty" : "";
        case kHelp:
            action = Action::Help;
            break;
        case kVersion:
            action = Action::Version;
            break;
    }
    return {};
}

// getopt_long is the C library's own parser of GNU-style command lines; it keeps its place in
// globals, which a parse resets first (optind 0), so it may run more than once in a process.
CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    std::vector<std::string> copies{"dirtally-report"};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(copies.size() + 1);
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());

    CommandLine line;
    opterr = 0;
    optind = 0;
    for (int option = 0;
         (option = getopt_long(argc, argv.data(), ":ho:x", kLongOptions, nullptr)) != -1;) {
        if (option == ':') {
            return usageError("the option " + optionName(*knownOption(optopt)) +
                              " needs an argument");
        }
        if (!knownOption(option)) {
            return usageError(optionError(optopt, argv[optind - 1]));
        }
        if (option == kCompare && optarg && !*optarg) {
            return usageError("the previous report's file name is empty");
        }
        if (std::string error = line.take(option, optarg ? optarg : ""); !error.empty()) {
            return usageError(std::move(error));
        }
    }
    if (line.order == ListOrder::Change && !line.compare) {
        return usageError("--sort=change needs --compare");
    }
    // Standard output replaces no report to compare with.
    if (line.compare && line.previous.empty() && line.output == "-") {
        return usageError("--compare with -o - needs the previous report's file name");
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
