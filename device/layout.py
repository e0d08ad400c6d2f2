#!/usr/bin/env python3
"""The package's file tree: every path the .deb holds, what it is, and how it is made from the
signed dylibs and the data files in package/. The package build lays the tree out from this
list, and the device checks hold a built package to it.

    layout.py ROOT BUILT_DIR      lays the tree out under ROOT (which must not exist yet),
                                  taking the signed QuorvaneiOS8.dylib, QuorvaneiOS7.dylib and
                                  HalvenorSettings and the drawn icon.png and icon@2x.png from
                                  BUILT_DIR, and writes ROOT/DEBIAN: control, postinst, postrm
    layout.py --version           prints the project's version, which the package carries
    layout.py --slices            prints the slices every shipped Mach-O file holds
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
# The slices every shipped Mach-O file holds. The armv7 slice builds (device/armv7/), but its
# linker resolves references into the weak definitions it coalesces across objects to the
# wrong atoms, and the link's relocation check refuses it: until that is mended, the package
# is arm64-only and guarded to 64-bit devices.
SLICES = ("arm64", "armv7")
INSTALL_DIR = "/Library/Application Support/Quorvane"
LOADER_DIR = "/Library/MobileSubstrate/DynamicLibraries"
PANE_NAME = "HalvenorSettings"
PANE_BUNDLE = f"/Library/PreferenceBundles/{PANE_NAME}.bundle"
PANE_EXECUTABLE = f"{PANE_BUNDLE}/{PANE_NAME}"
PANE_INFO = f"{PANE_BUNDLE}/Info.plist"
PANE_SPECIFIERS = f"{PANE_BUNDLE}/Qel.plist"
PANE_ICONS = {f"{PANE_BUNDLE}/icon.png": 29, f"{PANE_BUNDLE}/icon@2x.png": 58}
PANE_ENTRY = "/Library/PreferenceLoader/Preferences/Quorvane.plist"
PANE_LABEL = "Quorvane"
PANE_IDENTIFIER = "com.tovi.quorvane.settings"
PANE_CLASS = "HalvenorSettingsListController"
# Both end Camera and Photos, which map the library, or drop it, only when they start.
MAINTAINER_SCRIPTS = ("postinst", "postrm")
# Where the repository (scripts/build-repo.sh) is served; its depiction page is the package's.
REPOSITORY_URL = os.environ.get("QUORVANE_REPOSITORY_URL", "http://localhost:8000/")
DEPICTION = "depiction/index.html"
MAINTAINER_SCRIPT = os.path.join(PACKAGE, "end-apps.sh")


@dataclass(frozen=True)
class Entry:
    kind: str  # "file" or "symlink"
    mode: int = 0o644
    target: str = ""  # a symlink's target
    source: str = ""  # where a file comes from: "built", "entry", "info" or a path in package/


def library_path(name):
    return f"{INSTALL_DIR}/{name}.dylib"


def entries():
    """Every non-directory path of the package, as installed on the device."""
    tree = {PANE_EXECUTABLE: Entry("file", 0o755, source="built"),
            PANE_INFO: Entry("file", source="info"),
            PANE_SPECIFIERS: Entry("file", source=SPECIFIERS),
            PANE_ENTRY: Entry("file", source="entry")}
    tree.update({icon: Entry("file", source="built") for icon in PANE_ICONS})
    for name in LIBRARIES:
        tree[library_path(name)] = Entry("file", 0o755, source="built")
        # The loader maps what it finds here; the library itself stays at its install name.
        tree[f"{LOADER_DIR}/{name}.dylib"] = Entry("symlink", 0o777, target=library_path(name))
        tree[f"{LOADER_DIR}/{name}.plist"] = Entry(
            "file", source=os.path.join(PACKAGE, "filters", f"{name}.plist"))
    return tree


def pane_entry():
    """The PreferenceLoader entry: a link cell in Settings opening the bundle's controller."""
    return {"entry": {"bundle": PANE_NAME, "isController": True, "cell": "PSLinkCell",
                      "label": PANE_LABEL, "icon": "icon.png"}}


def pane_info():
    """The bundle's Info.plist: Settings loads the executable and makes the principal class."""
    return {"CFBundleExecutable": PANE_NAME, "CFBundleIdentifier": PANE_IDENTIFIER,
            "NSPrincipalClass": PANE_CLASS, "CFBundleName": PANE_NAME,
            "CFBundlePackageType": "BNDL", "CFBundleInfoDictionaryVersion": "6.0",
            "CFBundleVersion": project_version(), "CFBundleSupportedPlatforms": ["iPhoneOS"],
            "MinimumOSVersion": "7.0", "CFBundleDevelopmentRegion": "English"}


def project_version(repository=REPOSITORY):
    with open(os.path.join(repository, "CMakeLists.txt"), encoding="utf-8") as cmake:
        found = re.search(r"project\(\s*Quorvane\s+VERSION\s+([0-9.]+)", cmake.read())
    if found is None:
        raise ValueError("CMakeLists.txt names no project(Quorvane VERSION ...)")
    return found.group(1)


def _write_file(path, entry, built_dir):
    if entry.source == "built":
        shutil.copyfile(os.path.join(built_dir, os.path.basename(path)), path)
    elif entry.source in ("entry", "info"):
        with open(path, "wb") as out:
            plistlib.dump(pane_entry() if entry.source == "entry" else pane_info(), out)
    else:
        shutil.copyfile(entry.source, path)
    os.chmod(path, entry.mode)


def control_values(data_size):
    """What package/control's @FIELD@ placeholders become."""
    return {"VERSION": project_version(), "INSTALLED_SIZE": str(-(-data_size // 1024)),
            "DEPICTION": REPOSITORY_URL.rstrip("/") + "/" + DEPICTION,
            "ICON": "file://" + PANE_BUNDLE + "/icon@2x.png"}


def _write_control(root):
    size = sum(os.lstat(os.path.join(folder, name)).st_size
               for folder, _, names in os.walk(root) for name in names)
    with open(os.path.join(PACKAGE, "control"), encoding="utf-8") as template:
        control = template.read()
    for field, value in control_values(size).items():
        control = control.replace(f"@{field}@", value)
    os.makedirs(os.path.join(root, "DEBIAN"), mode=0o755)
    with open(os.path.join(root, "DEBIAN", "control"), "w", encoding="utf-8") as out:
        out.write(control)
    for name in MAINTAINER_SCRIPTS:
        shutil.copyfile(MAINTAINER_SCRIPT, os.path.join(root, "DEBIAN", name))
        os.chmod(os.path.join(root, "DEBIAN", name), 0o755)


def lay_out(root, built_dir):
    os.makedirs(root, mode=0o755)
    for device_path, entry in entries().items():
        path = root + device_path
        os.makedirs(os.path.dirname(path), mode=0o755, exist_ok=True)
        if entry.kind == "symlink":
            os.symlink(entry.target, path)
        else:
            _write_file(path, entry, built_dir)
    _write_control(root)


def main(argv):
    if argv[1:] == ["--version"]:
        print(project_version())
        return
    if argv[1:] == ["--slices"]:
        print(" ".join(SLICES))
        return
    if len(argv) != 3:
        sys.exit("usage: layout.py ROOT BUILT_DIR | --version")
    try:
        lay_out(argv[1], argv[2])
    except (OSError, ValueError) as error:
        sys.exit(f"layout.py: {error}")


if __name__ == "__main__":
    main(sys.argv)
