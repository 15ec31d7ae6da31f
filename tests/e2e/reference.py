"""The report Dirtally should write, computed independently from the file system.

Sizes are the sum of lstat st_size of every non-directory entry beneath a folder, links not
followed; a folder whose tree cannot be read in full has no size (the blank field). The walk goes
through open directory handles, so paths longer than PATH_MAX are no obstacle.
"""

import datetime
import os
import pickle
import re

CRLF = "\r\n"
DASH_LINE = " " * 81 + "\t" + "-" * 15
HEADER_LINES = 7


def decode_name(raw):
    """Report text of a file name: each byte that is not part of valid UTF-8 becomes U+FFFD,
    control characters become '?'."""
    out = []
    i = 0
    while i < len(raw):
        byte = raw[i]
        length = 1 if byte < 0x80 else 2 if 0xC2 <= byte <= 0xDF else \
            3 if 0xE0 <= byte <= 0xEF else 4 if 0xF0 <= byte <= 0xF4 else 0
        try:
            if length == 0:
                raise UnicodeDecodeError("utf-8", raw, i, i + 1, "lead byte")
            out.append(raw[i:i + length].decode("utf-8"))
            i += length
        except UnicodeDecodeError:
            out.append("\ufffd")
            i += 1
    return "".join("?" if ord(c) < 0x20 or c == "\x7f" else c for c in out)


def display_name(raw):
    text = decode_name(raw)
    return text[:1].upper() + text[1:].lower()


def size_field(size):
    return " " * 14 if size is None else (" " + f"{size:,}").rjust(14)


def folder_line(name, size):
    if len(name) <= 82:
        return name + " " * (82 - len(name)) + "\t" + size_field(size)
    return name + CRLF + " " * 82 + "\t" + size_field(size)


class Folder:
    """One folder of the tree: its size (None when unreadable) and its sub-folders in the file
    system's order."""

    def __init__(self, name, size, children):
        self.name = name
        self.size = size
        self.children = children


def _open_dir(name, dir_fd):
    return os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC,
                   dir_fd=dir_fd)


def _scan(fd):
    """(size or None, [Folder]) of the open folder fd."""
    total = 0
    readable = True
    children = []
    try:
        entries = list(os.scandir(fd))
    except PermissionError:
        return None, []
    for entry in entries:
        name = os.fsencode(entry.name)
        try:
            is_dir = entry.is_dir(follow_symlinks=False)
        except PermissionError:
            readable = False
            continue
        if not is_dir:
            try:
                total += entry.stat(follow_symlinks=False).st_size
            except FileNotFoundError:
                pass
            except PermissionError:
                readable = False
            continue
        try:
            sub = _open_dir(name, fd)
        except PermissionError:
            readable = False
            children.append(Folder(name, None, []))
            continue
        except FileNotFoundError:
            continue
        try:
            size, grandchildren = _scan(sub)
        finally:
            os.close(sub)
        children.append(Folder(name, size, grandchildren))
        if size is None:
            readable = False
        else:
            total += size
    return (total if readable else None), children


def scan(path):
    fd = _open_dir(path, None)
    try:
        return _scan(fd)[1]
    finally:
        os.close(fd)


def scan_as(path, uid):
    """scan() with the rights of another user, in a child process."""
    if uid is None or os.getuid() == uid:
        return scan(path)
    read_end, write_end = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read_end)
        try:
            os.setgroups([])
            os.setgid(uid)
            os.setuid(uid)
            data = pickle.dumps(scan(path))
            with os.fdopen(write_end, "wb") as out:
                out.write(data)
            os._exit(0)
        except BaseException:
            os._exit(1)
    os.close(write_end)
    with os.fdopen(read_end, "rb") as data:
        blob = data.read()
    _, status = os.waitpid(pid, 0)
    if status != 0:
        raise RuntimeError(f"reference scan as uid {uid} failed")
    return pickle.loads(blob)


def one_level_lines(folders):
    lines = [folder_line(display_name(f.name), f.size) for f in folders]
    total = sum(f.size for f in folders if f.size is not None)
    return lines + [DASH_LINE, "\t" + " " * 76 + f"{total:,}".rjust(17), DASH_LINE]


def _walk_lines(folders, prefix, lines):
    for folder in folders:
        # A top-level dot-folder is listed and counted, as in the one-level listing; deeper ones
        # count in the folder above them only.
        if folder.name.startswith(b".") and prefix:
            continue
        path = prefix + folder.name
        lines.append(folder_line(decode_name(path), folder.size))
        if not folder.name.startswith(b"."):
            _walk_lines(folder.children, path + b"/", lines)


def all_subs_lines(folders):
    lines = []
    _walk_lines(folders, b"", lines)
    total = sum(f.size for f in folders if f.size is not None)
    return lines + [DASH_LINE, " " * 79 + "\t" + f"{total:,}".rjust(17)]


def header(caption, no_subs_ticked):
    return ["", None, "", None, "", "Path - " + caption + ("  " if no_subs_ticked else
                                                           "  (no subs)"), ""]


def expected_report(path, caption, one_level, uid=None, folders=None):
    """The report's lines (None where line 2 and the date may differ)."""
    if folders is None:
        folders = scan_as(path, uid)
    body = one_level_lines(folders) if one_level else all_subs_lines(folders)
    return header(caption, one_level) + body


def date_lines():
    """Today's and yesterday's date lines (a run may straddle midnight), in the C locale."""
    days = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"]
    months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
    today = datetime.date.today()
    return {f"{days[d.weekday()]} - {months[d.month - 1]} {d.day}, {d.year}"
            for d in (today, today - datetime.timedelta(days=1))}


def split_report(data):
    """The report's text lines; raises if the bytes are not UTF-8 or a line lacks its CR LF."""
    text = data.decode("utf-8")
    if not text.endswith(CRLF):
        raise ValueError("the report does not end with CR LF")
    lines = text[:-2].split(CRLF)
    if any("\r" in line or "\n" in line for line in lines):
        raise ValueError("a bare CR or LF inside the report")
    return lines


def compare(data, expected):
    """None when the report matches, else a description of the first difference."""
    if data.startswith(b"\xef\xbb\xbf"):
        return "the report starts with a byte-order mark"
    try:
        actual = split_report(data)
    except (UnicodeDecodeError, ValueError) as error:
        return str(error)
    # A name of 83 or more characters puts its size on a line of its own.
    wanted = []
    for line in expected:
        wanted.extend([None] if line is None else line.split(CRLF))
    if len(actual) > 1 and not actual[1].startswith("Dirtally by "):
        return f"line 2 is {actual[1]!r}"
    if len(actual) > 3 and actual[3] not in date_lines():
        return f"line 4 (the date) is {actual[3]!r}"
    for number, (got, want) in enumerate(zip(actual, wanted), 1):
        if want is not None and got != want:
            return f"line {number} is {got!r}, expected {want!r}"
    if len(actual) != len(wanted):
        return f"{len(actual)} lines, expected {len(wanted)} (last: {actual[-1]!r})"
    return None


SIZE_FIELD = r"( {14}| {0,13} \d{1,3}(,\d{3})*)"


def check_shape(lines, one_level):
    """None when the report's lines have the shape of a complete report, whatever the tree
    held; else what is wrong."""
    if len(lines) < HEADER_LINES + 2 or lines[0] or lines[2] or lines[4] or lines[6]:
        return "the header is incomplete"
    body = lines[HEADER_LINES:]
    closing = 3 if one_level else 2
    if len(body) < closing or body[-closing] != DASH_LINE or (one_level and body[-1] != DASH_LINE):
        return "the closing block is missing"
    total = body[-closing + 1]
    pattern = r"\t {76}" if one_level else r" {79}\t"
    if not re.fullmatch(pattern + r" *\d{1,3}(,\d{3})*", total) or len(total) < 94:
        return f"the total line is {total!r}"
    i = 0
    folders = body[:-closing]
    while i < len(folders):
        line = folders[i]
        if re.fullmatch(r"[^\t]{82}\t" + SIZE_FIELD, line):
            i += 1
        elif (len(line) >= 83 and "\t" not in line and i + 1 < len(folders)
              and re.fullmatch(" {82}\t" + SIZE_FIELD, folders[i + 1])):
            i += 2
        else:
            return f"a folder line is {line!r}"
    return None
