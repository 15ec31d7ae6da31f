#pragma once

namespace dirtally {

// How the program ends when it is told to: SIGTERM, SIGHUP and SIGINT end it at once
// with the status 128 + the signal's number, as a shell reports a signal, after the little that
// must be undone is undone. Everything a handler reaches is prepared beforehand, since it may
// call only what is safe in a signal handler.
class TerminationSignals {
  public:
    // Takes over the signals the program was started with in their default action; one ignored
    // at start stays ignored (nohup, a script's "command &"), as the starter asked. The signals
    // of faults, aborts and limits undo the same, then take their own course.
    static void endProgramOnThem();
    // The file `name` in the folder open as `folderFd` is removed when a signal ends the program
    // (an unfinished report); -1 forgets it. The name is copied.
    static void removeOnSignal(int folderFd, const char* name);
    // Written to standard error when a signal ends the program (a terminal's progress line
    // cleared and ended); nullptr for nothing. The text must stay as long as it is set.
    static void sayOnSignal(const char* text);
};

}  // namespace dirtally
