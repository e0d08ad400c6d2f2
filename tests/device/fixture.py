"""Tiny stand-ins of the device libraries, built as the device build builds the real ones: an
arm64 slice by clang-14 and ld64.lld-14 against .tbd lists with an exported-symbols list and the
linker's ad-hoc signature, an armv7 slice through assembly with its non-lazy slots rewritten and
the old linker against stub dylibs made from the same lists; combined by lipo, then signed and
packed as the package build does.
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

COMPILER, LINKER, OLD_LINKER = "clang-14", "ld64.lld-14", "ld64.lld.darwinold-13"
LIPO, PYTHON = "llvm-lipo-14", "/usr/bin/python3"
ARMV7_TOOLS = os.path.join(REPOSITORY, "device", "armv7")
VERIFIER = os.path.join(REPOSITORY, "scripts", "verify-device.py")
# The slices of every shipped file; the lists name both targets.
SLICES = ("arm64", "armv7")
TBD_TARGETS = "armv7-ios, arm64-ios"


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
__attribute__((visibility("hidden"))) void *qvPaneClass(void) {
  return objc_getClass("PSListController");
}
"""
UNLISTED = ("libz", "/usr/lib/libz.1.dylib", "symbols: [ _compress ]")
MAP = "{\n  global:\n    qvAnswer;\n  local:\n    *;\n};\n"
MINIMUM = {"QuorvaneiOS8": "8.0", "QuorvaneiOS7": "7.0", layout.PANE_NAME: "7.0"}


def require_toolchain(test):
    missing = [name for name in (COMPILER, LINKER, OLD_LINKER, LIPO, "dpkg-deb")
               if shutil.which(name) is None]
    if missing:
        test.skipTest(f"{', '.join(missing)} not installed: the fixture dylibs cannot be built")


def run(*command):
    subprocess.run(command, check=True)


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


def compile_slice(arch, minimum, c_file):
    """c_file's object for arch; armv7's goes through assembly whose non-lazy slots are
    rewritten, or the old linker would drop their binds."""
    target, assembly = f"--target={arch}-apple-ios{minimum}", f"{c_file}.s"
    if arch == "arm64":
        run(COMPILER, target, "-c", c_file, "-o", c_file + ".o")
    else:
        run(COMPILER, target, "-marm", "-S", c_file, "-o", assembly)
        run(PYTHON, "-B", os.path.join(ARMV7_TOOLS, "slots.py"), assembly, assembly + ".slots.s")
        run(COMPILER, target, "-c", assembly + ".slots.s", "-o", c_file + ".o")
    return c_file + ".o"


def linker_command(arch, minimum, kind, signature):
    """The linker of arch with its fixed options; only arm64's writes a signature. __text
    starts a page of its own in armv7, so the signer has room for the signature's command."""
    if arch == "arm64":
        return [LINKER, "-arch", "arm64", "-platform_version", "ios", minimum, minimum, kind,
                signature]
    return [OLD_LINKER, "-arch", "armv7", kind, "-ios_version_min", minimum, "-sdk_version",
            minimum, "-sectalign", "__TEXT", "__text", "0x1000"]


def universal(output, slices):
    """The slices combined at output by lipo, or the one slice alone as a thin file."""
    if len(slices) == 1:
        shutil.copyfile(slices[0], output)
    else:
        run(LIPO, "-create", *slices, "-output", output)
    return output


def write_tbd(folder, name, install_name, body):
    return write(os.path.join(folder, f"{name}.tbd"),
                 f"--- !tapi-tbd\ntbd-version: 4\ntargets: [ {TBD_TARGETS} ]\n"
                 f"install-name: '{install_name}'\nexports:\n  - targets: [ {TBD_TARGETS} ]\n"
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

    def armv7_stub(self, tbd):
        """The stub dylib the old linker, which reads no .tbd, takes for one list: made once,
        linked against libSystem's as every dylib is."""
        stub = os.path.join(self.folder, "armv7-stubs", os.path.basename(tbd)[:-4] + ".dylib")
        if not os.path.exists(stub):
            libsystem = os.path.join(self.tbd, "libSystem.tbd")
            against = [] if tbd == libsystem else [self.armv7_stub(libsystem)]
            os.makedirs(os.path.dirname(stub), exist_ok=True)
            run(PYTHON, "-B", os.path.join(ARMV7_TOOLS, "stubs.py"), COMPILER, OLD_LINKER, tbd,
                stub, *against)
        return stub

    def link_slice(self, arch, name, folder, source, kind, options, tbds,
                   signature="-adhoc_codesign"):
        """folder/ARCH/name: one slice of the image for arch, linked by its linker alone."""
        os.makedirs(os.path.join(folder, arch), exist_ok=True)
        output = os.path.join(folder, arch, name)
        minimum = MINIMUM[os.path.splitext(name)[0]]
        libraries = tbds if arch == "arm64" else [self.armv7_stub(tbd) for tbd in tbds]
        run(*linker_command(arch, minimum, kind, signature), *options,
            compile_slice(arch, minimum, write(output + ".c", source)), *libraries, "-o", output)
        return output

    def library_slice(self, arch, name, folder, signature, source=SOURCE, extra_exports=(),
                      extra_stubs=()):
        with open(os.path.join(self.maps, f"{name}.map"), encoding="utf-8") as source_map:
            names = exports.device_exports(source_map.read()) + list(extra_exports)
        export_list = write(os.path.join(folder, f"{name}.{arch}.exp"), "\n".join(names) + "\n")
        options = ["-install_name", layout.library_path(name), "-exported_symbols_list",
                   export_list]
        return self.link_slice(arch, f"{name}.dylib", folder, source, "-dylib", options,
                               self.stubs + list(extra_stubs), signature)

    def build(self, name, folder, arches=SLICES, spoiled=SLICES, signature="-adhoc_codesign",
              **spoils):
        """The library as the package build has it before signing: a universal file of a slice
        per arch (a thin file for one). spoils (source, extra_exports, extra_stubs) go into the
        slices named in spoiled only."""
        os.makedirs(folder, exist_ok=True)
        slices = [self.library_slice(arch, name, folder, signature,
                                     **(spoils if arch in spoiled else {}))
                  for arch in arches]
        return universal(os.path.join(folder, f"{name}.dylib"), slices)

    def build_pane(self, folder, kind="-bundle"):
        """The pane's executable, exporting nothing, as the device build leaves it."""
        os.makedirs(folder, exist_ok=True)
        return universal(os.path.join(folder, layout.PANE_NAME), [
            self.link_slice(arch, layout.PANE_NAME, folder, PANE_SOURCE, kind, [], self.stubs)
            for arch in SLICES])

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
