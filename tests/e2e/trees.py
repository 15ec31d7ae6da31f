"""Folder trees built for the cases, at run time, in the session's temporary folder."""

import os
import shutil
import socket
import stat
import subprocess
import tempfile


def make_file(path, size):
    """A sparse file of the given apparent size: sizes cost nothing to make."""
    with open(path, "wb") as f:
        f.truncate(size)


def build(root, shape):
    """Makes the tree described by shape: a dict whose keys are names (str or bytes) and whose
    values are a size (a file), a dict (a folder) or ("link", target)."""
    os.makedirs(root, exist_ok=True)
    for name, value in shape.items():
        path = os.path.join(os.fsencode(root), os.fsencode(name))
        if isinstance(value, dict):
            build(path, value)
        elif isinstance(value, tuple) and value[0] == "link":
            os.symlink(value[1], path)
        else:
            make_file(path, value)
    return root


def chown_tree(root, uid):
    """Hands a tree to another user; through handles, so deep trees are no obstacle."""
    os.lchown(root, uid, uid)
    if os.path.islink(root) or not os.path.isdir(root):
        return  # fwalk would open a FIFO and wait for a writer
    for _, dirs, files, fd in os.fwalk(os.fsencode(root)):
        for name in dirs + files:
            os.chown(name, uid, uid, dir_fd=fd, follow_symlinks=False)


def deep_chain(root, levels, name_bytes, file_size):
    """A chain of folders whose full path is far longer than PATH_MAX; made through handles,
    since no single path to its bottom can be passed to the kernel."""
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for level in range(levels):
            name = (f"{level:03d}-" + "d" * name_bytes)[:name_bytes]
            os.mkdir(name, dir_fd=fd)
            inner = os.open(f"f{level}", os.O_WRONLY | os.O_CREAT, dir_fd=fd)
            os.ftruncate(inner, file_size + level)
            os.close(inner)
            sub = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = sub
    finally:
        os.close(fd)


def remove_tree(root):
    """Removes a tree, deep or unreadable parts included."""
    if not os.path.lexists(root):
        return
    if os.path.isdir(root) and not os.path.islink(root):
        os.chmod(root, 0o755)
        # Top-down, each folder is opened after its parent made it readable again.
        for _, dirs, _, fd in os.fwalk(os.fsencode(root)):
            for name in dirs:
                # Linux has no lchmod: links to folders are left alone by looking first.
                if stat.S_ISDIR(os.stat(name, dir_fd=fd, follow_symlinks=False).st_mode):
                    os.chmod(name, 0o755, dir_fd=fd)
    shutil.rmtree(root, ignore_errors=True)


def special_files(folder):
    """A FIFO, a bound socket and a character device node: reading any of them as a file hangs
    or fails."""
    os.mkfifo(os.path.join(folder, "fifo"))
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(os.path.join(folder, "socket"))
    listener.close()
    if os.geteuid() == 0:
        os.mknod(os.path.join(folder, "null-device"), 0o666 | stat.S_IFCHR, os.makedev(1, 3))


def big_tree(parent, in_memory, gentree, files, folders):
    """A large tree of sparse files, in memory (parent is, or else /dev/shm), since making a
    million files on a disk costs minutes."""
    if not in_memory and os.path.isdir("/dev/shm"):
        parent = "/dev/shm"
    base = tempfile.mkdtemp(prefix="dirtally-e2e-big-", dir=parent)
    os.chmod(base, 0o755)
    root = os.path.join(base, "Big")
    if gentree and os.access(gentree, os.X_OK):
        subprocess.run([gentree, root, str(files), str(folders)], check=True,
                       stdout=subprocess.DEVNULL)
    else:
        _python_tree(root, files, folders)
    return base, root


def _python_tree(root, files, folders):
    """The same shape as bench/gentree when it has not been built: ten sub-folders a folder."""
    paths = [root]
    os.mkdir(root)
    for i in range(1, folders):
        paths.append(os.path.join(paths[(i - 1) // 10], f"d{i}"))
        os.mkdir(paths[i])
    state = 42
    for i in range(files):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        make_file(os.path.join(paths[i % folders], f"f{i}"), (state >> 33) % (1 << 20))
