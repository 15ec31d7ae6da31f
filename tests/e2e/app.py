"""One running Dirtally process, seen only from outside: its windows, titles, keys and memory."""

import os
import signal
import time

from session import CaseFailure, check, wait_until

ERROR_TITLE = "Dirtally error"
ABOUT_SIZE = (393, 292)


class App:
    def __init__(self, session, process):
        self.session = session
        self.process = process
        self.pid = process.pid
        self.window = None

    def alive(self):
        return self.process.poll() is None

    def windows(self):
        """Visible top-level windows of this process."""
        out = self.session.x("xdotool", "search", "--onlyvisible", "--pid", str(self.pid),
                             check_rc=False)
        return [int(w) for w in out.split()]

    def wait_main_window(self, title, timeout=15):
        def found():
            check(self.alive(), f"the program ended before showing its window "
                                f"(exit status {self.process.returncode})")
            for window in self.windows():
                if self.session.window_name(window) == title:
                    return window
            return None
        self.window = wait_until(found, timeout, f"a window titled {title!r}")
        self.focus()
        return self.window

    def focus(self):
        self.session.x("xdotool", "windowactivate", "--sync", str(self.window), check_rc=False)
        wait_until(lambda: self.session.active_window() == self.window, 5,
                   "the main window to take the focus")

    def title(self):
        return self.session.window_name(self.window)

    def wait_title(self, title, timeout=15):
        return wait_until(lambda: self.title() == title, timeout,
                          f"the title {title!r} (it is {self.title()!r})")

    def key(self, *keys):
        self.session.key(*keys)

    def error_boxes(self):
        return [w for w in self.windows() if self.session.window_name(w) == ERROR_TITLE]

    def about_windows(self):
        about = []
        for window in self.windows():
            (_, _, width, height), frame = self.session.geometry(window)
            if (width, height) == ABOUT_SIZE:
                about.append((window, frame))
        return about

    def wait_exit(self, timeout):
        start = time.monotonic()
        try:
            self.process.wait(timeout)
        except Exception:
            raise CaseFailure(f"the program was still running {timeout:g} s later")
        return time.monotonic() - start

    def vm_hwm_kib(self):
        with open(f"/proc/{self.pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        raise CaseFailure("no VmHWM in /proc status")

    def click(self, x, y, button=1):
        # "mousemove --sync" to where the pointer already is waits for a move that never comes.
        here = self.session.x("xdotool", "getmouselocation", "--shell")
        move = [] if f"X={x}\nY={y}\n" in here else ["mousemove", "--sync", str(x), str(y)]
        self.session.x("xdotool", *move, "click", str(button))

    def client_origin(self):
        (x, y, width, height), frame = self.session.geometry(self.window)
        return x, y, width, height, frame

    def kill(self):
        if self.alive():
            try:
                os.killpg(self.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process.wait()
