#!/usr/bin/env python3
"""Builds the Debian packages from a build tree with cpack, into a temporary folder, and checks
what an installation would get: each package's files and Depends, the desktop entry and the
AppStream metainfo, the man pages. Exits 77 (skipped) when a tool it needs is missing."""
import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SKIPPED = 77
TOOLS = ["dpkg-deb", "dpkg-shlibdeps", "desktop-file-validate", "appstreamcli", "groff", "man",
         "lintian"]
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

FILES = {
    "dirtally": {
        "usr/bin/dirtally",
        "usr/share/applications/dirtally.desktop",
        "usr/share/dirtally/thunder.wav",
        "usr/share/man/man1/dirtally.1.gz",
        "usr/share/metainfo/com.example.dirtally.metainfo.xml",
        "usr/share/doc/dirtally/changelog.Debian.gz",
        "usr/share/doc/dirtally/copyright",
    } | {f"usr/share/icons/hicolor/{size}x{size}/apps/dirtally.png" for size in ICON_SIZES},
    "dirtally-report": {
        "usr/bin/dirtally-report",
        "usr/share/man/man1/dirtally-report.1.gz",
        "usr/share/doc/dirtally-report/changelog.Debian.gz",
        "usr/share/doc/dirtally-report/copyright",
    },
}
# What the window loads at run time, where dpkg-shlibdeps cannot see it.
WINDOW_EXTRAS = {"qt6-wayland", "libcanberra-pulse", "sound-theme-freedesktop",
                 "fonts-liberation", "fonts-texgyre", "xdg-utils"}
# A server installs the command alone: nothing that brings in a display.
DISPLAY = re.compile(r"libqt6(gui|widgets|network)|libxcb|libx11|libcanberra")

failures = []


def fail(message):
    failures.append(message)


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def field(deb, name):
    return run("dpkg-deb", "-f", str(deb), name).stdout.strip()


def depends(deb):
    names = set()
    for alternatives in field(deb, "Depends").split(","):
        for item in alternatives.split("|"):
            if item.strip():
                names.add(item.split()[0].split(":")[0])
    return names


def check_contents(package, deb):
    listed = {}
    for line in run("dpkg-deb", "-c", str(deb)).stdout.splitlines():
        mode, owner, _size, _day, _time, path = line.split(None, 5)
        if not mode.startswith("d"):
            listed[path.split(" -> ")[0].removeprefix("./")] = (mode, owner)
    expected = FILES[package]
    for path in sorted(expected - listed.keys()):
        fail(f"{package}: {path} is missing")
    for path in sorted(listed.keys() - expected):
        fail(f"{package}: {path} should not be there")
    for path, (mode, owner) in listed.items():
        if owner != "root/root":
            fail(f"{package}: {path} is owned by {owner}")
        if ("x" in mode) != path.startswith("usr/bin/"):
            fail(f"{package}: {path} has mode {mode}")


def check_depends(package, deb):
    names = depends(deb)
    if package == "dirtally":
        if not any(name.startswith("libqt6widgets") for name in names):
            fail(f"dirtally: no library dependencies found by dpkg-shlibdeps: {sorted(names)}")
        for name in sorted(WINDOW_EXTRAS - names):
            fail(f"dirtally: does not depend on {name}")
        if "qt6-qpa-plugins" in names:
            fail("dirtally: depends on the VNC and touch plug-ins, which it never loads")
    else:
        if "libc6" not in names:
            fail(f"dirtally-report: no library dependencies found by dpkg-shlibdeps: {sorted(names)}")
        for name in sorted(names):
            if DISPLAY.match(name) or name in WINDOW_EXTRAS:
                fail(f"dirtally-report: depends on {name}, which a server without a display lacks")


def check_desktop_files(root, version):
    desktop = root / "usr/share/applications/dirtally.desktop"
    metainfo = root / "usr/share/metainfo/com.example.dirtally.metainfo.xml"
    if desktop.is_file():
        result = run("desktop-file-validate", str(desktop))
        if result.returncode != 0 or result.stdout.strip():
            fail(f"dirtally.desktop does not validate:\n{result.stdout}{result.stderr}")
        entry = dict(line.split("=", 1) for line in desktop.read_text().splitlines() if "=" in line)
        if not entry.get("Keywords"):
            fail("dirtally.desktop has no Keywords for a desktop's search")
        if not (root / "usr/bin" / entry.get("Exec", "").split(" ")[0]).is_file():
            fail(f"dirtally.desktop starts {entry.get('Exec')}, which the package does not hold")
        if not list(root.glob(f"usr/share/icons/hicolor/*/apps/{entry.get('Icon')}.png")):
            fail(f"dirtally.desktop shows the icon {entry.get('Icon')}, which the package does not hold")
    if metainfo.is_file():
        result = run("appstreamcli", "validate", "--no-net", str(metainfo))
        if result.returncode != 0:
            fail(f"the metainfo does not validate:\n{result.stdout}{result.stderr}")
        text = metainfo.read_text()
        launchable = re.search(r"<launchable[^>]*>([^<]+)<", text)
        if not launchable or not (root / "usr/share/applications" / launchable[1]).is_file():
            fail("the metainfo launches no desktop entry of the package")
        newest = re.search(r'<release version="([^"]+)"', text)
        if not newest or newest[1] != version:
            fail(f"the metainfo's newest release is not {version}")


def check_lintian(debs):
    """Debian's own checks. These packages are not uploaded to Debian, where a first upload closes
    the bug that announced it: that tag alone is left out."""
    result = run("lintian", "--pedantic", "--fail-on", "error,warning", "--suppress-tags",
                 "initial-upload-closes-no-bugs", *map(str, debs))
    if result.returncode != 0:
        fail(f"lintian finds errors or warnings:\n{result.stdout}{result.stderr}")


def check_man_page(page, work, version):
    data = page.read_bytes()
    # gzip -n: no file name (flag 0x08) and no time stamp, so a rebuild makes the same file.
    if data[:2] != b"\x1f\x8b" or data[3] & 0x08 or data[4:8] != bytes(4):
        fail(f"{page.name} is not compressed with gzip -n")
        return
    source = work / page.stem
    source.write_bytes(gzip.decompress(data))
    result = run("groff", "-man", "-Tutf8", "-ww", "-z", str(source))
    if result.returncode != 0 or result.stderr:
        fail(f"{page.name}: groff warns:\n{result.stderr}")
    environment = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
    result = run("man", "--warnings", "-l", str(page), env=environment)
    title = page.name.split(".")[0].upper()
    if result.returncode != 0 or result.stderr or not result.stdout.startswith(title):
        fail(f"{page.name}: man -l fails:\n{result.stderr}")
    elif f"Dirtally {version} " not in result.stdout.rstrip().splitlines()[-1]:
        fail(f"{page.name} is not the page of version {version}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--config", required=True, help="the build tree's CPackConfig.cmake")
    parser.add_argument("--version", required=True, help="the packages' version")
    args = parser.parse_args()
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not installed (tools/setup.sh test installs them)")
        return SKIPPED

    with tempfile.TemporaryDirectory(prefix="dirtally-packages-") as temporary:
        out = Path(temporary)
        # The tools' own temporary files (lintian leaves some behind) go into this folder too.
        (out / "tmp").mkdir()
        os.environ["TMPDIR"] = str(out / "tmp")
        result = run(args.cpack, "-G", "DEB", "--config", args.config, "-B", str(out / "out"))
        if result.returncode != 0:
            print(result.stdout, result.stderr, sep="\n")
            print("FAILED: cpack could not build the packages")
            return 1
        debs = {field(deb, "Package"): deb for deb in (out / "out").glob("*.deb")}
        if debs.keys() != FILES.keys():
            fail(f"cpack built {sorted(deb.name for deb in debs.values())}, not one package each "
                 f"of {sorted(FILES)}")
        root = out / "root"
        for package, deb in sorted(debs.items()):
            if package not in FILES:
                continue
            print(f"{deb.name}\n  Depends: {field(deb, 'Depends')}")
            if not re.fullmatch(re.escape(args.version) + r"-\d+", field(deb, "Version")):
                fail(f"{package}: version {field(deb, 'Version')}, not {args.version}-REVISION")
            check_contents(package, deb)
            check_depends(package, deb)
            run("dpkg-deb", "-x", str(deb), str(root), check=True)
        check_desktop_files(root, args.version)
        check_lintian(debs.values())
        for page in sorted(root.glob("usr/share/man/man1/*")):
            check_man_page(page, out, args.version)

    for message in failures:
        print(f"FAILED: {message}")
    print(f"{'FAILED' if failures else 'PASSED'}: {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
