"""Steps that several cases share: starting in a folder, making a list, checking the report."""

import os
import time

import reference
from session import CaseFailure, check, wait_until

REPORT = "Dirtallied.txt"
IDLE_TITLE = "Dirtally"
SAVE_TITLE = "Dirtally save"


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
    try:
        return data if data and reference.Report(data).complete(one_level) else None
    except ValueError:
        return None


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
    """The report lists what the reference walk finds, under the path line of `caption`."""
    try:
        report = reference.Report(data)
    except ValueError as error:
        raise CaseFailure(f"{name}: {error}")
    check(report.complete(one_level), f"{name}: the closing block is {report.closing!r}")
    check(report.path_line.startswith(f"Path - {caption}  "),
          f"{name}: the path line is {report.path_line!r}")
    if folders is None:
        folders = reference.scan_as(folder, user)
    problem = reference.difference(report, folders, one_level)
    if problem:
        raise CaseFailure(f"{name}: {problem}")


def expect_error_box(context, app, name, answer="Return"):
    """Waits for the "Dirtally error" message box of the program's first run, keeps a
    screenshot of it, then answers it with a key, or with a click on its OK button ("click").
    The first run ends by setting the title to "Dirtally": without a box by then, the case
    fails at once. Returns when the box went."""
    ended = None

    def shown():
        nonlocal ended
        boxes = app.error_boxes()
        if boxes:
            return boxes[0]
        check(app.alive(), "the program ended instead of showing its message")
        if app.title() == IDLE_TITLE:
            ended = ended or time.monotonic()
            check(time.monotonic() - ended < 2, f"the run ended without a message box ({name})")
        return None
    box = wait_until(shown, 20, "the message box \"Dirtally error\"")
    context.session.screenshot(name, box)
    answer_dialog(app, box, answer)
    return time.monotonic()


# The centre of a message box's only button, OK, from the box's bottom right corner: the button
# sits 11 pixels in from both edges (as the screenshots of the boxes show).
OK_BUTTON = (49, 23)


def answer_dialog(app, window, answer):
    """Answers a dialog with a key, or a message box with a click on its OK button ("click"),
    and waits until it went."""
    if answer == "click":
        (x, y, width, height), _ = app.session.geometry(window)
        app.click(x + width - OK_BUTTON[0], y + height - OK_BUTTON[1])
    else:
        app.session.x("xdotool", "windowactivate", "--sync", str(window), check_rc=False)
        app.key(answer)
    wait_until(lambda: window not in app.windows(), 10, "the dialog to close")
    check(app.alive(), "the program ended after the dialog")


def expect_no_window(app, titles, since, seconds=1.0):
    """For about a second after `since`, none of the program's windows has one of these titles:
    one request is answered once."""
    while time.monotonic() - since < seconds:
        for window in app.windows():
            title = app.session.window_name(window)
            check(title not in titles, f"another {title!r} came "
                                       f"{time.monotonic() - since:.2f} s after the last closed")
        time.sleep(0.02)


def timed(action):
    start = time.monotonic()
    action()
    return time.monotonic() - start
