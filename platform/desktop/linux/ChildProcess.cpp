#include "platform/desktop/linux/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace dirtally {

namespace {

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The attributes and file actions of one spawn, released however the spawn ends.
class SpawnSetup {
  public:
    explicit SpawnSetup(int extraFlags) {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
        ::posix_spawnattr_setflags(
            &attributes,
            static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | extraFlags));
        // Signals the program ignores or blocks would otherwise stay ignored or blocked in the
        // child across exec.
        sigset_t all;
        sigset_t none;
        ::sigfillset(&all);
        ::sigemptyset(&none);
        ::posix_spawnattr_setsigdefault(&attributes, &all);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnSetup() {
        ::posix_spawnattr_destroy(&attributes);
        ::posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    std::optional<pid_t> spawn(const std::string& program, const std::vector<std::string>& argv) {
        pid_t pid = 0;
        auto pointers = argvPointers(argv);
        if (::posix_spawn(&pid, program.c_str(), &actions, &attributes, pointers.data(), environ) !=
            0) {
            return std::nullopt;
        }
        return pid;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

// A child that closed its output may still linger; it gets until the deadline to end.
int waitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            return status;
        }
        if (ended < 0 && errno != EINTR) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, SIGKILL);
    waitFor(pid);
    return -1;
}

// Reads until the writer closes the pipe or the deadline passes; false on the deadline.
bool readAll(int fd, std::string& output, std::chrono::steady_clock::time_point deadline) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return false;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got > 0) {
            output.append(buffer, static_cast<size_t>(got));
        } else if (errno != EINTR && errno != EAGAIN) {
            return false;
        }
    }
}

}  // namespace

bool startDetached(const std::string& program, const std::vector<std::string>& argv) {
    // A session of its own keeps the editor alive when the terminal that started Dirtally closes.
    SpawnSetup setup(POSIX_SPAWN_SETSID);
    const auto pid = setup.spawn(program, argv);
    if (!pid) {
        return false;
    }
    // Waiting for this one child only leaves every other child of the program to its owner.
    std::thread([child = *pid] { waitFor(child); }).detach();
    return true;
}

std::optional<std::string> runForOutput(const std::string& program,
                                        const std::vector<std::string>& argv, int timeoutMs) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    // Only our end polls; the child's end stays blocking so that its writes never fail.
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    SpawnSetup setup(0);
    ::posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], STDOUT_FILENO);
    const auto pid = setup.spawn(program, argv);
    ::close(pipeEnds[1]);
    if (!pid) {
        ::close(pipeEnds[0]);
        return std::nullopt;
    }
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool finished = readAll(pipeEnds[0], output, deadline);
    ::close(pipeEnds[0]);
    if (!finished) {
        ::kill(*pid, SIGKILL);
        waitFor(*pid);
        return std::nullopt;
    }
    const int status = waitUntil(*pid, deadline);
    if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return output;
}

}  // namespace dirtally
