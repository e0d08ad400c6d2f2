"""Tiny stand-ins of the device libraries, built as the device build builds the real ones:
clang-14 for arm64 iOS, ld64.lld-14 against .tbd lists with an exported-symbols list and the
linker's ad-hoc signature; then signed and packed as the package build does.
"""
import os
import runpy
import shutil
import subprocess
import sys
import tempfile
import struct
import types
import unittest
import zlib

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path[:0] = [os.path.join(REPOSITORY, "device"), os.path.join(REPOSITORY, "device", "sign")]
import codesign  # noqa: E402
import exports  # noqa: E402
import layout  # noqa: E402

COMPILER, LINKER = "clang-14", "ld64.lld-14"
VERIFIER = os.path.join(REPOSITORY, "scripts", "verify-device.py")


def load_verifier():
    """scripts/verify-device.py's functions and constants."""
    return types.SimpleNamespace(**runpy.run_path(VERIFIER))


SOURCE = """
extern int puts(const char *);
extern void *objc_getClass(const char *);
int qvAnswer = 42;
int qvHidden(void) { return 3; }
__attribute__((constructor)) static void start(void) { puts("start"); objc_getClass("X"); }
"""

STUBS = {
    "libSystem": ("/usr/lib/libSystem.B.dylib", "symbols: [ _puts, dyld_stub_binder ]"),
    "libobjc": ("/usr/lib/libobjc.A.dylib", "symbols: [ _objc_getClass ]\n"
                "    objc-classes: [ NSObject ]"),
}
PANE_SOURCE = """
extern void *objc_getClass(const char *);
void *qvPaneClass(void) { return objc_getClass("PSListController"); }
"""
UNLISTED = ("libz", "/usr/lib/libz.1.dylib", "symbols: [ _compress ]")
MAP = "{\n  global:\n    qvAnswer;\n  local:\n    *;\n};\n"
MINIMUM = {"QuorvaneiOS8": "8.0", "QuorvaneiOS7": "7.0", layout.PANE_NAME: "7.0"}


def require_toolchain(test):
    missing = [name for name in (COMPILER, LINKER, "dpkg-deb") if shutil.which(name) is None]
    if missing:
        test.skipTest(f"{', '.join(missing)} not installed: the fixture dylibs cannot be built")


def write(path, text):
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    return path


def png(side):
    """A grey square PNG of side × side pixels."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\0" + b"\x80" * side for _ in range(side))
    header = struct.pack(">IIBBBBB", side, side, 8, 0, 0, 0, 0)  # 8-bit grey
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) +
            chunk(b"IEND", b""))


def write_tbd(folder, name, install_name, body):
    return write(os.path.join(folder, f"{name}.tbd"),
                 f"--- !tapi-tbd\ntbd-version: 4\ntargets: [ arm64-ios ]\n"
                 f"install-name: '{install_name}'\nexports:\n  - targets: [ arm64-ios ]\n"
                 f"    {body}\n...\n")


class Fixture:
    """A scratch folder with the stubs, the export maps and a build of each library."""

    def __init__(self, folder):
        self.folder = folder
        self.tbd = os.path.join(folder, "tbd")
        self.maps = os.path.join(folder, "maps")
        os.makedirs(self.tbd)
        os.makedirs(self.maps)
        self.stubs = [write_tbd(self.tbd, name, *stub) for name, stub in STUBS.items()]
        self.unlisted = write_tbd(folder, *UNLISTED)
        for name in layout.LIBRARIES:
            write(os.path.join(self.maps, f"{name}.map"), MAP)

    def build(self, name, folder, source=SOURCE, extra_exports=(), extra_stubs=(),
              signature="-adhoc_codesign"):
        """The library linked by the linker alone, as the device build leaves it."""
        os.makedirs(folder, exist_ok=True)
        target = f"arm64-apple-ios{MINIMUM[name]}"
        c_file = write(os.path.join(folder, f"{name}.c"), source)
        with open(os.path.join(self.maps, f"{name}.map"), encoding="utf-8") as source_map:
            names = exports.device_exports(source_map.read()) + list(extra_exports)
        export_list = write(os.path.join(folder, f"{name}.exp"), "\n".join(names) + "\n")
        subprocess.run([COMPILER, "-target", target, "-c", c_file, "-o", c_file + ".o"],
                       check=True)
        dylib = os.path.join(folder, f"{name}.dylib")
        subprocess.run([LINKER, "-arch", "arm64", "-platform_version", "ios", MINIMUM[name],
                        MINIMUM[name], "-dylib", signature, "-install_name",
                        layout.library_path(name), "-exported_symbols_list", export_list,
                        c_file + ".o", *self.stubs, *extra_stubs, "-o", dylib], check=True)
        return dylib

    def build_pane(self, folder, kind="-bundle"):
        """The pane's executable, exporting nothing, as the device build leaves it."""
        os.makedirs(folder, exist_ok=True)
        c_file = write(os.path.join(folder, "pane.c"), PANE_SOURCE)
        subprocess.run([COMPILER, "-target", "arm64-apple-ios7.0", "-fvisibility=hidden", "-c",
                        c_file, "-o", c_file + ".o"], check=True)
        executable = os.path.join(folder, layout.PANE_NAME)
        subprocess.run([LINKER, "-arch", "arm64", "-platform_version", "ios", "7.0", "7.0",
                        kind, "-adhoc_codesign", c_file + ".o", *self.stubs, "-o", executable],
                       check=True)
        return executable

    def package(self, label, change=None, pane_kind="-bundle", **build):
        """A signed package of both libraries and the pane; change(name, path) may spoil one
        of them, or an icon, first."""
        libraries = os.path.join(self.folder, label, "lib")
        built = [(name, self.build(name, libraries, **build.get(name, {})))
                 for name in layout.LIBRARIES]
        built.append((layout.PANE_NAME, self.build_pane(libraries, pane_kind)))
        for _, path in built:
            codesign.sign_file(path)
        for icon, side in layout.PANE_ICONS.items():
            name = os.path.basename(icon)
            with open(os.path.join(libraries, name), "wb") as out:
                out.write(png(side))
            built.append((name, out.name))
        for name, path in built:
            if change:
                change(name, path)
        root = os.path.join(self.folder, label, "root")
        layout.lay_out(root, libraries)
        deb = os.path.join(self.folder, label, "quorvane.deb")
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zgzip", "-b", root, deb],
                       check=True, capture_output=True)
        return deb


class FixtureTest(unittest.TestCase):
    """Skips when the toolchain is missing; gives each test a scratch folder."""

    def setUp(self):
        require_toolchain(self)
        scratch = tempfile.TemporaryDirectory(prefix="quorvane-device-")
        self.addCleanup(scratch.cleanup)
        self.fixture = Fixture(scratch.name)
