"""The armv7 build's own steps on the compiler's real output: the rewrite of the non-lazy slots
(whose binds the old linker drops), the weak definitions and C strings it would misplace, the
image info hidden from the linker and named again, and the stub libraries made from the .tbd
lists."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path[:0] = [os.path.join(REPOSITORY, "device"), os.path.join(REPOSITORY, "device", "armv7")]
import imageinfo  # noqa: E402
import slots  # noqa: E402
import stubs  # noqa: E402
import weak  # noqa: E402

TOOLS = os.path.join(REPOSITORY, "device", "armv7")
LISTS = os.path.join(REPOSITORY, "device", "tbd")

CLANG, OLD_LINKER = "clang-14", "ld64.lld.darwinold-13"
TARGET = "--target=armv7-apple-ios7.0"

# Imported data read in code and pointed at from data, a local global whose address is taken,
# and a class with its image info.
SOURCE = """
extern int qvImported;
extern const char *const qvImportedName;
static int counter;
int *const table[] = {&qvImported, &counter};
__attribute__((objc_root_class)) @interface QVRoot @end
@implementation QVRoot @end
int qvRead(void) { return qvImported + counter + (int)(long)qvImportedName; }
"""
LIST = """--- !tapi-tbd
tbd-version:     4
targets:         [ armv7-ios, arm64-ios ]
install-name:    '/usr/lib/libSystem.B.dylib'
exports:
  - targets:         [ armv7-ios, arm64-ios ]
    symbols:         [ __objc_empty_cache, _qvImported, _qvImportedName, dyld_stub_binder ]
  - targets:         [ arm64-ios ]
    symbols:         [ _qvOnly64 ]
  - targets:         [ armv7-ios ]
    symbols:         [ ___fixdfdi ]
    objc-classes:    [ NSObject ]
...
"""


def tools_missing():
    return [tool for tool in (CLANG, OLD_LINKER, "llvm-objdump-14", "llvm-nm-14")
            if shutil.which(tool) is None]


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"{command[0]} failed: {done.stderr}")
    return done.stdout


@unittest.skipIf(tools_missing(), f"not installed: {' '.join(tools_missing())}")
class Armv7BuildTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="quorvane-armv7-")
        self.addCleanup(scratch.cleanup)
        self.folder = scratch.name
        self.tbd = self.path("libSystem.tbd")
        with open(self.tbd, "w") as out:
            out.write(LIST)

    def path(self, name):
        return os.path.join(self.folder, name)

    def compiled(self):
        source = self.path("t.m")
        with open(source, "w") as out:
            out.write(SOURCE)
        run(CLANG, TARGET, "-marm", "-O2", "-S", source, "-o", self.path("t.s"))
        with open(self.path("t.s")) as file:
            return file.read()

    def linked(self, assembly):
        with open(self.path("rewritten.s"), "w") as out:
            out.write(assembly)
        run(CLANG, TARGET, "-c", self.path("rewritten.s"), "-o", self.path("t.o"))
        stubs.build(CLANG, OLD_LINKER, self.tbd, self.path("libSystem.dylib"))
        run(OLD_LINKER, "-arch", "armv7", "-dylib", "-install_name", "/x/t.dylib",
            "-ios_version_min", "7.0", "-sdk_version", "7.0", self.path("t.o"),
            self.path("libSystem.dylib"), "-o", self.path("t.dylib"))
        return self.path("t.dylib")

    def test_every_slot_becomes_a_bound_or_rebased_word(self):
        original = self.compiled()
        self.assertIn("__nl_symbol_ptr", original)  # the compiler still makes slots
        rewritten = slots.rewrite(original)
        self.assertIn("l_qvImported$non_lazy_ptr:\n\t.long\t_qvImported", rewritten)
        self.assertNotRegex(rewritten, r"\bL_\w+\$non_lazy_ptr")
        binds = run("llvm-objdump-14", "--macho", "--bind", self.linked(
            imageinfo.hidden_in_assembly(rewritten)))
        bound = [line.split()[-1] for line in binds.splitlines()[2:] if line.strip()]
        # Each import read through a slot or pointed at from data has a bind of its own.
        self.assertGreaterEqual(bound.count("_qvImported"), 2, binds)
        self.assertIn("_qvImportedName", bound)

    def test_a_slot_in_a_shape_the_rewrite_does_not_know_fails(self):
        odd = ("\t.section\t__DATA,__nl_symbol_ptr,non_lazy_symbol_pointers\n"
               "L_x$non_lazy_ptr:\n\t.indirect_symbol\t_x\n\t.long\t4\n")
        with self.assertRaisesRegex(slots.RewriteError, r"line 2: slot L_x\$non_lazy_ptr"):
            slots.rewrite(odd)

    def test_the_image_info_is_linked_hidden_and_named_again_once(self):
        dylib = self.linked(imageinfo.hidden_in_assembly(slots.rewrite(self.compiled())))
        with open(dylib, "rb") as file:
            data = file.read()
        restored = imageinfo.restored(data)
        names = [name for _, name in imageinfo._section_headers(restored)]
        self.assertEqual(names.count(imageinfo.REAL), 1)
        self.assertNotIn(imageinfo.HIDDEN, names)
        self.assertIn(b"__objc_classlist", names)
        with self.assertRaisesRegex(imageinfo.ImageInfoError, "found 0 and 1"):
            imageinfo.restored(restored)

    def test_a_stub_defines_what_its_list_gives_armv7_and_no_more(self):
        stubs.build(CLANG, OLD_LINKER, self.tbd, self.path("stub.dylib"))
        listing = run("llvm-nm-14", "-gU", self.path("stub.dylib"))
        defined = {line.split()[-1] for line in listing.splitlines()}
        self.assertEqual(defined, {"__objc_empty_cache", "_qvImported", "_qvImportedName", "dyld_stub_binder",
                                   "___fixdfdi", "_OBJC_CLASS_$_NSObject",
                                   "_OBJC_METACLASS_$_NSObject"})
        self.assertIn("/usr/lib/libSystem.B.dylib",
                      run("llvm-objdump-14", "--macho", "--dylib-id", self.path("stub.dylib")))


# Two objects sharing what C++ makes weak: a template constant, an inline function's static and
# guard, and an inline variable that one object writes and the other reads, as a hook's saved
# original is; C strings beside them.
SHARED = """
template <int N> struct Name { char text[12]; };
const char *opaque(const char *);
template <Name n> const char *named() { static const char *cached = opaque(n.text); return cached; }
inline int (*original)(int) = nullptr;
"""
WRITER = SHARED + """
const char *opaque(const char *text) { return text; }
int doubled(int x) { return 2 * x; }
const char *first() { original = doubled; return named<Name<1>{"alloc"}>(); }
"""
READER = SHARED + """
int call(int x) { return original ? original(x) : -1; }
const char *second() { return named<Name<1>{"alloc"}>(); }
const char *label() { return "UIView"; }
"""


@unittest.skipIf(tools_missing(), f"not installed: {' '.join(tools_missing())}")
class Armv7SharedDefinitionsTest(unittest.TestCase):
    """The build's compile and link, end to end, on what the old linker coalesces."""

    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="quorvane-armv7-")
        self.addCleanup(scratch.cleanup)
        self.folder = scratch.name
        for library in ("libSystem", "libc++"):
            stubs.build(CLANG, OLD_LINKER, os.path.join(LISTS, f"{library}.tbd"),
                        self.path(f"{library}.dylib"),
                        None if library == "libSystem" else self.path("libSystem.dylib"))

    def path(self, name):
        return os.path.join(self.folder, name)

    def compiled(self, name, source):
        """The object the build's launcher makes of source, with the build's flags."""
        with open(self.path(f"{name}.cpp"), "w") as out:
            out.write(source)
        run("/usr/bin/python3", "-B", os.path.join(TOOLS, "compile.py"), "clang++-14", TARGET,
            "-marm", "-O2", "-std=c++20", "-fno-exceptions", "-fvisibility=hidden",
            "-fvisibility-inlines-hidden", "-o", self.path(f"{name}.o"), "-c",
            self.path(f"{name}.cpp"))
        return self.path(f"{name}.o")

    def link(self, objects):
        return subprocess.run(
            ["/usr/bin/python3", "-B", os.path.join(TOOLS, "link.py"), "-arch", "armv7", "-dylib",
             "-install_name", "/x/t.dylib", "-ios_version_min", "7.0", "-sdk_version", "7.0",
             *objects, self.path("libSystem.dylib"), self.path("libc++.dylib"), "-o",
             self.path("t.dylib")], capture_output=True, text=True)

    def test_shared_definitions_link_to_one_checked_image(self):
        objects = [self.compiled("writer", WRITER), self.compiled("reader", READER)]
        done = self.link(objects)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("relocations:", done.stdout)
        symbols = run("llvm-nm-14", "-m", self.path("t.dylib"))
        # The variable one object writes and the other reads is one definition, zero-filled.
        self.assertEqual(symbols.count("__ZN8originalE") + symbols.count(" _original"), 1,
                         symbols)
        self.assertNotIn("weak", symbols)

    def test_without_the_rewrite_the_check_refuses_the_link(self):
        plain = []
        for name, source in (("writer", WRITER), ("reader", READER)):
            with open(self.path(f"{name}.cpp"), "w") as out:
                out.write(source)
            run("clang++-14", TARGET, "-marm", "-O2", "-std=c++20", "-fno-exceptions",
                "-fvisibility=hidden", "-fvisibility-inlines-hidden", "-S",
                self.path(f"{name}.cpp"), "-o", self.path(f"{name}.s"))
            with open(self.path(f"{name}.s")) as file:
                text = slots.rewrite(file.read())
            with open(self.path(f"{name}.plain.s"), "w") as out:
                out.write(text)
            run(CLANG, TARGET, "-c", self.path(f"{name}.plain.s"), "-o", self.path(f"{name}.o"))
            plain.append(self.path(f"{name}.o"))
        done = self.link(plain)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("does not hold what its objects ask for", done.stderr)
        self.assertFalse(os.path.exists(self.path("t.dylib")))  # nothing left to ship

    def test_writable_weak_data_that_starts_non_zero_fails_the_compile(self):
        with self.assertRaisesRegex(weak.WeakError, "starts non-zero"):
            weak.rewrite("\t.section\t__DATA,__data\n\t.globl\t_x\n\t.weak_definition\t_x\n"
                         "\t.p2align\t2\n_x:\n\t.long\t42\n")


if __name__ == "__main__":
    unittest.main()
