#pragma once

class QWidget;

namespace dirtally {

// Asks the window manager to give a top-level window no task-bar (and no pager) button. Call it
// before the window is first shown: window managers read the request when a window is mapped.
void keepOutOfTaskBar(QWidget* window);

}  // namespace dirtally
