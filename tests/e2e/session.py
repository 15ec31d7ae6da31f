"""A private X session for driving the real Dirtally window from outside.

Xvfb with openbox, an optional PulseAudio with a null sink, and a private desktop (HOME, XDG
folders) whose handlers for text files, http and mailto only record what they were asked to
open. Everything started here is killed by close(), also when a case fails half-way.
"""

import os
import re
import signal
import subprocess
import tempfile
import time

import trees

NOBODY = 65534
# Root reads and writes everything: the faults are run as nobody when the suite runs as root.
UNPRIVILEGED = NOBODY if os.geteuid() == 0 else None


class CaseFailure(AssertionError):
    pass


class CaseSkipped(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CaseFailure(message)


def wait_until(predicate, timeout, what, interval=0.02):
    """Polls predicate until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CaseFailure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def _kill_group(process, grace=2.0):
    if process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()


class Session:
    def __init__(self, artifacts, in_memory=False):
        """in_memory: keep every tree on a file system mounted for this session, which goes
        with the mount namespace even when the runner is killed."""
        self.artifacts = artifacts
        os.makedirs(artifacts, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="dirtally-e2e-")
        self.mounted = in_memory and subprocess.run(
            ["mount", "-t", "tmpfs", "-o", "mode=0755", "dirtally-e2e", self.root]).returncode == 0
        os.chmod(self.root, 0o755)
        self.processes = []
        self.apps = []
        self.pulse_socket = None
        try:
            self._start_x()
            self._make_desktop()
        except BaseException:
            self.close()
            raise

    # --- set-up -------------------------------------------------------------------------

    def _spawn(self, argv, env=None, **kwargs):
        log = open(os.path.join(self.artifacts, os.path.basename(argv[0]) + ".log"), "ab")
        process = subprocess.Popen(argv, env=env, stdout=log, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        log.close()
        self.processes.append(process)
        return process

    def _start_x(self):
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as displayfd:
            number = displayfd.readline().strip()
        check(number.isdigit(), "Xvfb did not report a display")
        self.display = ":" + number
        self.base_env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": self.display,
            "LC_ALL": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            # Without a session bus of ours, libdbus would start one per X display that outlives
            # the session; where nothing listens, none is started.
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-session-bus"),
        }
        # Now and then openbox, started the moment Xvfb names its display, cannot open it yet and
        # ends at once; it is started again then.
        for attempt in range(3):
            openbox = self._spawn(["openbox"], env=self.desktop_env())
            managed = wait_until(
                lambda: openbox.poll() is not None or self.x(
                    "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check_rc=False).find(
                        "window id") >= 0, 10, "openbox to manage the display")
            if openbox.poll() is None and managed:
                return
            time.sleep(0.2)
        raise CaseFailure("openbox could not open the display")

    def _make_desktop(self):
        """A private home whose desktop opens text, http and mailto with a recording handler."""
        self.home = self.private_dir("home", 0o755)
        self.runtime = self.private_dir("runtime", 0o700)
        self.config = self.private_dir("home/.config", 0o755)
        self.data = self.private_dir("home/.local/share", 0o755)
        applications = self.private_dir("home/.local/share/applications", 0o755)
        self.opened_log = os.path.join(self.root, "opened.txt")
        recorder = os.path.join(self.root, "record-open")
        with open(recorder, "w") as script:
            script.write(f'#!/bin/sh\nprintf "%s\\t%s\\n" "$1" "$2" >> "{self.opened_log}"\n')
        os.chmod(recorder, 0o755)
        defaults = []
        for kind, mime in (("text", "text/plain"), ("http", "x-scheme-handler/http"),
                           ("mailto", "x-scheme-handler/mailto")):
            with open(os.path.join(applications, f"record-{kind}.desktop"), "w") as entry:
                entry.write("[Desktop Entry]\nType=Application\nName=Record\nNoDisplay=true\n"
                            f"Exec={recorder} {kind} %u\nMimeType={mime};\n")
            defaults.append(f"{mime}=record-{kind}.desktop")
        with open(os.path.join(self.config, "mimeapps.list"), "w") as mimeapps:
            mimeapps.write("[Default Applications]\n" + "\n".join(defaults) + "\n")

    def private_dir(self, relative, mode, owner=None):
        path = os.path.join(self.root, relative)
        os.makedirs(path, exist_ok=True)
        os.chmod(path, mode)
        if owner is not None:
            os.chown(path, owner, owner)
        return path

    def start_pulse(self):
        """A PulseAudio of our own with a null sink: a real sound path without a sound card."""
        if self.pulse_socket:
            return self.pulse_socket
        home = self.private_dir("pulse", 0o700)
        socket = os.path.join(home, "native")
        env = dict(self.base_env, HOME=home, XDG_RUNTIME_DIR=home)
        self._spawn(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                     "-n", "--load=module-null-sink sink_name=nullsink",
                     f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1"],
                    env=env)
        probe = dict(env, PULSE_SERVER="unix:" + socket)
        wait_until(lambda: subprocess.run(["pactl", "info"], env=probe,
                                          stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL).returncode == 0,
                   10, "PulseAudio to answer")
        self.pulse_socket = socket
        return socket

    # --- environment ----------------------------------------------------------------------

    def desktop_env(self, user=None):
        env = dict(self.base_env)
        if user is None:
            env.update(HOME=getattr(self, "home", self.root),
                       XDG_RUNTIME_DIR=getattr(self, "runtime", self.root),
                       XDG_CONFIG_HOME=getattr(self, "config", self.root),
                       XDG_DATA_HOME=getattr(self, "data", self.root))
        else:
            home = self.private_dir(f"user-{user}", 0o700, owner=user)
            env.update(HOME=home, XDG_RUNTIME_DIR=home)
        return env

    # --- X helpers ------------------------------------------------------------------------

    def x(self, *argv, check_rc=True):
        result = subprocess.run(argv, env=self.desktop_env(), capture_output=True, text=True,
                                errors="replace")
        if check_rc and result.returncode != 0:
            raise CaseFailure(f"{' '.join(argv)} failed: {result.stderr.strip()}")
        return result.stdout

    def key(self, *keys):
        self.x("xdotool", "key", "--clearmodifiers", *keys)

    def windows_named(self, pattern):
        out = self.x("xdotool", "search", "--onlyvisible", "--name", pattern, check_rc=False)
        return [int(w) for w in out.split()]

    def window_name(self, window):
        return self.x("xdotool", "getwindowname", str(window), check_rc=False).rstrip("\n")

    def geometry(self, window):
        """(x, y, width, height) of the client window, and the frame extents (l, r, t, b)."""
        info = self.x("xwininfo", "-id", str(window))
        values = {key: int(value) for key, value in
                  re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):"
                             r"\s*(-?\d+)", info, re.M)}
        extents = self.x("xprop", "-id", str(window), "_NET_FRAME_EXTENTS", check_rc=False)
        frame = [int(v) for v in re.findall(r"\d+", extents.split("=", 1)[-1])] \
            if "=" in extents else [0, 0, 0, 0]
        return ((values["Absolute upper-left X"], values["Absolute upper-left Y"],
                 values["Width"], values["Height"]), tuple(frame or [0, 0, 0, 0]))

    def is_viewable(self, window):
        return "IsViewable" in self.x("xwininfo", "-id", str(window), check_rc=False)

    def active_window(self):
        out = self.x("xdotool", "getactivewindow", check_rc=False).strip()
        return int(out) if out.isdigit() else None

    def screenshot(self, name, window=None):
        """Saves the screen, or one window with its frame, as an artifact."""
        path = os.path.join(self.artifacts, name + ".png")
        raw = path + ".full.png"
        self.x("import", "-window", "root", raw)
        if window is None:
            os.replace(raw, path)
            return path
        (x, y, width, height), (left, right, top, bottom) = self.geometry(window)
        crop = f"{width + left + right}x{height + top + bottom}+{x - left}+{y - top}"
        self.x("convert", raw, "-crop", crop, "+repage", path)
        os.remove(raw)
        return path

    def grab(self, window, x, y, width, height):
        """The RGB pixels of a rectangle of a window, (x, y) from the window's top left."""
        result = subprocess.run(["import", "-window", str(window), "-crop",
                                 f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                                env=self.desktop_env(), capture_output=True)
        check(result.returncode == 0 and len(result.stdout) == width * height * 3,
              f"cannot grab {width} x {height} pixels of window {window} ({len(result.stdout)} "
              f"bytes): {result.stderr.decode(errors='replace').strip()}")
        return result.stdout

    def opened(self):
        try:
            with open(self.opened_log) as log:
                return [tuple(line.rstrip("\n").split("\t", 1)) for line in log]
        except FileNotFoundError:
            return []

    # --- the program --------------------------------------------------------------------

    def start(self, program, cwd, user=None, sound="none", name="dirtally", env=None):
        """Starts the program; env: variables added to its environment."""
        from app import App
        env = dict(self.desktop_env(user), **(env or {}))
        if sound == "pulse":
            env["PULSE_SERVER"] = "unix:" + self.start_pulse()
        else:
            # A server address that answers nothing: no sound device at all, and no
            # PulseAudio started on demand.
            env["PULSE_SERVER"] = "unix:" + os.path.join(self.root, "no-sound-server")
        argv = [program]
        if user is not None:
            argv = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + argv
        log = open(os.path.join(self.artifacts, name + ".log"), "ab")
        process = subprocess.Popen(argv, cwd=cwd, env=env, stdout=log, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True)
        log.close()
        app = App(self, process)
        self.apps.append(app)
        return app

    def close(self):
        for app in self.apps:
            _kill_group(app.process, grace=0.5)
        for process in reversed(self.processes):
            _kill_group(process)
        if self.mounted:
            subprocess.run(["umount", "-l", self.root], check=False)
        # Without the mount (an ordinary user) the trees' locked folders must be opened again.
        trees.remove_tree(self.root)
