"""Steps that several cases share: starting in a folder, making a list, checking the report."""

import os
import time

import reference
from session import CaseFailure, check, wait_until

REPORT = "Dirtallied.txt"
IDLE_TITLE = "Dirtally"


def start_in(context, folder, user=None, sound="none", name="dirtally", env=None):
    app = context.session.start(context.program, folder, user=user, sound=sound, name=name,
                                env=env)
    app.wait_main_window(os.path.realpath(folder))
    return app


def read(path):
    try:
        with open(path, "rb") as report:
            return report.read()
    except FileNotFoundError:
        return None


def complete_report(path, one_level):
    """The report's bytes once it holds a whole report, else None."""
    data = read(path)
    if not data:
        return None
    try:
        lines = reference.split_report(data)
    except (UnicodeDecodeError, ValueError):
        return None
    return data if reference.check_shape(lines, one_level) is None else None


def make_list(app, folder, one_level, keys=("alt+m",), timeout=60):
    """Presses the keys that start a run and waits until it has written its whole report and
    the window is idle again. Returns the report's bytes."""
    path = os.path.join(folder, REPORT)
    before = read(path)
    app.key(*keys)
    data = wait_until(lambda: (lambda d: d if d and d != before else None)(
        complete_report(path, one_level)), timeout, f"a complete report in {path}")
    app.wait_title(IDLE_TITLE)
    check(app.alive(), "the program ended during the run")
    return data


def expect_report(data, folder, caption, one_level, user=None, name="report", folders=None):
    expected = reference.expected_report(folder, caption, one_level, uid=user, folders=folders)
    problem = reference.compare(data, expected)
    if problem:
        raise CaseFailure(f"{name}: {problem}")


def expect_error_box(context, app, name, answer="Return"):
    """Waits for the "Dirtally error" message box, keeps a screenshot of it, then answers it."""
    box = wait_until(lambda: (app.error_boxes() or [None])[0], 20,
                     "the message box \"Dirtally error\"")
    context.session.screenshot(name, box)
    context.session.x("xdotool", "windowactivate", "--sync", str(box), check_rc=False)
    app.key(answer)
    wait_until(lambda: not app.error_boxes(), 10, "the message box to close")
    check(app.alive(), "the program ended after the message box")


def timed(action):
    start = time.monotonic()
    action()
    return time.monotonic() - start
