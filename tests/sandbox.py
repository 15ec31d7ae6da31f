#!/usr/bin/env python3
"""Runs a command so that it leaves nothing behind, and fails when it tried to.

    sandbox.py -- COMMAND...               one test: a home of its own
    sandbox.py --watch-home -- COMMAND...  the whole test command: the user's own home watched

A test gets its own HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR in a
scratch folder that goes when it ends (under $DIRTALLY_SCRATCH when set), no session bus and no
sound server unless it starts its own: otherwise Qt's file dialogs, libcanberra and PulseAudio
write into the user's real home, and D-Bus and PulseAudio start daemons that outlive the test.

Either way this process is the child subreaper of everything the command starts, so a daemon
that detached itself still ends up here. Whatever is still running when the command has ended is
named, killed, and fails the run. With --watch-home, the run also fails when the entries of the
invoking user's home (two levels deep, leaving out the sources' own build folders) are not the same
afterwards; it makes the scratch folder
that the tests' homes go into, and removes it.
"""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PR_SET_CHILD_SUBREAPER = 36
GRACE = 2.0


def become_subreaper():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit(f"sandbox: prctl: {os.strerror(ctypes.get_errno())}")


def children():
    """Our living children: the command's processes that lost their own parent come here."""
    found = {}
    me = str(os.getpid())
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            if fields[1] != me or fields[0] == "Z":
                continue
            with open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                words = cmdline.read().split(b"\0")
            found[int(entry)] = b" ".join(words).decode(errors="replace").strip()
        except (OSError, IndexError):
            continue
    return found


def reap():
    while True:
        try:
            if os.waitpid(-1, os.WNOHANG)[0] == 0:
                return
        except ChildProcessError:
            return


def end_leftovers():
    """Kills what the command left running; returns their descriptions."""
    deadline = time.monotonic() + GRACE
    while children() and time.monotonic() < deadline:
        time.sleep(0.05)
        reap()
    left = []
    while True:
        found = children()
        if not found:
            return left
        for pid, command in found.items():
            left.append(f"{command} (pid {pid})")
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.05)
        reap()


def run(argv, env):
    """Runs argv to its end, reaping the orphans that come here meanwhile; its exit status."""
    process = subprocess.Popen(argv, env=env)
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda number, _: process.send_signal(number))
    while True:
        try:
            pid, status = os.waitpid(-1, 0)
        except InterruptedError:
            continue
        if pid == process.pid:
            return os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status)


def remove(path):
    """Removes a tree that a test may have left locked (folders of mode 000)."""
    def unlock(function, failed, _):
        os.chmod(os.path.dirname(failed), 0o700)
        if os.path.isdir(failed) and not os.path.islink(failed):
            os.chmod(failed, 0o700)
        function(failed)
    shutil.rmtree(path, onerror=unlock)


def test_env(scratch):
    env = dict(os.environ)
    for name, relative in (("HOME", "home"), ("XDG_CONFIG_HOME", "home/.config"),
                           ("XDG_CACHE_HOME", "home/.cache"),
                           ("XDG_DATA_HOME", "home/.local/share"), ("XDG_RUNTIME_DIR", "runtime")):
        env[name] = os.path.join(scratch, relative)
        os.makedirs(env[name], mode=0o700)
    # Addresses where nothing listens: no bus or sound server is found or started on demand.
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(scratch, "no-session-bus")
    env["PULSE_SERVER"] = "unix:" + os.path.join(scratch, "no-sound-server")
    return env


SOURCES = os.path.realpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


def home_entries(home):
    """The home's entries two levels deep, but for those of the sources, where the test command
    makes its build folders (a clone in the home, say ~/dirtally)."""
    entries = set()
    for top in os.scandir(home):
        entries.add(top.name)
        if top.is_dir(follow_symlinks=False) and os.path.realpath(top.path) != SOURCES:
            try:
                entries.update(os.path.join(top.name, name) for name in os.listdir(top.path))
            except OSError:
                pass
    return entries


def main():
    args = sys.argv[1:]
    watch = args[:1] == ["--watch-home"]
    args = args[1:] if watch else args
    if args[:1] != ["--"] or len(args) < 2:
        sys.exit(__doc__)
    become_subreaper()
    home = os.path.expanduser("~")
    before = home_entries(home) if watch else None
    scratch = tempfile.mkdtemp(prefix="dirtally-test-", dir=os.environ.get("DIRTALLY_SCRATCH"))
    try:
        if watch:
            os.chmod(scratch, 0o755)
            env = dict(os.environ, DIRTALLY_SCRATCH=scratch)
        else:
            env = test_env(scratch)
        status = run(args[1:], env)
        left = end_leftovers()
    finally:
        remove(scratch)
    problems = [f"still running: {command}" for command in left]
    if watch:
        after = home_entries(home)
        problems += [f"added to {home}: {name}" for name in sorted(after - before)]
        problems += [f"removed from {home}: {name}" for name in sorted(before - after)]
    for problem in problems:
        print(f"sandbox: {problem}", file=sys.stderr)
    return status if status or not problems else 1


if __name__ == "__main__":
    sys.exit(main())
