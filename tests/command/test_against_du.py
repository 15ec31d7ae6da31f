#!/usr/bin/env python3
"""dirtally-report's counting options against du on one tree (see tests/README.md). du is given
the sub-folders in one invocation, in the report's order, so that it too counts a link at its
first place; the folders' own sizes, which dirtally-report never counts, are taken off du's."""
import argparse
import json
import os
import subprocess
import sys
import tempfile


def write(path, data, sparse_to=0):
    with open(path, "wb") as file:
        file.write(data)
        file.truncate(max(sparse_to, len(data)))


def build(folder):
    for sub in ("a/sub", "a/mnt", "b", "c/.hid", "m"):
        os.makedirs(os.path.join(folder, sub))
    write(f"{folder}/a/f", os.urandom(10000))
    write(f"{folder}/a/sparse", os.urandom(8192), 1 << 30)
    write(f"{folder}/b/g", os.urandom(3000))
    write(f"{folder}/c/.hid/h", os.urandom(2000))
    for source, again in (("a/f", "a/sub/f"), ("a/f", "b/f"), ("b/g", "b/g2"), ("c/.hid/h", "c/h")):
        os.link(f"{folder}/{source}", f"{folder}/{again}")
    mounts = [f"{folder}/{at}" for at in ("a/mnt", "m")]
    if os.geteuid() == 0 and all(subprocess.run(["mount", "-t", "tmpfs", "none", at]).returncode
                                 == 0 for at in mounts):
        write(f"{folder}/a/mnt/x", os.urandom(7000))
        write(f"{folder}/m/y", os.urandom(5000), 1 << 20)
        return mounts
    return []


def report(command, folder, *options):
    """(name, bytes) of each sub-folder of the JSON report, in its order."""
    done = subprocess.run([command, "--format=json", "-o", "-", *options, folder],
                          capture_output=True, check=True)
    return [(line["name"], line["bytes"]) for line in json.loads(done.stdout)["folders"]]


def folders_own(path, attribute, device=None):
    """The sum of an attribute of every folder beneath path, path included."""
    total = 0
    for at, subs, _ in os.walk(path):
        subs[:] = [s for s in subs if device is None or os.lstat(f"{at}/{s}").st_dev == device]
        total += attribute(os.lstat(at))
    return total


def du(folder, names, *options):
    done = subprocess.run(["du", *options, *names], cwd=folder, capture_output=True, check=True)
    return [int(line.split("\t")[0]) for line in done.stdout.decode().splitlines()]


def check(command, folder):
    blocks, size = (lambda info: info.st_blocks * 512), (lambda info: info.st_size)
    device = os.lstat(folder).st_dev
    for options, du_options, attribute, one_device in (
            (["--disk-usage", "--links-once"], ["-sB1"], blocks, None),
            (["--links-once"], ["-sb"], size, None),
            (["-x", "--links-once", "--disk-usage"], ["-sB1", "-x"], blocks, device)):
        listed = report(command, folder, *options)
        names = [name for name, _ in listed]
        expected = [used - folders_own(f"{folder}/{name}", attribute, one_device)
                    for name, used in zip(names, du(folder, names, *du_options))]
        if [bytes_ for _, bytes_ in listed] != expected:
            raise AssertionError(f"{options}: {listed} != du's {expected}")
    # -x leaves a mount point out of the listing, as du -x leaves it out of FOLDER's.
    shown = du(folder, ["."], "-x", "-d1", "-b")
    if len(report(command, folder, "-x")) != len(shown) - 1:
        raise AssertionError(f"-x lists {report(command, folder, '-x')}, du -x {shown}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--command", required=True)
    command = os.path.abspath(parser.parse_args().command)
    with tempfile.TemporaryDirectory() as root:
        mounts = build(root)
        try:
            check(command, root)
        finally:
            for at in mounts:
                subprocess.run(["umount", at])
    print("dirtally-report against du: all checks passed" + ("" if mounts else " (no mounts)"))


if __name__ == "__main__":
    sys.exit(main())
