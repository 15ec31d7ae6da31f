#include "platform/desktop/linux/DesktopTextEditor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/desktop/linux/ChildProcess.h"

namespace dirtally {

namespace {

// xdg-mime is a shell script that reads the desktop's configuration; a hung one must not freeze
// the window for long.
constexpr int kQueryTimeoutMs = 5000;

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// A relative name beginning with '-' would read as an option to the editor.
std::string asFileArgument(const Path& file) {
    return !file.empty() && file.front() == '-' ? "./" + file : file;
}

}  // namespace

DesktopTextEditor::DesktopTextEditor(std::string searchPath, std::vector<EditorCommand> editors)
    : searchPath_(std::move(searchPath)), editors_(std::move(editors)) {}

std::string DesktopTextEditor::environmentSearchPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
}

std::vector<EditorCommand> DesktopTextEditor::knownEditors() {
    // None of these has a command-line option to start maximised; an unknown option would stop
    // some of them from starting at all, so they get none.
    return {{"gnome-text-editor", {}}, {"gedit", {}}, {"kate", {}}, {"kwrite", {}},
            {"mousepad", {}},          {"pluma", {}}, {"xed", {}},  {"featherpad", {}},
            {"leafpad", {}},           {"geany", {}}};
}

std::string DesktopTextEditor::findProgram(const std::string& name) const {
    size_t start = 0;
    while (start <= searchPath_.size()) {
        size_t end = searchPath_.find(':', start);
        if (end == std::string::npos) {
            end = searchPath_.size();
        }
        // An empty entry would mean the current folder, which is no place to pick programs from.
        if (end > start) {
            std::string candidate = searchPath_.substr(start, end - start) + "/" + name;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

bool DesktopTextEditor::desktopHasTextHandler(const std::string& xdgMime) const {
    const auto handler =
        runForOutput(xdgMime, {"xdg-mime", "query", "default", "text/plain"}, kQueryTimeoutMs);
    return handler && handler->find_first_not_of(" \t\r\n") != std::string::npos;
}

bool DesktopTextEditor::open(const Path& file) {
    const std::string argument = asFileArgument(file);
    const std::string opener = findProgram("xdg-open");
    const std::string xdgMime = findProgram("xdg-mime");
    if (!opener.empty() && !xdgMime.empty() && desktopHasTextHandler(xdgMime) &&
        startDetached(opener, {"xdg-open", argument})) {
        return true;
    }
    for (const auto& editor : editors_) {
        const std::string program = findProgram(editor.program);
        if (program.empty()) {
            continue;
        }
        std::vector<std::string> argv{editor.program};
        argv.insert(argv.end(), editor.flags.begin(), editor.flags.end());
        argv.push_back(argument);
        if (startDetached(program, argv)) {
            return true;
        }
    }
    return false;
}

}  // namespace dirtally
