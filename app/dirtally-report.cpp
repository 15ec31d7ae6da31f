// dirtally-report: the report of the Dirtally window, written without a window.
#include <unistd.h>

#include <cstdio>

#include "VersionInfo.h"
#include "cli/CommandLine.h"
#include "cli/ReportCommand.h"
#include "platform/system/TerminationSignals.h"
#include "platform/system/linux/LinuxDirectoryReader.h"
#include "platform/system/linux/LinuxProcessInfo.h"
#include "platform/system/linux/SizeEngine.h"
#include "platform/system/linux/SystemClock.h"

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
    dirtally::TerminationSignals::endProgramOnThem();
    dirtally::LinuxProcessInfo process;
    dirtally::SystemClock clock;
    dirtally::ReportCommand command(line, process.currentDirectory(), clock.now().date(), stderr,
                                    isatty(STDERR_FILENO) == 1);
    dirtally::LinuxDirectoryReader directories;
    dirtally::SizeEngine folders;
    return command.run(directories, folders);
}
