"""The armv7 relocation checker on small links made with the old Mach-O linker: a correct one,
and one showing each of its faults (a dropped bind, a doubled Thumb bit, a section left under
its stand-in name, a class list dead-stripped away, a corrupted word)."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ARMV7 = os.path.join(REPOSITORY, "device", "armv7")
sys.path.insert(0, ARMV7)
import arm  # noqa: E402
import linked_image  # noqa: E402
import objects  # noqa: E402
import relocations  # noqa: E402
import slots  # noqa: E402

COMPILER, LINKER = "clang-14", "ld64.lld.darwinold-13"
TARGET = "--target=armv7-apple-ios8.0"
SYSTEM = ["dyld_stub_binder", "_puts", "_malloc", "_ext_int", "_ext_table", "__objc_empty_cache"]
TBD = """--- !tapi-tbd
tbd-version:     4
targets:         [ armv7-ios ]
install-name:    '/usr/lib/libSystem.B.dylib'
exports:
  - targets:         [ armv7-ios ]
    symbols:         [ {symbols} ]
...
"""
CORRECT = r"""
extern int puts(const char *);
extern void *malloc(unsigned long);
extern int ext_int, ext_table[];
int *imported = &ext_int;
int *imported_inside = &ext_table[3];
static int counter;
int *internal = &counter;
static int twice(int x) { return 2 * x; }
static int thrice(int x) { return 3 * x; }
int (*const methods[])(int) = { twice, thrice, 0 };
const char *names[] = { "alpha", "beta" };
int *address_of_import(void) { return &ext_int; }
int call(int i) { counter += i; puts("called"); return methods[i](i); }
void *grow(void) { return malloc(16); }
__attribute__((constructor)) static void start(void) { puts("start"); }
"""
OBJC = r"""
__attribute__((objc_root_class)) @interface Root @end
@implementation Root @end
"""


@unittest.skipUnless(shutil.which(COMPILER) and shutil.which(LINKER),
                     f"{COMPILER} or {LINKER} not installed: no armv7 link to check")
class RelocationsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="relocations-")
        stub = "\t.text\n" + "".join(f"\t.globl {s}\n{s}:\n" for s in SYSTEM) + "\tbx lr\n"
        cls.library = cls.link_objects([cls.assemble("sys", stub)], "libSystem.dylib",
                                       "/usr/lib/libSystem.B.dylib", with_system=False)
        cls.tbd = cls.write("libSystem.tbd", TBD.format(symbols=", ".join(SYSTEM)))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    # Building.

    @classmethod
    def write(cls, name, text):
        path = os.path.join(cls.folder, name)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        return path

    @classmethod
    def run_tool(cls, *command):
        done = subprocess.run(command, capture_output=True, text=True, check=False)
        if done.returncode:
            raise AssertionError(f"{command[0]} failed: {done.stderr}")

    @classmethod
    def assemble(cls, name, assembly):
        source, target = cls.write(f"{name}.s", assembly), os.path.join(cls.folder, f"{name}.o")
        cls.run_tool(COMPILER, TARGET, "-c", source, "-o", target)
        return target

    @classmethod
    def compile(cls, name, code, *flags, rewrite=True, language="c"):
        source = cls.write(f"{name}.{language[0]}", code)
        assembly = os.path.join(cls.folder, f"{name}.s")
        cls.run_tool(COMPILER, TARGET, "-O2", *flags, "-S", source, "-o", assembly)
        with open(assembly, encoding="utf-8") as generated:
            text = generated.read().replace("__objc_imageinfo", "__objc_imageinfq")
        if rewrite:
            text = slots.rewrite(text)
        return cls.assemble(name, text)

    @classmethod
    def link_objects(cls, objs, name, install_name=None, *flags, with_system=True):
        target = os.path.join(cls.folder, name)
        cls.run_tool(LINKER, "-arch", "armv7", "-dylib", "-install_name",
                     install_name or f"/x/{name}", "-ios_version_min", "8.0",
                     "-sdk_version", "8.0", *flags, *objs,
                     *([cls.library] if with_system else []), "-o", target)
        return target

    def problems(self, image, objs):
        return relocations.check(image, [self.tbd], objs)[0]

    def patched(self, image, address, change):
        """A copy of image with the word at address replaced by change(word)."""
        linked = linked_image.Linked(image)
        section = linked.section_at(address)
        offset = section.offset + address - section.addr
        with open(image, "rb") as source:
            data = bytearray(source.read())
        data[offset:offset + 4] = struct.pack("<I", change(struct.unpack_from("<I", data,
                                                                              offset)[0]))
        copy = image + ".patched"
        with open(copy, "wb") as out:
            out.write(data)
        return copy

    def address_of(self, image, name):
        return linked_image.Linked(image).definitions[name][0]

    # The checks.

    def test_correct_link_passes_and_counts_what_it_checked(self):
        obj = self.compile("correct", CORRECT, "-marm")
        problems, summary = relocations.check(self.link_objects([obj], "correct.dylib"),
                                              [self.tbd], [obj])
        self.assertEqual(problems, [])
        self.assertRegex(summary, r"relocations: [1-9]\d* binds, [1-9]\d* rebases, [1-9]\d* pc")

    def test_dropped_binds_of_non_lazy_slots_are_caught(self):
        obj = self.compile("unrewritten", CORRECT, "-marm", rewrite=False)
        problems = self.problems(self.link_objects([obj], "unrewritten.dylib"), [obj])
        self.assertTrue(any("__text" in p and "_ext_int's non-lazy slot" in p for p in problems),
                        problems)
        self.assertTrue(any("__nl_symbol_ptr slot" in p and "bound to nothing" in p
                            for p in problems), problems)

    def test_thumb_bits_on_function_pointers(self):
        thumb = self.compile("thumb", CORRECT, "-mthumb")
        image = self.link_objects([thumb], "thumb.dylib")
        # The linker's shims for Thumb tail calls (b.w) into ARM stubs add the pc to the pc.
        found = self.problems(image, [thumb])
        self.assertTrue(found and all("Thumb shim" in p and "does not add its pc" in p
                                      for p in found), found)
        table = self.address_of(image, "_methods")
        doubled = self.patched(image, table, lambda word: word + 1)
        self.assertEqual(len(self.problems(doubled, [thumb])), len(found) + 1)
        self.assertIn("the Thumb bit is added twice", "\n".join(self.problems(doubled, [thumb])))
        arm_obj = self.compile("armtable", CORRECT, "-marm")
        arm_image = self.link_objects([arm_obj], "armtable.dylib")
        marked = self.patched(arm_image, self.address_of(arm_image, "_methods"),
                              lambda word: word | 1)
        self.assertIn("a Thumb bit on ARM-mode code",
                      "\n".join(self.problems(marked, [arm_obj])))

    def test_objective_c_sections_must_survive_under_their_names(self):
        obj = self.compile("objc", OBJC, "-marm", language="m")
        image = self.link_objects([obj], "objc.dylib")
        problems = self.problems(image, [obj])
        self.assertTrue(any("__objc_imageinfq is not renamed" in p for p in problems), problems)
        with open(image, "rb") as source:
            data = source.read()
        renamed = image + ".renamed"
        with open(renamed, "wb") as out:
            out.write(data.replace(b"__objc_imageinfq", b"__objc_imageinfo", 1))
        self.assertEqual(self.problems(renamed, [obj]), [])
        stripped = self.link_objects([obj], "objc-dead.dylib", None, "-dead_strip")
        self.assertTrue(any("has no __DATA,__objc_classlist" in p
                            for p in self.problems(stripped, [obj])))

    def test_corrupted_code_is_caught_where_it_is(self):
        obj = self.compile("movw", CORRECT, "-marm")
        image = self.link_objects([obj], "movw.dylib")
        start = self.address_of(image, "_address_of_import")
        linked = linked_image.Linked(image)
        movw = next(a for a in range(start, start + 64, 4)
                    if (arm.move_immediate(linked.bytes_at(a, 4), False) or ("",))[0] == arm.MOVW)
        problems = self.problems(self.patched(image, movw, lambda word: word ^ 0x4), [obj])
        self.assertEqual(len(problems), 1, problems)
        self.assertIn(f"movw at {movw:#x}", problems[0])
        self.assertIn("movw.o: __TEXT,__text+", problems[0])
        # A call to an import (through its stub) overwritten by a nop.
        start = self.address_of(image, "_grow")
        call = next(a for a in range(start, start + 64, 4)
                    if arm.branch_destination(linked.bytes_at(a, 4), a, False))
        problems = self.problems(self.patched(image, call, lambda word: 0xE320F000), [obj])
        self.assertEqual(len(problems), 1, problems)
        self.assertIn(f"the branch at {call:#x} is gone", problems[0])

    def test_input_that_is_no_armv7_object_is_refused_in_a_line(self):
        with self.assertRaisesRegex(objects.ObjectError, "not a 32-bit ARM Mach-O object"):
            relocations.check(self.library, [self.tbd], [self.write("junk.o", "junk" * 10)])
        with self.assertRaisesRegex(relocations.CheckError, "not a TAPI stub"):
            relocations.read_tbds([self.write("bad.tbd", "--- !tapi-tbd\nfoo: 1\n...\n")])


if __name__ == "__main__":
    unittest.main()
