#include "platform/system/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <initializer_list>

namespace dirtally {

namespace {
// Reached from a signal handler, which can see nothing but process-wide state. The name is
// written before its folder is published, and the folder taken back before the name changes.
std::atomic<int> unfinishedFolder{-1};
char unfinishedName[256];
std::atomic<const char*> farewell{nullptr};

void undo() {
    if (const char* text = farewell.exchange(nullptr)) {
        [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    }
    const int folder = unfinishedFolder.exchange(-1);
    if (folder >= 0) {
        ::unlinkat(folder, unfinishedName, 0);
    }
}

extern "C" void endOnSignal(int signal) {
    undo();
    ::_exit(128 + signal);
}

// A fault, an abort, Ctrl+\ or a file grown past its limit still ends the program as the
// signal's own action does (a core dump where one is asked for), once the undoing is done.
extern "C" void undoAndFall(int signal) {
    undo();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void takeOver(std::initializer_list<int> signals, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : signals) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}
}  // namespace

void TerminationSignals::endProgramOnThem() {
    takeOver({SIGTERM, SIGHUP, SIGINT}, endOnSignal);
    takeOver({SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGXFSZ}, undoAndFall);
}

void TerminationSignals::removeOnSignal(int folderFd, const char* name) {
    unfinishedFolder = -1;
    if (folderFd >= 0 && std::strlen(name) < sizeof unfinishedName) {
        std::strcpy(unfinishedName, name);
        unfinishedFolder = folderFd;
    }
}

void TerminationSignals::sayOnSignal(const char* text) {
    farewell = text;
}

}  // namespace dirtally
