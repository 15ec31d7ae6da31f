#include "platform/system/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace dirtally {

namespace {
// Reached from a signal handler, which can see nothing but process-wide state. The name is
// written before its folder is published, and the folder taken back before the name changes.
std::atomic<int> unfinishedFolder{-1};
char unfinishedName[256];
std::atomic<const char*> farewell{nullptr};

extern "C" void endOnSignal(int signal) {
    if (const char* text = farewell.exchange(nullptr)) {
        [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    }
    const int folder = unfinishedFolder.exchange(-1);
    if (folder >= 0) {
        ::unlinkat(folder, unfinishedName, 0);
    }
    ::_exit(128 + signal);
}
}  // namespace

void TerminationSignals::endProgramOnThem() {
    struct sigaction action {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
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
