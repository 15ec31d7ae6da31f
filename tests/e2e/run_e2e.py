#!/usr/bin/env python3
"""Runs the built Dirtally in a real X session and drives it only from outside.

    run_e2e.py --program build/dirtally --artifacts build/e2e [--suite window|faults|all]
               [--gentree build/bench/gentree] [--slowfs build/tests/libslowfs.so]
               [--only NAME ...]
    run_e2e.py --program build/dirtally --screenshot docs/screenshot.png

Each case builds its own tree, starts its own program and checks what a user would see: window
titles, windows appearing and going, files on disk. Screenshots land in the artifacts folder.
Exit status 0 when every case passed.
"""

import argparse
import os
import signal
import subprocess
import sys
import time
import traceback

# Nothing is written into the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases_faults  # noqa: E402
import cases_window  # noqa: E402
import reference  # noqa: E402
import trees  # noqa: E402
from session import CaseFailure, CaseSkipped, Session  # noqa: E402

ISOLATED = "DIRTALLY_E2E_ISOLATED"
SUITES = {"window": cases_window.CASES, "faults": cases_faults.CASES}


class Context:
    """What every case gets: the session, the program and a place for its trees."""

    def __init__(self, session, program, gentree, big_files, slowfs=None):
        self.session = session
        self.program = program
        self.gentree = gentree
        self.slowfs = slowfs
        self.big_files = big_files
        self.figures = {}
        self._big = None
        self._big_folders = None
        self._count = 0

    def new_folder(self, name):
        self._count += 1
        path = os.path.join(self.session.root, "trees", f"{self._count:02d}", name)
        os.makedirs(path)
        os.chmod(os.path.dirname(path), 0o755)
        os.chmod(os.path.dirname(os.path.dirname(path)), 0o755)
        return path

    def big_tree(self):
        """The large generated tree, made once per run and shared by the cases that need it."""
        if self._big is None:
            start = time.monotonic()
            self._big = trees.big_tree(self.session.root, self.session.mounted, self.gentree,
                                       self.big_files,
                                       max(1, self.big_files // 10))
            self.figures["big tree made (s)"] = round(time.monotonic() - start, 1)
        return self._big[1]

    def big_folders(self):
        """The reference scan of the large tree, which no case changes."""
        if self._big_folders is None:
            self._big_folders = reference.scan(self.big_tree())
        return self._big_folders

    def close(self):
        if self._big is not None:
            trees.remove_tree(self._big[0])


def isolate():
    """Runs the suite in namespaces of its own when it can. Dirtally's single-instance socket
    lives in the abstract socket namespace, so a Dirtally that someone else runs on this machine
    as the same user would turn ours into a duplicate instance; and when this runner is killed
    (a test timeout), ending its process namespace ends Xvfb, PulseAudio and every program it
    started, which nothing else could guarantee."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    if os.environ.get(ISOLATED) or os.geteuid() != 0:
        return
    unshare = ["unshare", "--net", "--pid", "--fork", "--kill-child", "--mount-proc"]
    try:
        # A container without the right to make namespaces runs the suite as it is.
        if subprocess.run(unshare + ["true"], stderr=subprocess.DEVNULL).returncode != 0:
            return
    except OSError:
        return
    os.environ[ISOLATED] = "namespaces"
    os.execvp("unshare", unshare + [sys.executable] + sys.argv)


CASE_TIMEOUT = 120


def _case_timed_out(*_):
    raise CaseFailure(f"the case did not finish within {CASE_TIMEOUT} s")


def run_cases(context, selected):
    """Runs each case with its own programs, which are killed after it whatever happened; a case
    that hangs fails alone and the others still run."""
    failures = []
    signal.signal(signal.SIGALRM, _case_timed_out)
    for name, case in selected:
        start = time.monotonic()
        status = "ERROR: interrupted"
        try:
            signal.alarm(CASE_TIMEOUT)
            case(context)
            status = "PASS"
        except CaseFailure as failure:
            status = f"FAIL: {failure}"
            failures.append(name)
        except CaseSkipped as reason:
            status = f"SKIP: {reason}"
        except Exception:
            status = "ERROR:\n" + traceback.format_exc()
            failures.append(name)
        finally:
            signal.alarm(0)
            # The screen as the case left it, before its programs go.
            if not status.startswith(("PASS", "SKIP")):
                try:
                    context.session.screenshot(f"FAILED-{name}")
                except Exception:
                    pass
            for app in context.session.apps:
                app.kill()
            context.session.apps.clear()
        print(f"{status.split(':')[0]:5} {name} ({time.monotonic() - start:.1f} s)"
              + ("" if status == "PASS" else "\n      " + status), flush=True)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--artifacts", default="e2e-artifacts")
    parser.add_argument("--suite", choices=["window", "faults", "all"], default="all")
    parser.add_argument("--gentree")
    # The library that slows the program's directory reads (tests/e2e/slowfs.c); by default the
    # one CMake builds beside the program.
    parser.add_argument("--slowfs")
    parser.add_argument("--big-files", type=int, default=1_000_000)
    parser.add_argument("--only", nargs="*")
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.artifacts = os.path.abspath(args.artifacts)
    args.slowfs = os.path.abspath(args.slowfs or os.path.join(
        os.path.dirname(args.program), "tests", "libslowfs.so"))
    isolate()

    session = Session(args.artifacts, in_memory=os.environ.get(ISOLATED) == "namespaces")
    context = Context(session, args.program, args.gentree, args.big_files, args.slowfs)
    started = time.monotonic()
    try:
        if args.screenshot:
            cases_window.readme_screenshot(context, os.path.abspath(args.screenshot))
            return 0
        suites = ["window", "faults"] if args.suite == "all" else [args.suite]
        selected = [(name, case) for suite in suites for name, case in SUITES[suite]
                    if not args.only or name in args.only]
        failures = run_cases(context, selected)
    finally:
        context.close()
        session.close()
    for figure, value in context.figures.items():
        print(f"      {figure}: {value}")
    print(f"{len(selected) - len(failures)} of {len(selected)} cases passed in "
          f"{time.monotonic() - started:.0f} s; artifacts in {args.artifacts}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
