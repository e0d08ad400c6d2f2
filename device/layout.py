#!/usr/bin/env python3
"""The package's file tree: every path the .deb holds, what it is, and how it is made from the
signed dylibs and the data files in package/. The package build lays the tree out from this
list, and the device checks hold a built package to it.

    layout.py ROOT LIBRARY_DIR    lays the tree out under ROOT (which must not exist yet),
                                  taking QuorvaneiOS8.dylib and QuorvaneiOS7.dylib from
                                  LIBRARY_DIR, and writes ROOT/DEBIAN/control
    layout.py --version           prints the project's version, which the package carries
"""
import os
import plistlib
import re
import shutil
import sys
from dataclasses import dataclass

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.join(REPOSITORY, "package")
SPECIFIERS = os.path.join(PACKAGE, "settings", "Qel.plist")

LIBRARIES = ("QuorvaneiOS8", "QuorvaneiOS7")
INSTALL_DIR = "/Library/Application Support/Quorvane"
LOADER_DIR = "/Library/MobileSubstrate/DynamicLibraries"
PANE_SPECIFIERS = "/Library/PreferenceBundles/HalvenorSettings.bundle/Qel.plist"
PANE_ENTRY = "/Library/PreferenceLoader/Preferences/Quorvane.plist"
PANE_LABEL = "Quorvane"


@dataclass(frozen=True)
class Entry:
    kind: str  # "file" or "symlink"
    mode: int = 0o644
    target: str = ""  # a symlink's target
    source: str = ""  # where a file comes from: "library", "entry" or a path under package/


def library_path(name):
    return f"{INSTALL_DIR}/{name}.dylib"


def entries():
    """Every non-directory path of the package, as installed on the device."""
    tree = {PANE_SPECIFIERS: Entry("file", source=SPECIFIERS),
            PANE_ENTRY: Entry("file", source="entry")}
    for name in LIBRARIES:
        tree[library_path(name)] = Entry("file", 0o755, source="library")
        # The loader maps what it finds here; the library itself stays at its install name.
        tree[f"{LOADER_DIR}/{name}.dylib"] = Entry("symlink", 0o777, target=library_path(name))
        tree[f"{LOADER_DIR}/{name}.plist"] = Entry(
            "file", source=os.path.join(PACKAGE, "filters", f"{name}.plist"))
    return tree


def pane_entry(specifiers):
    """The PreferenceLoader entry: a link cell in Settings opening the specifier list."""
    return {"entry": {"cell": "PSLinkCell", "label": PANE_LABEL},
            "title": specifiers.get("title", PANE_LABEL), "items": specifiers["items"]}


def project_version(repository=REPOSITORY):
    with open(os.path.join(repository, "CMakeLists.txt"), encoding="utf-8") as cmake:
        found = re.search(r"project\(\s*Quorvane\s+VERSION\s+([0-9.]+)", cmake.read())
    if found is None:
        raise ValueError("CMakeLists.txt names no project(Quorvane VERSION ...)")
    return found.group(1)


def _write_file(path, entry, library_dir):
    if entry.source == "library":
        shutil.copyfile(os.path.join(library_dir, os.path.basename(path)), path)
    elif entry.source == "entry":
        with open(SPECIFIERS, "rb") as source, open(path, "wb") as out:
            plistlib.dump(pane_entry(plistlib.load(source)), out)
    else:
        shutil.copyfile(entry.source, path)
    os.chmod(path, entry.mode)


def _write_control(root):
    size = sum(os.lstat(os.path.join(folder, name)).st_size
               for folder, _, names in os.walk(root) for name in names)
    with open(os.path.join(PACKAGE, "control"), encoding="utf-8") as template:
        control = template.read().replace("@VERSION@", project_version()).replace(
            "@INSTALLED_SIZE@", str(-(-size // 1024)))
    os.makedirs(os.path.join(root, "DEBIAN"), mode=0o755)
    with open(os.path.join(root, "DEBIAN", "control"), "w", encoding="utf-8") as out:
        out.write(control)


def lay_out(root, library_dir):
    os.makedirs(root, mode=0o755)
    for device_path, entry in entries().items():
        path = root + device_path
        os.makedirs(os.path.dirname(path), mode=0o755, exist_ok=True)
        if entry.kind == "symlink":
            os.symlink(entry.target, path)
        else:
            _write_file(path, entry, library_dir)
    _write_control(root)


def main(argv):
    if argv[1:] == ["--version"]:
        print(project_version())
        return
    if len(argv) != 3:
        sys.exit("usage: layout.py ROOT LIBRARY_DIR | --version")
    try:
        lay_out(argv[1], argv[2])
    except (OSError, ValueError) as error:
        sys.exit(f"layout.py: {error}")


if __name__ == "__main__":
    main(sys.argv)
