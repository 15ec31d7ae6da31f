"""The real window as a user meets it: start-up, reports, folder picker, links, pop-up, abort,
close, the About window, a second instance and the refusal to run from "/"."""

import os
import re
import shutil
import signal
import subprocess
import time

import reference
import trees
from session import CaseFailure, CaseSkipped, check, wait_until
from steps import (IDLE_TITLE, REPORT, complete_report, expect_report, make_list, read,
                   start_in, timed)

CLIENT = (263, 167)
SCREEN = (1024, 768)
PICKER_TITLES = ("Browse for Folder", "Dirtally this folder")

# A tree with what a user's folder holds: mixed case, a dot-folder, files beside the folders,
# a link to a folder (not a sub-folder), names at the column stop, a sparse file of a terabyte
# (a size field wider than fourteen characters) and totals beyond 2^24.
EVERYDAY = {
    "MUSIC": {"a.mp3": 15_000_000, "Live": {"b.mp3": 3_000_001}},
    # Shown under the same name as MUSIC; sized through its own.
    "music": {"small.mp3": 7},
    "photos": {"x.jpg": 3_245_120},
    ".cache": {"blob": 77},
    "Empty": {},
    "notes.txt": 5,
    "LinkToMusic": ("link", "MUSIC"),
    "Ünïcödé Ωmega": {"data": 1234},
    "n" * 82: {"f": 1},
    "m" * 83: {"f": 2},
    "L" * 120: {"f": 3},
    "Huge": {"disk.img": 1_234_567_890_123},
}

# For the all-sub-folders mode: dot-folders at two depths (a top-level one listed and in the
# total, a deeper one sized, never listed) and a deep nest.
NESTED = {
    "Alpha": {"x": 10, ".git": {"objects": {"pack": 1000}}, "Beta": {"y": 20}},
    ".hidden": {"secret": 5, "Inside": {"z": 7}},
    "Deep": {"l1": {"l2": {"l3": {"l4": {"l5": {"l6": {"l7": {"l8": {"bottom": 88}}}}}}}}},
    "MiXeD CaSe": {"Sub": {"f": 3}},
    "link": ("link", "/"),
}


def _start_everyday(context, name):
    folder = trees.build(context.new_folder(name), EVERYDAY)
    return folder, start_in(context, folder)


def start_title_size_screenshot(context):
    folder, app = _start_everyday(context, "Start Here")
    (_, _, width, height), frame = context.session.geometry(app.window)
    menu = height - CLIENT[1]
    check(width == CLIENT[0] and 12 <= menu <= 40,
          f"the window is {width} x {height}; expected 263 wide and 167 under a menu bar")
    hints = context.session.x("xprop", "-id", str(app.window), "WM_NORMAL_HINTS")
    check(f"minimum size: {width} by {height}" in hints and
          f"maximum size: {width} by {height}" in hints, f"the size is not fixed: {hints}")
    check(frame[2] > 0, "the window has no title bar")
    states = context.session.x("xprop", "-id", str(app.window), "_NET_WM_STATE")
    check("_NET_WM_STATE_SKIP_TASKBAR" in states, f"the window asks for a task-bar button: {states}")
    # The title bar shows the small icon, a task switcher the large one: each drawn, not scaled.
    icons = context.session.x("xprop", "-id", str(app.window), "_NET_WM_ICON")
    sizes = sorted(set(re.findall(r"Icon \((\d+) x (\d+)\)", icons)), key=lambda s: int(s[0]))
    wanted = {(str(size), str(size)) for size in (16, 22, 24, 32, 48, 64)}
    check(wanted <= set(sizes),
          f"the window's icons are {' and '.join('x'.join(s) for s in sizes) or 'none'}; "
          "16 to 64 pixels are wanted")
    context.session.screenshot("main-window", app.window)
    context.figures["menu bar height (px)"] = menu
    app.key("ctrl+x")
    context.figures["Ctrl+X to process end (s)"] = round(app.wait_exit(2), 3)


def _expect_command_writes(context, folder, report, *mode):
    """dirtally-report, built beside the window, writes the window's report byte for byte."""
    command = os.path.join(os.path.dirname(context.program), "dirtally-report")
    done = subprocess.run([command, *mode, "-o", "-", folder], capture_output=True)
    check(done.returncode == 0 and done.stdout == report,
          f"dirtally-report {' '.join(mode)} wrote another report (status {done.returncode})")


def make_list_twice(context):
    folder, app = _start_everyday(context, "Twice")
    data = make_list(app, folder, True)
    expect_report(data, folder, folder, True, name="first run")
    _expect_command_writes(context, folder, data)
    # The second run (Esc this time) sees a changed tree and must replace the report.
    trees.build(folder, {"Added Later": {"new": 999}})
    trees.remove_tree(os.path.join(folder, "photos"))
    data = make_list(app, folder, True, keys=("Escape",))
    expect_report(data, folder, folder + "/", True, name="second run")
    check(not any(name.startswith(REPORT) and name != REPORT for name in os.listdir(folder)),
          "a second report file was left beside the first")


def all_subs_mode(context):
    folder = trees.build(context.new_folder("Nested"), NESTED)
    app = start_in(context, folder)
    app.key("ctrl+n")
    data = make_list(app, folder, False)
    expect_report(data, folder, folder, False, name="all-sub-folders report")
    _expect_command_writes(context, folder, data, "--all")
    app.key("ctrl+n")
    data = make_list(app, folder, True, keys=("Escape",))
    expect_report(data, folder, folder, True, name="one-level report after toggling back")


def _picker(context, app):
    def find():
        for window in app.windows():
            if window != app.window and context.session.window_name(window) in PICKER_TITLES:
                return window
        return None
    return wait_until(find, 10, "the folder picker")


def folder_picker_by_keyboard(context):
    folder = trees.build(context.new_folder("Pick From"),
                         {"Chosen One": {"Inner": {"f": 4096}, "g": 1}})
    chosen = os.path.join(folder, "Chosen One")
    app = start_in(context, folder)
    # Cancel first: nothing changes, no run starts.
    app.key("Tab", "Tab", "space")
    picker = _picker(context, app)
    app.key("Escape")
    wait_until(lambda: not context.session.is_viewable(picker), 5, "the picker to close")
    # Focus starts on the hidden "&File list"; with "&View list" disabled, two Tabs reach
    # "&Folder".
    app.focus()
    app.key("Tab", "Tab", "space")
    picker = _picker(context, app)
    context.session.screenshot("folder-picker", picker)
    # The picker opens on the current folder; its only sub-folder is one row down.
    app.key("Down")
    time.sleep(0.2)
    app.key("Return")
    wait_until(lambda: not context.session.is_viewable(picker), 5, "the picker to close")
    check(read(os.path.join(folder, REPORT)) is None, "cancelling the picker wrote a report")
    app.focus()
    data = make_list(app, chosen, True)
    expect_report(data, chosen, chosen, True, name="report in the chosen folder")
    check(read(os.path.join(folder, REPORT)) is None, "a report was written in the old folder")


def view_list_and_links(context):
    folder = trees.build(context.new_folder("View; it's $(touch pwned)"), {"Sub": {"f": 10}})
    app = start_in(context, folder)
    make_list(app, folder, True)
    app.key("alt+v")
    wait_until(lambda: any(kind == "text" for kind, _ in context.session.opened()), 10,
               "the text handler to be started")
    app.focus()
    app.key("alt+h", "Return")
    wait_until(lambda: any(kind == "http" for kind, _ in context.session.opened()), 10,
               "the http handler to be started")
    app.focus()
    app.key("alt+h", "Down", "Return")
    wait_until(lambda: any(kind == "mailto" for kind, _ in context.session.opened()), 10,
               "the mailto handler to be started")
    opened = dict(context.session.opened())
    check(len(context.session.opened()) == 3, f"handlers started: {context.session.opened()}")
    viewed = re.sub(r"^file://", "", opened["text"])
    check(os.path.realpath(viewed) == os.path.realpath(os.path.join(folder, REPORT)),
          f"the text handler got {opened['text']!r}")
    check(opened["http"].rstrip("/") == "http://dirtally.example.com",
          f"the web page handler got {opened['http']!r}")
    check(opened["mailto"] == "mailto:sales@dirtally.example.com",
          f"the mail handler got {opened['mailto']!r}")
    check(not os.path.exists(os.path.join(os.getcwd(), "pwned")) and
          not os.path.exists(os.path.join(folder, "pwned")), "a shell ran part of the path")


def right_click_exit(context):
    folder = trees.build(context.new_folder("Popup"), {"Sub": {}})
    app = start_in(context, folder)
    x, y, width, height, _ = app.client_origin()
    menu = height - CLIENT[1]
    before = set(app.windows())
    # A bare spot of Frame1, right of the web address label.
    app.click(x + 200, y + menu + 148, button=3)
    popup = wait_until(lambda: (list(set(app.windows()) - before) or [None])[0], 5,
                       "the pop-up menu")
    context.session.screenshot("right-click-menu")
    del popup
    app.key("x")
    app.wait_exit(3)


def _wait_run_started(app, folder):
    path = os.path.join(folder, REPORT)
    wait_until(lambda: os.path.exists(path), 20, "the report file to be opened")
    check(app.title() != IDLE_TITLE, "the run ended before it could be interrupted")


def _expect_partial(data, folders, one_level, closed):
    """The report of an interrupted run: the lines written are the reference's first lines;
    an aborted run adds a complete closing block of what it listed."""
    report = reference.Report(data)
    problem = reference.difference(report, folders, one_level, whole=False)
    check(problem is None, f"the lines written are not the reference's first lines: {problem}")
    whole = len(reference.listed(folders, one_level))
    if closed:
        check(len(report.rows) < whole and not report.closing,
              "the whole report was written before the window closed")
    else:
        check(len(report.rows) < whole, "the run completed before the abort")
        check(report.complete(one_level), "the aborted run's closing block is incomplete")
    return len(report.rows)


def esc_aborts_large_tree(context):
    folder = context.big_tree()
    app = start_in(context, folder)
    app.key("alt+m")
    _wait_run_started(app, folder)
    time.sleep(0.3)
    elapsed = timed(lambda: (app.key("Escape"), app.wait_title(IDLE_TITLE, timeout=10)))
    context.figures["Esc to idle on the large tree (s)"] = round(elapsed, 3)
    check(elapsed < 0.5, f"the abort took {elapsed:.2f} s")
    data = wait_until(lambda: complete_report(os.path.join(folder, REPORT), True), 5,
                      "the aborted run's report")
    _expect_partial(data, context.big_folders(), True, closed=False)
    os.remove(os.path.join(folder, REPORT))


def close_box_during_run(context):
    folder = context.big_tree()
    app = start_in(context, folder)
    app.key("ctrl+n", "alt+m")
    path = os.path.join(folder, REPORT)
    _wait_run_started(app, folder)
    wait_until(lambda: (read(path) or b"").count(b"\r\n") > reference.HEADER_LINES + 2, 30,
               "folder lines in the report")
    x, y, width, _, (_, right, top, _) = app.client_origin()
    # openbox's close box sits at the right end of the title bar.
    app.click(x + width + right - 9, y - top // 2)
    context.figures["close box during a run to process end (s)"] = round(app.wait_exit(3), 3)
    written = _expect_partial(read(path), context.big_folders(), False, closed=True)
    context.figures["folder lines kept after the close box"] = written
    os.remove(path)


def queued_esc_presses(context):
    """Two Esc presses queued together: one run, refused or aborted by the second press, never
    two runs in one file; a third press then makes a whole report."""
    folder = context.big_tree()
    path = os.path.join(folder, REPORT)
    app = start_in(context, folder)
    app.key("Escape", "Escape")
    wait_until(lambda: os.path.exists(path), 20, "the report file to be opened")
    app.wait_title(IDLE_TITLE, timeout=60)
    data = wait_until(lambda: complete_report(path, True), 5, "a complete report")
    report = reference.Report(data)
    problem = reference.difference(report, context.big_folders(), True, whole=False)
    check(problem is None, f"the lines written are not the reference's first lines: {problem}")
    context.figures["folder lines after two queued Esc presses"] = \
        f"{len(report.rows)} of {len(context.big_folders())}"
    data = make_list(app, folder, True, keys=("Escape",), timeout=60)
    expect_report(data, folder, folder + "/", True, name="the run after the queued presses",
                  folders=context.big_folders())
    os.remove(path)


def untick_during_run(context):
    """"No Sub-dirs" unticked while a one-level listing runs: the closing block gives the file
    system's used space instead of the total."""
    folder = context.big_tree()
    path = os.path.join(folder, REPORT)
    app = start_in(context, folder)
    app.key("alt+m")
    _wait_run_started(app, folder)
    app.key("ctrl+n")
    app.wait_title(IDLE_TITLE, timeout=60)
    fs = os.statvfs(folder)
    used = (fs.f_blocks - fs.f_bavail) * fs.f_frsize
    report = reference.Report(read(path))
    check(report.path_line.endswith("  ") and not report.path_line.endswith("(no subs)"),
          f"the path line is {report.path_line!r}")
    check(len(report.closing) == 2 and reference.DASHES.fullmatch(report.closing[0]),
          f"the closing block is {report.closing!r}")
    written = report.total()
    check(abs(written - used) <= 16 << 20, f"used space {written:,}, the file system says {used:,}")
    problem = reference.difference(report, context.big_folders(), True, whole=False)
    check(problem is None, f"the lines written are not the reference's first lines: {problem}")
    os.remove(path)


def sigterm_during_run(context):
    """A desktop log-out's SIGTERM during a run: the program ends at once, the lines written
    so far stay."""
    folder = context.big_tree()
    path = os.path.join(folder, REPORT)
    app = start_in(context, folder)
    app.key("ctrl+n", "alt+m")
    _wait_run_started(app, folder)
    wait_until(lambda: (read(path) or b"").count(b"\r\n") > reference.HEADER_LINES + 2, 30,
               "folder lines in the report")
    os.kill(app.pid, signal.SIGTERM)
    context.figures["SIGTERM during a run to process end (s)"] = round(app.wait_exit(3), 3)
    _expect_partial(read(path), context.big_folders(), False, closed=True)
    os.remove(path)


# Label4, the clock, and Command4, "&Make list" and "&Abort", in the client area below the menu
# bar.
CLOCK = (207, 16, 46, 21)
MAKE_LIST = (24 + 48, 98 + 11)
# Each directory read of the slowed program waits this long; a run over a chain of folders
# reads them one after the other, one read a folder on ext4 (where a listing's last record says
# it is the last) and two elsewhere.
SLOW_READ_MS = 60


def _slowed(context):
    check(context.slowfs and os.path.exists(context.slowfs),
          f"no slowfs library at {context.slowfs} (build the slowfs target)")
    return {"LD_PRELOAD": context.slowfs, "DIRTALLY_E2E_GETDENTS_DELAY_MS": str(SLOW_READ_MS)}


def clock_during_runs(context):
    """The clock keeps going during a run, whether Esc, a click on "&Make list" or Alt+M
    started it. Whether the start of a run meets a tick of the clock is a matter of timing: each
    way is tried three times."""
    chain = {}
    for level in reversed(range(60)):
        chain = {f"Level {level}": dict(chain, f=level)}
    folder = trees.build(context.new_folder("Clock"), chain)
    path = os.path.join(folder, REPORT)
    app = start_in(context, folder, env=_slowed(context))
    x, y, _, height, _ = app.client_origin()
    menu = height - CLIENT[1]
    button = (x + MAKE_LIST[0], y + menu + MAKE_LIST[1])

    def clock():
        return context.session.grab(app.window, CLOCK[0], menu + CLOCK[1], *CLOCK[2:])

    starts = {"Esc": lambda: app.key("Escape"), "a click on Make list": lambda: app.click(*button),
              "Alt+M": lambda: app.key("alt+m")}
    for how in list(starts) * 3:
        if os.path.exists(path):
            os.remove(path)
        app.focus()
        starts[how]()
        wait_until(lambda: os.path.exists(path), 10, f"the run started with {how} to begin")
        # Past the first, blocking read of the folder: a repaint still due from before the run
        # has been made by then.
        time.sleep(0.3)
        first = clock()
        began = time.monotonic()
        changed = False
        while not changed and time.monotonic() - began < 1.2:
            time.sleep(0.05)
            changed = clock() != first
        # A run goes on until its report has the closing block (after the first run the title
        # is "Dirtally" throughout).
        check(complete_report(path, True) is None,
              f"the run started with {how} ended; the slowed reads did not slow it")
        if not changed:
            context.session.screenshot("clock-stopped", app.window)
            raise CaseFailure(f"the clock stood still for 1.2 s during a run started with {how}")
        app.click(*button)
        wait_until(lambda: complete_report(path, True), 10, "the aborted run's report")
        app.wait_title(IDLE_TITLE)


def _about_comes_and_goes(context, sound, name):
    """Ctrl+A: the borderless About window, then the window gone by itself and the program
    working on. The window stays about as long as thunder.wav lasts (2.6 s), whether a sound
    server plays it or not."""
    folder = trees.build(context.new_folder("About"), {"Sub": {}})
    app = start_in(context, folder, sound=sound)
    app.key("ctrl+a")
    window, frame = wait_until(lambda: app.about_windows(), 5,
                               "the About window (not shown, or gone too soon to be seen)")[0]
    start = time.monotonic()
    check(frame in ((), (0, 0, 0, 0)), f"the About window has a frame {frame}")
    context.session.screenshot(f"about-window-{name}", window)
    wait_until(lambda: not context.session.is_viewable(window), 10,
               "the About window to close by itself")
    shown = time.monotonic() - start
    context.figures[f"About window shown {name.replace('-', ' ')} (s)"] = round(shown, 2)
    check(1.5 <= shown <= 5.0, f"the About window was shown for {shown:.2f} s")
    check(app.alive(), "the program ended with the About window")
    app.focus()
    make_list(app, folder, True)


def about_with_sound(context):
    _about_comes_and_goes(context, "pulse", "with-sound")


def about_without_sound(context):
    _about_comes_and_goes(context, "none", "without-sound")


def second_instance_raises_first(context):
    first_folder = trees.build(context.new_folder("First"), {"A": {}})
    second_folder = trees.build(context.new_folder("Second"), {"B": {"f": 1}})
    first = start_in(context, first_folder, name="dirtally-first")
    context.session.x("xdotool", "windowminimize", "--sync", str(first.window), check_rc=False)
    wait_until(lambda: not context.session.is_viewable(first.window), 5,
               "the first window to be minimised")
    second = start_in(context, second_folder, name="dirtally-second")
    second.key("ctrl+a")
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        check(not second.about_windows(), "the second instance showed an About window")
        if context.session.is_viewable(first.window) and \
                context.session.active_window() == first.window:
            break
        time.sleep(0.05)
    else:
        raise CaseFailure("the first instance's window was not restored and raised")
    check(not first.about_windows(), "the first instance showed an About window")
    context.session.screenshot("second-instance-raised-first")
    second.focus()
    second.key("Escape")
    wait_until(lambda: complete_report(os.path.join(second_folder, REPORT), True), 20,
               "the second instance's report")
    wait_until(lambda: second.title().endswith("duplicate instance."), 5,
               f"the second instance's title to end in 'duplicate instance.' "
               f"(it is {second.title()!r})")


def refuses_root_folder(context):
    if os.geteuid() != 0:
        raise CaseSkipped("placing a copy of the program in / needs root")
    copy = f"/dirtally-e2e-{os.getpid()}"
    shutil.copy2(context.program, copy)
    try:
        folder = trees.build(context.new_folder("From Root"), {"Sub": {}})
        app = context.session.start(copy, folder, name="dirtally-root")
        main_title = os.path.realpath(folder)

        def box_without_main_window():
            names = [context.session.window_name(w) for w in app.windows()]
            check(main_title not in names, "the main window was shown")
            check(app.alive() or "Dirtally error" in names,
                  f"the program ended without its message (status {app.process.returncode})")
            return [w for w, n in zip(app.windows(), names) if n == "Dirtally error"]
        box = wait_until(box_without_main_window, 15, "the message box \"Dirtally error\"")[0]
        # With no main window to stand over, the box settles in the middle of the screen once the
        # window manager has framed it.
        def centre():
            (x, y, width, height), (left, right, top, bottom) = context.session.geometry(box)
            return x - left + (left + width + right) / 2, y - top + (top + height + bottom) / 2
        try:
            wait_until(lambda: all(abs(c - s / 2) <= 4 for c, s in zip(centre(), SCREEN)), 3,
                       "the box in the middle of the screen")
        except CaseFailure:
            raise CaseFailure(f"the box's centre is at {centre()}; the screen's at "
                              f"{SCREEN[0] // 2}, {SCREEN[1] // 2}") from None
        context.session.screenshot("refused-from-root", box)
        context.session.x("xdotool", "windowactivate", "--sync", str(box), check_rc=False)
        app.key("Return")
        app.wait_exit(5)
    finally:
        os.remove(copy)


def weston_headless(context):
    """Weston's headless back end (no seat): through XWayland, Esc, a maximise request, SIGTERM;
    then natively on Wayland."""
    if not (shutil.which("weston") and shutil.which("Xwayland") and shutil.which("wmctrl")):
        raise CaseSkipped("weston, Xwayland or wmctrl is not installed")
    from app import App
    session = context.session
    folder = trees.build(context.new_folder("On Wayland"), {"a": {"f": 3}})
    runtime = session.private_dir("weston", 0o700)
    log, errors = os.path.join(runtime, "weston.log"), os.path.join(runtime, "dirtally.log")
    env = dict(session.desktop_env(), XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wl-e2e")
    del env["QT_QPA_PLATFORM"]
    session._spawn(["weston", "--backend=headless-backend.so", "--socket=wl-e2e", "--xwayland",
                    "--idle-time=0", "--no-config", "--log=" + log], env=env)
    shown = wait_until(lambda: re.findall(rb"listening on display (:\d+)", read(log) or b""), 10,
                       "XWayland's display")
    env["DISPLAY"] = shown[0].decode()
    native = {k: v for k, v in env.items() if k != "DISPLAY"}

    def x(*argv):
        return subprocess.run(argv, env=env, capture_output=True, text=True).stdout
    for variables in (env, native):
        with open(errors, "wb") as output:
            app = App(session, subprocess.Popen([context.program], cwd=folder, env=variables,
                                                start_new_session=True, stderr=output))
        session.apps.append(app)
        if variables is env:
            window = wait_until(lambda: x("xdotool", "search", "--onlyvisible", "--pid",
                                          str(app.pid)).split(), 15, "the window on XWayland")[0]
            x("xdotool", "key", "--window", window, "Escape")
            wait_until(lambda: complete_report(os.path.join(folder, REPORT), True), 15, "a report")
            x("wmctrl", "-i", "-r", window, "-b", "add,maximized_vert,maximized_horz")
        time.sleep(1.5)
        check(app.alive(), f"the program ended: {read(errors)}")
        check(variables is native or f"Width: {CLIENT[0]}\n" in x("xwininfo", "-id", window),
              "the window took another width")
        os.killpg(app.pid, signal.SIGTERM)
        app.wait_exit(2)
        check(b"Could not" not in read(errors), f"Qt could not load a plug-in: {read(errors)}")


def readme_screenshot(context, output):
    """The window as the README shows it, cropped with its frame."""
    base = "/tmp/dirtally-demo"
    folder = os.path.join(base, "Documents")
    trees.remove_tree(base)
    try:
        trees.build(folder, {"Music": {"a": 1}, "Photos": {"b": 2}})
        os.chmod(base, 0o755)
        app = start_in(context, folder)
        make_list(app, folder, True)
        app.focus()
        shot = context.session.screenshot("readme-window", app.window)
        os.makedirs(os.path.dirname(output), exist_ok=True)
        shutil.copyfile(shot, output)
    finally:
        trees.remove_tree(base)


CASES = [
    ("start_title_size_screenshot", start_title_size_screenshot),
    ("make_list_twice", make_list_twice),
    ("all_subs_mode", all_subs_mode),
    ("folder_picker_by_keyboard", folder_picker_by_keyboard),
    ("view_list_and_links", view_list_and_links),
    ("right_click_exit", right_click_exit),
    ("esc_aborts_large_tree", esc_aborts_large_tree),
    ("close_box_during_run", close_box_during_run),
    ("queued_esc_presses", queued_esc_presses),
    ("untick_during_run", untick_during_run),
    ("sigterm_during_run", sigterm_during_run),
    ("clock_during_runs", clock_during_runs),
    ("about_with_sound", about_with_sound),
    ("about_without_sound", about_without_sound),
    ("second_instance_raises_first", second_instance_raises_first),
    ("refuses_root_folder", refuses_root_folder),
    ("weston_headless", weston_headless),
]
