#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dirtally {

// Programs started directly with an argument vector, never through a shell, so that every
// argument reaches the program byte for byte.

// Starts `program` (a path) with `argv` (argv[0] included) in a session of its own and does not
// wait for it; it is reaped in the background when it ends. False when it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& argv);

// Runs `program` to its end and returns what it wrote to standard output; nullopt when it could
// not be started, failed, or was still running after `timeoutMs` (it is then killed).
std::optional<std::string> runForOutput(const std::string& program,
                                        const std::vector<std::string>& argv, int timeoutMs);

}  // namespace dirtally
