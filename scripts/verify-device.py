#!/usr/bin/python3
"""Checks a device package as far as it can be checked without a device: each Mach-O file holds
the slices the package ships (thin for one, universal for more), each checked on its own: each dylib's
format, minimum system, exports (the same on both slices), imports, constructor and signature; the settings pane's bundle (its
executable's format, minimum system, imports and signature, Info.plist, icons, entry and
specifiers); the control fields and maintainer scripts; the file tree; the loader's filters.
Prints one line per failure and exits 1, or prints each Mach-O file's size and imports and
exits 0.

    verify-device.py [--tbd DIR] [--maps DIR] [--systems FILE] [--slices A,B] PACKAGE.deb

--tbd holds the .tbd lists of what may be imported (device/tbd), --maps the libraries' version
scripts that name their exports (libraries/), --systems the published system releases
(host/devices/systems.yaml).
"""
import argparse
import collections
import io
import os
import plistlib
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile

import yaml

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(REPOSITORY, "device"), os.path.join(REPOSITORY, "device", "sign")]
import codesign  # noqa: E402
import exports  # noqa: E402
import layout  # noqa: E402
import macho  # noqa: E402
import tapi  # noqa: E402

MINIMUM_IOS = {"QuorvaneiOS8": (8, 0, 0), "QuorvaneiOS7": (7, 0, 0),
               layout.PANE_NAME: (7, 0, 0)}
BUNDLES = ["com.apple.camera", "com.apple.mobileslideshow"]
SETTINGS_KEYS = ("EnableSlalom", "MogulFramerate", "ForceSlalom", "FakeFPS", "hideIndicator",
                 "indicatorTap", "mailMax", "rate", "volumeRamp", "aFPS")
SETTINGS_DEFAULTS = "com.Tovi.Halvenor"
SETTINGS_NOTIFICATION = "com.Tovi.Halvenor.prefs"
# A filter bound this close to a published release number would hang on float rounding.
BOUND_MARGIN = 1.0
CONTROL_FIELDS = ("Package", "Name", "Version", "Architecture", "Depends", "Section",
                  "Maintainer", "Author", "Description", "Depiction", "Icon")
# Substrate's first arm64 release; no library loads on iOS 9.3 or later (package/filters/).
# While the files hold no armv7 slice, cy+cpu.arm64 (the package manager's virtual package of
# 64-bit devices) keeps 32-bit devices out.
DEPENDS = ("mobilesubstrate (>= 0.9.5000), preferenceloader, firmware (>= 7.0), "
           "firmware (<< 9.3)" + ("" if "armv7" in layout.SLICES else ", cy+cpu.arm64"))
# The rate and the volume are decimals: their fields need a keyboard with a decimal point.
DECIMAL_KEYS = ("rate", "volumeRamp")
# dyld's special ordinals, as llvm-objdump names them: none is a two-level bind.
FLAT_LOOKUPS = {"flat-namespace", "this-image", "main-executable", "weak"}


class Failure(Exception):
    """A package that cannot be examined further."""


def tool(name):
    # llvm-objdump-14, or an unversioned llvm-objdump where the versioned one is not installed.
    found = shutil.which(name) or shutil.which(re.sub(r"-[0-9]+$", "", name))
    if found is None:
        raise Failure(f"{name} is not installed")
    return found


def run(*command):
    done = subprocess.run(command, capture_output=True, check=False)
    if done.returncode != 0:
        raise Failure(f"{os.path.basename(command[0])} failed: "
                      f"{done.stderr.decode(errors='replace').strip()}")
    return done.stdout


# --- the stubs: what each system library exports -------------------------------------------

def read_tbds(folder, arch):
    """{install name: the symbols it gives the slice}, from the .tbd lists in folder."""
    try:
        return tapi.read_folder(folder, arch)
    except tapi.TbdError as error:
        raise Failure(str(error)) from None


# --- one dylib --------------------------------------------------------------------------------

def short_name(install_name):
    """The name llvm-objdump and llvm-nm give a library: libSystem.B.dylib is libSystem."""
    return os.path.basename(install_name).split(".", 1)[0]


def exported_names(path):
    listing = run(tool("llvm-objdump-14"), "--macho", "--exports-trie", path).decode()
    return {m.group(1) for m in re.finditer(r"^0x[0-9A-Fa-f]+\s+(\S+)", listing, re.M)}


def export_problems(path, name, maps):
    with open(os.path.join(maps, f"{name}.map"), encoding="utf-8") as source:
        expected = set(exports.device_exports(source.read()))
    found = exported_names(path)
    return ([f"exports {symbol}, which is not on its list" for symbol in sorted(found - expected)] +
            [f"does not export {symbol}" for symbol in sorted(expected - found)])


def bind_rows(path):
    """(table, library, symbol, line) of every bind the image asks dyld for."""
    listing = run(tool("llvm-objdump-14"), "--macho", "--bind", "--lazy-bind", "--weak-bind",
                  path).decode()
    rows, table = [], None
    for line in listing.splitlines():
        heading = re.match(r"^(Bind|Lazy bind|Weak bind) table:", line)
        if heading:
            table = heading.group(1)
            continue
        fields = line.split()
        if table is None or not fields or fields[0] == "segment" or len(fields) < 4:
            continue
        if table == "Weak bind":
            rows.append((table, None, fields[-1], line))
        else:
            symbol_at = -2 if fields[-1] == "(weak_import)" else -1
            rows.append((table, fields[symbol_at - 1], fields[symbol_at], line))
    return rows


def undefined_symbols(path):
    """(symbol, library short name or None, weak) of each undefined symbol, from llvm-nm."""
    listing = run(tool("llvm-nm-14"), "-m", path).decode()
    found = []
    for line in listing.splitlines():
        match = re.search(r"\(undefined\) (.*?)external (\S+)(?: \(from ([^)]+)\))?", line)
        if match:
            found.append((match.group(2), match.group(3), "weak" in match.group(1)))
    return found


def import_problems(path, image, tbds):
    problems = [f"links {name}, which is not on the lists" for _, name in image.dylibs
                if name not in tbds]
    problems += [f"{command} {name}: only LC_LOAD_DYLIB is expected"
                 for command, name in image.dylibs if command != "LC_LOAD_DYLIB"]
    linked = {short_name(name): name for _, name in image.dylibs if name in tbds}
    for table, library, symbol, line in bind_rows(path):
        if table == "Weak bind":
            problems.append(f"weak bind of {symbol}: resolved across images at load")
        elif library in FLAT_LOOKUPS:
            problems.append(f"{symbol} is bound by {library} lookup, not to a library")
        elif "(weak_import)" in line:
            problems.append(f"{symbol} is a weak import: it may be missing at run time")
    for symbol, library, weak in undefined_symbols(path):
        if library is None or library not in linked:
            problems.append(f"imports {symbol} from {library or 'no library (flat lookup)'}, "
                            "which is not on the lists")
        elif symbol not in tbds[linked[library]]:
            problems.append(f"imports {symbol}, which {linked[library]}'s list does not hold")
        elif weak:
            problems.append(f"{symbol} is a weak import: it may be missing at run time")
    return list(dict.fromkeys(problems))  # a weak import shows in both listings


def constructor_problems(image):
    word = 8 if image.is_64 else 4
    pointers = sum(section.size // word for segment in image.segments
                   for section in segment.sections if section.name == "__mod_init_func")
    offsets = sum(section.size // 4 for segment in image.segments
                  for section in segment.sections if section.name == "__init_offsets")
    count = pointers + offsets
    return [] if count == 1 else [f"has {count} static constructors, expected exactly one"]


def imports_by_library(path):
    counts = collections.Counter(library for _, library, _ in undefined_symbols(path))
    return ", ".join(f"{library} {count}" for library, count in sorted(counts.items()))


def image_problems(name, data, path, tbds, filetype):
    """What every shipped Mach-O needs: its type, two-level lookups, its minimum system, every
    import bound to a listed library, and the signature. (image or None, problems)."""
    try:
        image = macho.MachO(data, name)
    except macho.MachOError as error:
        return None, [str(error)]
    problems = []
    if image.filetype != filetype:
        problems.append(f"file type {image.filetype} is not "
                        f"{'MH_DYLIB' if filetype == macho.MH_DYLIB else 'MH_BUNDLE'}")
    if not image.flags & macho.MH_TWOLEVEL:
        problems.append("is not linked for two-level namespace lookups")
    if image.minimum_ios != MINIMUM_IOS[name]:
        shown = ".".join(map(str, image.minimum_ios or ())) or "none"
        problems.append(f"minimum iOS is {shown}, expected "
                        f"{'.'.join(map(str, MINIMUM_IOS[name][:2]))}")
    problems += import_problems(path, image, tbds)
    problems += [f"signature: {problem}"
                 for problem in codesign.signature_problems(data, name, label=name)]
    return image, problems


def library_problems(name, data, path, tbds, maps):
    image, problems = image_problems(name, data, path, tbds, macho.MH_DYLIB)
    if image is not None:
        if image.install_name != layout.library_path(name):
            problems.append(f"install name {image.install_name!r}, expected "
                            f"{layout.library_path(name)!r}")
        problems += export_problems(path, name, maps)
        problems += constructor_problems(image)
    return problems


def bundle_problems(data, path, tbds):
    """The pane's executable: a bundle that Settings loads, exporting nothing (its class is
    found through the runtime)."""
    image, problems = image_problems(layout.PANE_NAME, data, path, tbds, macho.MH_BUNDLE)
    if image is not None:
        problems += [f"exports {symbol}: the bundle exports nothing"
                     for symbol in sorted(exported_names(path))]
    return problems


# --- the package ------------------------------------------------------------------------------

def control_problems(deb):
    fields = {field: run(tool("dpkg-deb"), "--field", deb, field).decode().strip()
              for field in CONTROL_FIELDS}
    expected = {"Name": "Quorvane", "Version": layout.project_version(),
                "Architecture": "iphoneos-arm", "Depends": DEPENDS, "Section": "Tweaks",
                "Icon": "file://" + layout.PANE_BUNDLE + "/icon@2x.png"}
    problems = [f"control: {field} is {fields[field]!r}, expected {want!r}"
                for field, want in expected.items() if fields[field] != want]
    if not re.fullmatch(r"https?://[^\s/]+(/\S*)?/" + re.escape(layout.DEPICTION),
                        fields["Depiction"]):
        problems.append(f"control: Depiction {fields['Depiction']!r} is not the repository's "
                        f"{layout.DEPICTION}")
    for field in ("Maintainer", "Author"):
        if fields[field] and not re.fullmatch(r"[^<>]+ <[^@<>\s]+@[^@<>\s]+>", fields[field]):
            problems.append(f"control: {field} {fields[field]!r} is not a name <address>")
    if not re.fullmatch(r"[a-z0-9]+(\.[a-z0-9-]+)+", fields["Package"]):
        problems.append(f"control: Package {fields['Package']!r} is not a reverse-DNS name")
    problems += [f"control: {field} is empty" for field in ("Maintainer", "Author", "Description")
                 if not fields[field]]
    members = run(tool("ar"), "t", deb).decode().split()
    if members != ["debian-binary", "control.tar.gz", "data.tar.gz"]:
        problems.append(f"the archive holds {' '.join(members)}: the device's dpkg reads gzip "
                        "only")
    return problems


def maintainer_script_problems(deb):
    """postinst and postrm: executable shell scripts that end Camera and Photos and cannot fail
    the package operation."""
    archive = io.BytesIO(run(tool("dpkg-deb"), "--ctrl-tarfile", deb))
    with tarfile.open(fileobj=archive) as control:
        scripts = {os.path.basename(m.name): m for m in control.getmembers() if m.isfile()}
        problems = []
        for name in layout.MAINTAINER_SCRIPTS:
            member = scripts.get(name)
            if member is None:
                problems.append(f"{name}: missing")
                continue
            if member.mode & 0o7777 != 0o755:
                problems.append(f"{name}: mode {member.mode & 0o7777:o}, expected 755")
            text = control.extractfile(member).read().decode(errors="replace")
            if not text.startswith("#!/bin/sh\n"):
                problems.append(f"{name}: not a /bin/sh script")
            if "killall Camera MobileSlideShow 2>/dev/null || true" not in text:
                problems.append(f"{name}: does not end Camera and Photos without failing")
    return problems


def member_path(member):
    name = member.name.removeprefix("./").rstrip("/")
    return "/" if name in ("", ".") else "/" + name


def tree_problems(members):
    expected = layout.entries()
    folders = {"/"} | {os.path.dirname(path) for path in expected}
    while any(os.path.dirname(folder) not in folders for folder in folders):
        folders |= {os.path.dirname(folder) for folder in folders}
    problems, seen = [], set()
    for member in members:
        path = member_path(member)
        seen.add(path)
        if member.uid != 0 or member.gid != 0:
            problems.append(f"{path}: owned by {member.uid}:{member.gid}, expected root")
        if member.isdir():
            if path not in folders:
                problems.append(f"{path}: an unexpected folder")
            continue
        entry = expected.get(path)
        if entry is None:
            problems.append(f"{path}: an unexpected file")
        elif entry.kind == "symlink":
            if not member.issym() or member.linkname != entry.target:
                problems.append(f"{path}: should be a symlink to {entry.target}")
        elif not member.isfile():
            problems.append(f"{path}: should be a regular file")
        elif member.mode & 0o7777 != entry.mode:
            problems.append(f"{path}: mode {member.mode & 0o7777:o}, expected {entry.mode:o}")
    problems += [f"{path}: missing" for path in sorted(set(expected) - seen)]
    return problems


def _range(name, raw):
    try:
        plist = plistlib.loads(raw)
        condition = plist["Filter"]
    except Exception:  # plistlib raises several kinds for a malformed file
        return None, [f"{name}.plist: not a property list with a Filter dictionary"]
    problems = []
    if condition.get("Bundles") != BUNDLES:
        problems.append(f"{name}.plist: Bundles {condition.get('Bundles')!r}, expected {BUNDLES}")
    bounds = condition.get("CoreFoundationVersion")
    if (not isinstance(bounds, list) or len(bounds) != 2 or
            any(isinstance(b, bool) or not isinstance(b, (int, float)) for b in bounds) or
            bounds[0] >= bounds[1]):
        return None, problems + [f"{name}.plist: CoreFoundationVersion {bounds!r} is not a "
                                 "(lowest, above highest) pair of numbers"]
    return tuple(bounds), problems


def filter_problems(filters, systems):
    """filters: {library name: plist bytes}; systems: the published releases."""
    ranges, problems = {}, []
    for name, raw in filters.items():
        bounds, found = _range(name, raw)
        problems += found
        if bounds:
            ranges[name] = bounds
    if len(ranges) == 2 and max(lo for lo, _ in ranges.values()) < min(
            hi for _, hi in ranges.values()):
        problems.append("the CoreFoundation version ranges overlap: " + " and ".join(
            f"{name} [{lo}, {hi})" for name, (lo, hi) in ranges.items()))
    for system in systems:
        number = system["core_foundation"]
        # The simulator's loader gives the iOS 7 generation QuorvaneiOS7, every later one
        # QuorvaneiOS8.
        want = ["QuorvaneiOS7" if system["generation"] == "ios7" else "QuorvaneiOS8"]
        loaded = sorted(name for name, (lo, hi) in ranges.items() if lo <= number < hi)
        if loaded != want:
            problems.append(f"iOS {system['version']} (CoreFoundation {number}) loads "
                            f"{' and '.join(loaded) or 'nothing'}, expected {want[0]}")
        problems += [f"{name}.plist: bound {bound} lies within {BOUND_MARGIN} of iOS "
                     f"{system['version']}'s {number}"
                     for name, bounds in ranges.items() for bound in bounds
                     if abs(bound - number) < BOUND_MARGIN]
    return problems


def _specifier_problems(item):
    key, problems = item["key"], []
    for field, want in (("defaults", SETTINGS_DEFAULTS), ("PostNotification",
                                                          SETTINGS_NOTIFICATION)):
        if item.get(field) != want:
            problems.append(f"{key}: {field} is {item.get(field)!r}, expected {want!r}")
    if not isinstance(item.get("label"), str) or not item["label"]:
        problems.append(f"{key}: has no label")
    default, cell = item.get("default"), item.get("cell")
    if cell == "PSSwitchCell":
        if not isinstance(default, bool):
            problems.append(f"{key}: a switch needs a true or false default, not {default!r}")
    elif cell == "PSEditTextCell":
        if item.get("keyboard") != "numbers" or item.get("isNumeric") is not True:
            problems.append(f"{key}: a number field needs keyboard numbers and isNumeric")
        if (item.get("isDecimalPad") is True) != (key in DECIMAL_KEYS):
            problems.append(f"{key}: isDecimalPad is {item.get('isDecimalPad')!r}, expected "
                            f"{True if key in DECIMAL_KEYS else None}")
        if not isinstance(default, str) or not re.fullmatch(r"-?[0-9]+(\.[0-9]+)?", default):
            problems.append(f"{key}: default {default!r} is not a number as text")
    else:
        problems.append(f"{key}: cell {cell!r} is neither a switch nor a number field")
    return problems


def specifier_problems(specifiers):
    """The ten settings, each once, with the pane's defaults file and notification."""
    items = specifiers.get("items") if isinstance(specifiers, dict) else None
    if not isinstance(items, list) or not all(isinstance(item, dict) for item in items):
        return ["Qel.plist: no list of specifiers under items"]
    keys = [item["key"] for item in items if "key" in item]
    problems = [f"Qel.plist: {key} appears {keys.count(key)} times"
                for key in sorted(set(keys)) if keys.count(key) > 1]
    problems += [f"Qel.plist: no specifier for {key}" for key in SETTINGS_KEYS if key not in keys]
    problems += [f"Qel.plist: {key} is not a setting" for key in keys if key not in SETTINGS_KEYS]
    return problems + [f"Qel.plist: {problem}" for item in items if "key" in item
                       for problem in _specifier_problems(item)]


def png_size(data):
    """(width, height) of a PNG file, or None for anything else."""
    if len(data) < 24 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def icon_problems(files):
    problems = []
    for path, side in layout.PANE_ICONS.items():
        size = png_size(files.get(path, b""))
        if size != (side, side):
            problems.append(f"{os.path.basename(path)}: {'%dx%d' % size if size else 'no PNG'}"
                            f", expected {side}x{side}")
    return problems


def pane_problems(files):
    try:
        specifiers, entry, info = (plistlib.loads(files.get(path, b"")) for path in (
            layout.PANE_SPECIFIERS, layout.PANE_ENTRY, layout.PANE_INFO))
    except Exception:  # plistlib raises several kinds for a malformed file
        return ["the settings pane's plists are not valid property lists"]
    with open(layout.SPECIFIERS, "rb") as source:
        problems = ([] if specifiers == plistlib.load(source) else
                    ["Qel.plist differs from package/settings/Qel.plist"])
    if entry != layout.pane_entry():
        problems.append(f"{os.path.basename(layout.PANE_ENTRY)}: {entry!r} is not the "
                        f"entry of the bundle {layout.PANE_NAME} ({layout.pane_entry()!r})")
    for key in ("CFBundleExecutable", "CFBundleIdentifier", "NSPrincipalClass"):
        if info.get(key) != layout.pane_info()[key]:
            problems.append(f"Info.plist: {key} is {info.get(key)!r}, expected "
                            f"{layout.pane_info()[key]!r}")
    return problems + icon_problems(files) + specifier_problems(specifiers)


def thin_slice(name, data, arch):
    """{arch: bytes} of a shipped thin file, which one slice alone is shipped as."""
    if macho.is_fat(data):
        return {}, [f"{name}: a universal file; expected a thin {arch} file"]
    try:
        found = macho.MachO(data, name).arch
    except macho.MachOError as error:
        return {}, [str(error)]
    return ({arch: data}, []) if found == arch else ({}, [f"{name}: {found}, expected {arch}"])


def slices_of(device_path, data, slices):
    """{arch: slice bytes} of a shipped file; Failure-free: problems are returned."""
    name = os.path.basename(device_path)
    if len(slices) == 1:
        return thin_slice(name, data, slices[0])
    if not macho.is_fat(data):
        return {}, [f"{name}: a thin file; expected the slices {', '.join(slices)}"]
    try:
        found = {macho.arch_name(arch.cputype, arch.cpusubtype): image
                 for arch, image in macho.slices(data, name)}
    except macho.MachOError as error:
        return {}, [str(error)]
    if sorted(found) != sorted(slices) or len(found) != len(macho.fat_arches(data, name)):
        return found, [f"{name}: slices {', '.join(sorted(found)) or 'none'}, expected "
                       f"{', '.join(slices)}"]
    return found, []


def slice_problems(device_path, data, slices, check, scratch, report):
    """Each slice of one shipped file checked on its own, and their exports compared."""
    name = os.path.basename(device_path)
    found, problems = slices_of(device_path, data, slices)
    exported = {}
    for arch, image in found.items():
        path = os.path.join(scratch, arch, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(image)
        slice_problems = [f"{name} ({arch}): {problem}" for problem in check(image, path, arch)]
        problems += slice_problems
        exported[arch] = exported_names(path)
        if not slice_problems:
            report.append(f"{name} ({arch}): {len(image):,} bytes; "
                          f"imports {imports_by_library(path)}")
    if len({frozenset(names) for names in exported.values()}) > 1:
        problems.append(f"{name}: its slices export different symbols")
    return problems


def read_systems(path):
    with open(path, encoding="utf-8") as source:
        return yaml.safe_load(source)["systems"]


def verify(deb, tbd_dir, maps, systems_file, slices, report):
    archive = io.BytesIO(run(tool("dpkg-deb"), "--fsys-tarfile", deb))
    with tarfile.open(fileobj=archive) as tree:
        members = tree.getmembers()
        files = {member_path(m): tree.extractfile(m).read() for m in members if m.isfile()}
    problems = (control_problems(deb) + maintainer_script_problems(deb) +
                tree_problems(members))
    tbds = {arch: read_tbds(tbd_dir, arch) for arch in slices}
    images = {layout.library_path(name): lambda data, path, arch, name=name: library_problems(
        name, data, path, tbds[arch], maps) for name in layout.LIBRARIES}
    images[layout.PANE_EXECUTABLE] = lambda data, path, arch: bundle_problems(data, path,
                                                                             tbds[arch])
    with tempfile.TemporaryDirectory() as scratch:
        for device_path, check in images.items():
            data = files.get(device_path)
            if data is not None:
                problems += slice_problems(device_path, data, slices, check, scratch, report)
    filters = {name: files.get(f"{layout.LOADER_DIR}/{name}.plist", b"")
               for name in layout.LIBRARIES}
    problems += filter_problems(filters, read_systems(systems_file))
    return problems + pane_problems(files)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--tbd", default=os.path.join(REPOSITORY, "device", "tbd"))
    parser.add_argument("--maps", default=os.path.join(REPOSITORY, "libraries"))
    parser.add_argument("--systems",
                        default=os.path.join(REPOSITORY, "host", "devices", "systems.yaml"))
    parser.add_argument("--slices", default=",".join(layout.SLICES),
                        help="the slices each Mach-O file must hold, comma-separated")
    parser.add_argument("package")
    args = parser.parse_args(argv)
    report = []
    try:
        problems = verify(args.package, args.tbd, args.maps, args.systems,
                          tuple(args.slices.split(",")), report)
    except (Failure, OSError, ValueError, yaml.YAMLError, tarfile.TarError) as error:
        problems = [f"cannot verify {args.package}: {error}"]
    print("\n".join(problems or report + [f"{args.package}: verified"]))
    if problems:
        sys.exit(1)


if __name__ == "__main__":
    main(sys.argv[1:])
