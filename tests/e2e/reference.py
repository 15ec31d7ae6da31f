"""What a report of a tree should list, found independently from the file system, and a text
report read back into its folder lines.

Sizes are the sum of lstat st_size of every non-directory entry beneath a folder, links not
followed; a folder whose tree cannot be read in full has no size (the blank field). The walk goes
through open directory handles, so paths longer than PATH_MAX are no obstacle. Reports are held
against the walk by what they list (each folder's name and size, in order, and the total), never
by re-writing their text here.
"""

import os
import pickle
import re

CRLF = "\r\n"
HEADER_LINES = 7
# A name's field before the size's TAB; a longer name puts its size on a line of its own.
NAME_FIELD = 82
DASHES = re.compile(r" *\t-+")


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
    """A one-level report shows each name capitalised."""
    text = decode_name(raw)
    return text[:1].upper() + text[1:].lower()


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


def listed(folders, one_level, prefix=b""):
    """(path bytes, size or None) of each folder a report lists, in order: one level lists every
    sub-folder; all sub-folders lists a top-level dot-folder (sized, not entered) and no deeper
    one (counted in the folder above it)."""
    rows = []
    for folder in folders:
        dotted = folder.name.startswith(b".")
        if one_level or not (dotted and prefix):
            rows.append((prefix + folder.name, folder.size))
            if not one_level and not dotted:
                rows += listed(folder.children, False, prefix + folder.name + b"/")
    return rows


def expected_rows(folders, one_level):
    """The (name, size) lines a text report of these folders lists."""
    show = display_name if one_level else decode_name
    return [(show(path), size) for path, size in listed(folders, one_level)]


def _number(field):
    text = field.replace(",", "").strip()
    return int(text) if text else None


class Report:
    """A text report read back: its path line, its folder lines as (name, size or None) and the
    lines of its closing block. Raises ValueError where the bytes are no report's."""

    def __init__(self, data):
        if data.startswith(b"\xef\xbb\xbf"):
            raise ValueError("the report starts with a byte-order mark")
        text = data.decode("utf-8")
        if not text.endswith(CRLF):
            raise ValueError("the report does not end with CR LF")
        lines = text[:-2].split(CRLF)
        if any("\r" in line or "\n" in line for line in lines) or len(lines) < HEADER_LINES:
            raise ValueError("a bare CR or LF, or the header incomplete")
        self.path_line = lines[5]
        body = lines[HEADER_LINES:]
        self.rows = []
        i = 0
        while i < len(body) and not DASHES.fullmatch(body[i]):
            name, tab, size = body[i].partition("\t")
            if tab and len(name) != NAME_FIELD:
                raise ValueError(f"the TAB of {body[i]!r} is not after {NAME_FIELD} characters")
            if not tab:
                if i + 1 == len(body):
                    i += 1
                    break  # its size not written yet
                blank, tab, size = body[i + 1].partition("\t")
                if len(name) <= NAME_FIELD or blank != " " * NAME_FIELD or not tab:
                    raise ValueError(f"no size under the long name {name!r}")
                i += 1
            self.rows.append((name.rstrip(" ") if len(name) == NAME_FIELD else name,
                              _number(size)))
            i += 1
        self.closing = body[i:]

    def complete(self, one_level):
        """Whether the closing block is whole: dashes, the total, and dashes after a one-level
        listing."""
        ends = 3 if one_level else 2
        return (len(self.closing) == ends and (not one_level or DASHES.fullmatch(self.closing[2]))
                and self.closing[1].strip() != "")

    def total(self):
        return _number(self.closing[1]) if len(self.closing) > 1 else None


def difference(report, folders, one_level, whole=True):
    """None when the report lists what the walk found, else the first difference. A report not
    whole must list the walk's first folders."""
    want = expected_rows(folders, one_level)
    for number, (got, wanted) in enumerate(zip(report.rows, want), 1):
        if got != wanted:
            return f"folder line {number} is {got!r}, expected {wanted!r}"
    if len(report.rows) > len(want) or (whole and len(report.rows) < len(want)):
        return f"{len(report.rows)} folder lines, expected {len(want)}"
    total = sum(folder.size for folder in folders if folder.size is not None)
    if whole and report.total() != total:
        return f"the total is {report.total()}, expected {total}"
    return None
