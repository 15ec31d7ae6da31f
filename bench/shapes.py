"""Makes the benchmark's trees, and times Dirtally against its floor and its peers on one of them.

    shapes.py siblings DIR N     N sibling folders with one small file each; prints the bytes
    shapes.py chain DIR N        a chain N folders deep with a file at each level; the bytes
    shapes.py time [options] LABEL FOLDER
                                 times each program on FOLDER, taking turns one run each per
                                 round, and prints median times, ratios and peak memory

Programs are given as --run NAME=COMMAND (split on spaces; FOLDER and REPORT are replaced) and
the window as --window PROGRAM: the real Dirtally window in a private X session (Xvfb, openbox),
timed from Esc to the closing block of its report on disk. --slowfs LIB:MS preloads the slow
file system into every program but those named with --unslowed; --cold drops the caches before
every run (root only). --ratio "A/B<=GOAL" prints A's median against B's of the same run with its
goal (what an option of the command costs: "sorted/command<=1.10").
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e")


def make_siblings(root, count):
    os.makedirs(root)
    total = 0
    for i in range(count):
        folder = os.path.join(root, "d%06d" % i)
        os.mkdir(folder)
        with open(os.path.join(folder, "f"), "wb") as f:
            f.write(b"x" * (i % 100))
        total += i % 100
    return total


def make_chain(root, depth):
    """Deeper than any path can name: each level is made from the open folder above it."""
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    total = 0
    for level in range(depth):
        size = level % 100
        file = os.open("f", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
        os.write(file, b"x" * size)
        os.close(file)
        total += size
        os.mkdir("d", dir_fd=fd)
        deeper = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = deeper
    os.close(fd)
    return total


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def run_once(argv, env, cold, memory_file):
    """Wall time, processor time (user and system) and peak memory (KiB) of one run. The memory
    is GNU time's: the child forked from this script would count the script's own memory as its
    own. Processor time scatters less than wall time where others load the machine."""
    if cold:
        drop_caches()
    start = time.monotonic()
    status = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", memory_file] + argv, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    seconds = time.monotonic() - start
    if status not in (0, 3):
        print(f"  warning: {argv[0]} exited with {status}", file=sys.stderr)
    with open(memory_file) as f:
        user, system, peak = f.read().split()[-3:]
        return seconds, float(user) + float(system), int(peak)


def report_closed(path):
    """Whether the one-level report at path ends with its closing block."""
    try:
        with open(path, "rb") as f:
            f.seek(max(os.fstat(f.fileno()).st_size - 400, 0))
            tail = f.read()
    except FileNotFoundError:
        return False
    return tail.endswith(b"---------------\r\n") and tail.count(b"---------------") >= 2


class Window:
    """The real window, started once in the folder, made to write its report once a round."""

    def __init__(self, program, folder, env):
        sys.path.insert(0, E2E)
        import session
        self.artifacts = tempfile.mkdtemp(prefix="dirtally-bench-x-")
        self.session = session.Session(self.artifacts)
        self.folder = folder
        try:
            self.app = self.session.start(program, folder, env=env)
            # Started on a slow file system, the window takes its time to read its fonts.
            self.app.wait_main_window(os.path.realpath(folder), timeout=120)
        except BaseException:
            self.close()
            raise

    def run_once(self, cold):
        from session import wait_until
        report = os.path.join(self.folder, "Dirtallied.txt")
        if os.path.exists(report):
            os.remove(report)
        if cold:
            drop_caches()
        # Esc starts the run at once; Alt+M clicks "&Make list" as Qt clicks a button by its
        # access key, after showing it pressed for 100 ms.
        start = time.monotonic()
        self.session.x("xdotool", "key", "--delay", "0", "Escape")
        wait_until(lambda: report_closed(report), 600, "the closing block", interval=0.005)
        seconds = time.monotonic() - start
        self.app.wait_title("Dirtally")
        return seconds, None, self.app.vm_hwm_kib()

    def close(self):
        self.session.close()
        # Left out of every size, but not of the peers' and the floor's.
        if os.path.exists(os.path.join(self.folder, "Dirtallied.txt")):
            os.remove(os.path.join(self.folder, "Dirtallied.txt"))
        subprocess.run(["rm", "-rf", self.artifacts], check=False)


def time_shape(args):
    names, commands = [], {}
    report_dir = tempfile.mkdtemp(prefix="dirtally-bench-")
    for entry in args.run:
        name, command = entry.split("=", 1)
        names.append(name)
        commands[name] = [part.replace("FOLDER", args.folder)
                          .replace("REPORT", os.path.join(report_dir, "report.txt"))
                          for part in command.split()]
    slow = {}
    if args.slowfs:
        library, ms = args.slowfs.split(":")
        slow = {"LD_PRELOAD": library, "DIRTALLY_E2E_GETDENTS_DELAY_MS": ms,
                "DIRTALLY_E2E_STAT_DELAY_MS": ms, "DIRTALLY_E2E_READDIR_DELAY_MS": ms}
    window = Window(args.window, args.folder, slow) if args.window else None
    if window:
        names.insert(0, "window")
    times = {name: [] for name in names}
    cpu = {name: [] for name in names}
    memory = {name: 0 for name in names}
    try:
        for _ in range(args.rounds):
            for name in names:
                if name == "window":
                    seconds, processor, peak = window.run_once(args.cold)
                else:
                    env = dict(os.environ, **({} if name in args.unslowed else slow))
                    seconds, processor, peak = run_once(commands[name], env, args.cold,
                                                        os.path.join(report_dir, "memory"))
                times[name].append(seconds)
                if processor is not None:
                    cpu[name].append(processor)
                memory[name] = max(memory[name], peak)
    finally:
        if window:
            window.close()
        subprocess.run(["rm", "-rf", report_dir], check=False)
    print_shape(args, names, times, cpu, memory)


def print_shape(args, names, times, cpu, memory):
    median = {name: statistics.median(values) for name, values in times.items()}
    cpu_median = {name: statistics.median(values) for name, values in cpu.items() if values}
    print(f"\n{args.label} (median of {args.rounds})")
    for name in names:
        runs = " ".join(f"{t:.3f}" for t in times[name])
        note = " (not slowed)" if name in args.unslowed and args.slowfs else ""
        processor = f"  cpu {cpu_median[name]:7.3f} s" if name in cpu_median else ""
        print(f"  {name:15s} {median[name]:8.3f} s{processor}  peak {memory[name] / 1024:7.1f} MB"
              f"  (runs: {runs}){note}")

    def ratio(text, numerator, denominator, goal, higher_is_better=False):
        value = median[numerator] / median[denominator]
        met = value >= goal if higher_is_better else value <= goal
        print(f"  {text}: {value:.2f}x (goal {'>=' if higher_is_better else '<='} {goal}x: "
              f"{'met' if met else 'NOT met'})")

    if "floor" in median:
        ratio("command / floor walker", "command", "floor", 1.10)
    if "window" in median:
        ratio("window / command", "window", "command", 1.15)
    peers = [n for n in ("du", "gdu", "ncdu") if n in median and n not in args.unslowed]
    if peers and args.slowfs:
        ratio("du / command", "du", "command", 10.0, higher_is_better=True)
    elif peers:
        fastest = min(peers, key=median.get)
        ratio(f"fastest peer ({fastest}) / command", fastest, "command", 2.0,
              higher_is_better=True)
    for asked in args.ratio:
        pair, goal = asked.split("<=")
        numerator, denominator = pair.split("/")
        ratio(f"{numerator} / {denominator}", numerator, denominator, float(goal))
        if numerator in cpu_median and denominator in cpu_median:
            print(f"    processor time: {cpu_median[numerator] / cpu_median[denominator]:.2f}x")


def main():
    # Ended from outside, the X session and the window go too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="action", required=True)
    for action in ("siblings", "chain"):
        make = sub.add_parser(action)
        make.add_argument("root")
        make.add_argument("count", type=int)
    timing = sub.add_parser("time")
    timing.add_argument("--run", action="append", default=[], metavar="NAME=COMMAND")
    timing.add_argument("--window", metavar="PROGRAM")
    timing.add_argument("--rounds", type=int, default=3)
    timing.add_argument("--cold", action="store_true")
    timing.add_argument("--slowfs", metavar="LIBRARY:MS")
    timing.add_argument("--unslowed", action="append", default=[], metavar="NAME")
    timing.add_argument("--ratio", action="append", default=[], metavar="A/B<=GOAL")
    timing.add_argument("label")
    timing.add_argument("folder")
    args = parser.parse_args()
    if args.action == "siblings":
        print(make_siblings(args.root, args.count))
    elif args.action == "chain":
        print(make_chain(args.root, args.count))
    else:
        time_shape(args)


if __name__ == "__main__":
    main()
