// dirtally-report: the report of the Dirtally window, written without a window.
#include <unistd.h>

#include <cstdio>
#include <new>

#include "VersionInfo.h"
#include "cli/CommandLine.h"
#include "cli/ReportCommand.h"
#include "platform/system/TerminationSignals.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/LinuxProcessInfo.h"
#include "platform/system/linux/SizeEngine.h"
#include "platform/system/linux/SystemClock.h"

namespace {
int report(const dirtally::CommandLine& line) {
    dirtally::TerminationSignals::endProgramOnThem();
    dirtally::LinuxProcessInfo process;
    dirtally::SystemClock clock;
    dirtally::ReportCommand command(line, process.currentDirectory(), clock.now().date(), stderr,
                                    isatty(STDERR_FILENO) == 1);
    dirtally::LinuxDirectoryReader directories;
    dirtally::SizeEngine folders;
    return command.run(directories, folders);
}
}  // namespace

int main(int argc, char* argv[]) {
    using dirtally::CommandLine;
    const CommandLine line = CommandLine::parse({argv + 1, argv + argc});
    switch (line.action) {
        case CommandLine::Action::Help:
            std::fputs(CommandLine::usage(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("dirtally-report %d.%d.%d\n", dirtally::version::major,
                        dirtally::version::minor, dirtally::version::revision);
            return 0;
        case CommandLine::Action::UsageError:
            std::fprintf(stderr, "dirtally-report: %s (see dirtally-report --help)\n",
                         line.error.c_str());
            return 2;
        case CommandLine::Action::Report:
            break;
    }
    // The run tells which folder it was sizing when memory ran out; this is for the rest.
    try {
        return report(line);
    } catch (const std::bad_alloc&) {
        std::fputs("dirtally-report: memory ran out\n", stderr);
        return 1;
    }
}
