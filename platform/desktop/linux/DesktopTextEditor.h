#pragma once

#include <string>
#include <vector>

#include "platform/desktop/TextEditor.h"

namespace dirtally {

// A graphical editor to try when the desktop names no application for plain text.
struct EditorCommand {
    std::string program;             // looked up in the search path
    std::vector<std::string> flags;  // placed before the file, e.g. to maximise the window
};

// Starts the desktop's text editor on a file: the desktop's own opener when the desktop has a
// default application for plain text, else the first installed of a list of editors. Each open
// starts a new process that is never waited for; the path is one argument, never seen by a shell.
class DesktopTextEditor final : public TextEditor {
  public:
    // searchPath: folders separated by ':' as in $PATH.
    explicit DesktopTextEditor(std::string searchPath = environmentSearchPath(),
                               std::vector<EditorCommand> editors = knownEditors());

    bool open(const Path& file) override;

    static std::string environmentSearchPath();
    static std::vector<EditorCommand> knownEditors();

  private:
    // The full path of an executable program in the search path; empty when there is none.
    std::string findProgram(const std::string& name) const;
    bool desktopHasTextHandler(const std::string& xdgMime) const;

    std::string searchPath_;
    std::vector<EditorCommand> editors_;
};

}  // namespace dirtally
