#!/usr/bin/env python3
"""dirtally-report --compare from outside: a tree changed in every way a tree changes, compared
with its earlier report in each format and written in each, and the previous reports it refuses.

    test_compare.py --command build/dirtally-report
"""
import argparse
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import trees  # noqa: E402

BEFORE = {"grew": {"f": 1000}, "shrank": {"f": 5000}, "same": {"f": 7}, "gone": {"f": 11},
          "old name": {"f": 30}, "shut": {"f": 10}, "was shut": {"f": 3}}
# Each folder's change after change_tree: (change in bytes or None where blank, mark).
CHANGES = {"grew": (3000, None), "shrank": (-4900, None), "same": (0, None),
           "shut": (None, None), "was shut": (None, None), "new name": (30, "new"),
           "gone": (-11, "gone"), "old name": (-30, "gone")}
TEXT = {3000: "+3,000", -4900: "-4,900", 0: "0", 30: "new", -11: "-11", -30: "-30", None: ""}
NOBODY = 65534


def run(command, *args):
    """As an ordinary user where the tests run as root, so that a shut folder is shut."""
    as_nobody = (lambda: os.setuid(NOBODY)) if os.geteuid() == 0 else None
    return subprocess.run([command, *args], capture_output=True, preexec_fn=as_nobody)


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def change_tree(folder):
    trees.make_file(os.path.join(folder, "grew", "g"), 3000)
    trees.make_file(os.path.join(folder, "shrank", "f"), 100)
    shutil.rmtree(os.path.join(folder, "gone"))
    os.rename(os.path.join(folder, "old name"), os.path.join(folder, "new name"))
    os.chmod(os.path.join(folder, "shut"), 0)
    os.chmod(os.path.join(folder, "was shut"), 0o755)


def owned(root):
    """The tree, made by root, handed to the user the command runs as."""
    if os.geteuid() == 0:
        trees.chown_tree(root, NOBODY)
    return root


def check_json(report, where):
    # A gone folder is named as the previous report showed it: capitalised, in a text report.
    changes = {entry["path"].lower(): entry for entry in json.loads(report)["folders"]}
    expect(set(changes) == set(CHANGES), f"{where}: folders {sorted(changes)}")
    for name, (change, mark) in CHANGES.items():
        entry = changes[name]
        expect(entry["change"] == change and entry.get(mark or "", True) is True,
               f"{where}: {name} {entry}")
    expect(set(list(changes)[-2:]) == {"gone", "old name"}, f"{where}: gone ones not last")


def table_of_changes(command, root):
    folder = trees.build(os.path.join(root, "Tree"), BEFORE)
    os.chmod(os.path.join(folder, "was shut"), 0)
    owned(root)
    # A cron job's first run of --compare: no report yet to replace, every folder new (and the
    # total, in text); each is then the previous report of the runs below.
    first = {"text": b"(compared with no earlier report)", "csv": b"folder,bytes,change\r\n",
             "json": b'"previous_date":null,"first_report":true'}
    for kind, mark in first.items():
        done = run(command, "--compare", f"--format={kind}", "-o", os.path.join(root, kind),
                   folder)
        with open(os.path.join(root, kind), "rb") as report:
            written = report.read()
        expect(done.returncode in (0, 3) and mark in written and
               written.count(b"new") == len(BEFORE) + (kind == "text"), f"first {kind}: {done!r}")
    by_size = os.path.join(root, "by size")
    run(command, "--format=json", "--sort=size", "-o", by_size, folder)
    change_tree(folder)
    for kind in ("text", "csv", "json"):
        done = run(command, f"--compare={os.path.join(root, kind)}", "--format=json", "-o", "-",
                   folder)
        expect(done.returncode in (0, 3), f"compared with {kind}: {done.stderr!r}")
        check_json(done.stdout, f"compared with {kind}")
    previous = f"--compare={os.path.join(root, 'json')}"
    # Kept to the largest N, the gone ones still come last and in the asked order, whatever the
    # previous report's ("old name" first there: it was larger).
    done = run(command, "--compare=" + by_size, "--sort=name", "--top=9", "--format=json", "-o",
               "-", folder)
    paths = [entry["path"] for entry in json.loads(done.stdout)["folders"]]
    expect(paths[-2:] == ["gone", "old name"] and paths == sorted(paths[:-2]) + paths[-2:],
           f"sorted by name, the largest 9: {paths}")
    rows = list(csv.reader(io.StringIO(run(command, previous, "--csv", "-o", "-", folder)
                                       .stdout.decode(), newline="")))
    expect(rows[0] == ["folder", "bytes", "change"], f"CSV header {rows[0]}")
    for name, bytes_, change in rows[1:]:
        expected, mark = CHANGES[name]
        expect(change == ("" if expected is None else "new" if mark == "new" else
                          f"{expected:+d}" if expected else "0") and (bytes_ == "gone") ==
               (mark == "gone"), f"CSV row {name},{bytes_},{change}")
    lines = run(command, previous, "-o", "-", folder).stdout.decode().split("\r\n")
    expect("(compared with " in lines[3], f"date line {lines[3]!r}")
    for line in lines[7:15]:
        name, size, change = line.split("\t")
        expected, mark = CHANGES[name.rstrip().lower()]
        expect(change.strip() == TEXT[expected] and (size.strip() == "gone") == (mark == "gone"),
               f"text line {line!r}")
    # 4,140 bytes readable now; 6,058 then, when "was shut" was not.
    expect(lines[16].endswith("\t        -1,918"), f"total line {lines[16]!r}")
    # Without a file: the report this run replaces, grown most first, the two grown most.
    expect(run(command, folder).returncode in (0, 3), "default report")
    trees.make_file(os.path.join(folder, "same", "h"), 9)
    done = run(command, "--compare", "--sort=change", "--top=2", folder)
    with open(os.path.join(folder, "Dirtallied.txt"), encoding="utf-8", newline="") as report:
        lines = report.read().split("\r\n")
    expect(done.returncode in (0, 3) and [line.split()[0] for line in lines[7:9]] ==
           ["Same", "Grew"] and lines[9].strip() == "---------------", f"sorted: {lines}")
    os.chmod(os.path.join(folder, "shut"), 0o755)


def refusals(command, root):
    """Each refused with exit 2, one line naming the file and why, and nothing written."""
    folder = trees.build(os.path.join(root, "Refused"), {"a\tb": {}, "c": {}})
    other = trees.build(os.path.join(root, "Other"), {"c": {}})
    owned(root)
    previous = os.path.join(root, "previous")
    output = os.path.join(root, "never.txt")
    cases = [(["--format=json", other], "it is a report of"),
             (["--format=json", "--all", folder], "every folder of the tree"),
             (["--format=json", "--disk-usage", folder], "it counted disk usage"),
             (["--format=text", folder], 'the name "A?b" may stand for several folders'),
             (["--format=json", "--exclude=*.tmp", folder], "it counted excluding: *.tmp")]
    for args, why in cases:
        expect(run(command, "-o", previous, *args).returncode == 0, f"{args}: no report")
        done = run(command, f"--compare={previous}", "-o", output, folder)
        error = done.stderr.decode()
        expect(done.returncode == 2 and previous in error and why in error and
               error.count("\n") == 1 and not os.path.exists(output), f"{args}: {done!r}")
    # A report to no plain file replaces none (on a terminal, /dev/stdout would wait for one).
    done = run(command, "--compare", "-o", "/dev/null", folder)
    expect(done.returncode == 2 and b"/dev/null: the report goes to no plain file" in done.stderr,
           f"--compare -o /dev/null: {done!r}")
    for content, why in ((b'{"program":"dirtally-report","folders":[', "line 2: the report ends"),
                         (None, "No such file or directory")):
        os.remove(previous)
        if content is not None:
            open(previous, "wb").write(content)
        done = run(command, f"--compare={previous}", "-o", output, folder)
        expect(done.returncode == 2 and why in done.stderr.decode() and
               not os.path.exists(output), f"{content}: {done!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--command", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as root:
        os.chmod(root, 0o777)
        table_of_changes(os.path.abspath(args.command), os.path.join(root, "changes"))
        refusals(os.path.abspath(args.command), os.path.join(root, "refusals"))
    print("dirtally-report --compare: all checks passed")


if __name__ == "__main__":
    main()
