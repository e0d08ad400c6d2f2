"""The emulator's armv7 calling convention against clang's: a small armv7 dylib, built as the
package's slices are (slots rewritten, the old linker), is called from the emulator and calls
imports that the emulator answers, with 64-bit values split between r3 and the stack, structs
in registers and memory, results through r0, variadic arguments and narrow integers. Skipped
without clang-14 and the old linker."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))))
sys.path.insert(0, os.path.join(REPOSITORY, "device", "emulator"))
from armv7_abi import Arm32  # noqa: E402
from image import Image  # noqa: E402
from loader import map_image  # noqa: E402
from machine import EmulationError, Machine  # noqa: E402

CLANG, OLD_LINKER = "clang-14", "ld64.lld.darwinold-13"
TARGET = "--target=armv7-apple-ios8.0"
TIME = "{CMTime=qiIq}"

SYSTEM = """
	.text
	.globl dyld_stub_binder
dyld_stub_binder:
	bx lr
"""
SOURCE = """
typedef struct { long long value; int timescale; unsigned flags; long long epoch; } CMTime;
typedef struct { float width, height; } CGSize;
typedef struct { short low, high; } Pair;
typedef struct { int only; } Boxed;
extern CMTime qvMake(long long value, int timescale);
extern double qvMix(int a, long long b, double c, int d, long long e);
extern CGSize qvSize(void *self, void *cmd, float scale);
extern void qvLog(int level, const char *format, ...);
extern Pair qvPair(signed char c);
extern Boxed qvBoxed(int n);
CMTime remade(int add, long long value, int timescale) {
  CMTime time = qvMake(value + add, timescale);
  time.epoch = 7;
  return time;
}
double mixed(int a, long long b, double c, int d, long long e) {
  return qvMix(a, b, c, d, e) * 2;
}
float area(void *self) { CGSize size = qvSize(self, 0, 3.0f); return size.width * size.height; }
void logged(long long q, double d, int i) { qvLog(4, "%lld %f %d", q, d, i); }
int pairs(signed char c) { Pair p = qvPair(c); return p.low * 1000 + p.high; }
int boxed(int n) { return qvBoxed(n).only + 1; }
signed char negated(signed char c) { return -c; }
"""


def _tools_missing():
    return shutil.which(CLANG) is None or shutil.which(OLD_LINKER) is None


def _run(*command):
    subprocess.run(command, check=True, capture_output=True)


def build_dylib(folder):
    """The source as an armv7 dylib, linked as the package's slices are."""
    def path(name):
        return os.path.join(folder, name)
    with open(path("sys.s"), "w") as file:
        file.write(SYSTEM)
    with open(path("t.c"), "w") as file:
        file.write(SOURCE)
    _run(CLANG, TARGET, "-c", path("sys.s"), "-o", path("sys.o"))
    _run(OLD_LINKER, "-arch", "armv7", "-dylib", "-install_name", "/usr/lib/libSystem.B.dylib",
         "-ios_version_min", "8.0", path("sys.o"), "-o", path("libSystem.dylib"))
    _run(CLANG, TARGET, "-marm", "-O2", "-S", path("t.c"), "-o", path("t.s"))
    _run("/usr/bin/python3", os.path.join(REPOSITORY, "device", "armv7", "slots.py"),
         path("t.s"), path("t2.s"))
    _run(CLANG, TARGET, "-c", path("t2.s"), "-o", path("t.o"))
    _run(OLD_LINKER, "-arch", "armv7", "-dylib", "-install_name", "/x/t.dylib",
         "-ios_version_min", "8.0", "-undefined", "dynamic_lookup", path("t.o"),
         path("libSystem.dylib"), "-o", path("t.dylib"))
    with open(path("t.dylib"), "rb") as file:
        return file.read()


@unittest.skipIf(_tools_missing(), "needs clang-14 and ld64.lld.darwinold-13")
class Armv7CallsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory(prefix="quorvane-armv7-abi-") as folder:
            cls.data = build_dylib(folder)

    def setUp(self):
        self.machine = Machine(Arm32)
        self.abi = self.machine.abi
        self.received = {}
        self.answers = {}
        image = Image(self.data, "t")
        self.image = map_image(self.machine, image, "t", self._resolve)

    def _resolve(self, fixup):
        return self.machine.trap(fixup.symbol, lambda: self._answer(fixup.symbol))

    def _answer(self, symbol):
        """An import: records what it was passed, answers what the test set for it."""
        signatures = {"_qvMake": (["q", "i"], TIME), "_qvMix": (["i", "q", "d", "i", "q"], "d"),
                      "_qvSize": (["@", ":", "f"], "{CGSize=ff}"),
                      "_qvPair": (["c"], "{Pair=ss}"), "_qvBoxed": (["i"], "{Boxed=i}")}
        if symbol == "_qvLog":
            level, _ = self.abi.read_arguments(["i", "*"])
            next_argument = self.abi.variadic_reader(2, ["i", "*"])
            self.received[symbol] = [level, next_argument("q"), next_argument("d"),
                                     next_argument("i")]
            return None
        if symbol not in signatures:
            raise EmulationError(f"{symbol} is called, and the test does not answer it")
        arguments, result = signatures[symbol]
        self.received[symbol] = self.abi.read_arguments(arguments, result_type=result)
        self.abi.write_result(result, self.answers[symbol])
        return None

    def call(self, name, types, arguments, result):
        return self.machine.call(self.image.export("_" + name), arguments, types, result)

    def test_64_bit_values_split_between_r3_and_the_stack(self):
        self.answers["_qvMix"] = 1.25
        arguments = [1, -(1 << 40), 2.5, 9, (1 << 33) + 5]
        self.assertEqual(self.call("mixed", ["i", "q", "d", "i", "q"], arguments, "d"), 2.5)
        self.assertEqual(self.received["_qvMix"], arguments)

    def test_struct_results_through_memory_named_in_r0(self):
        self.answers["_qvMake"] = ((1 << 33) + 3, 240, 1, 0)
        result = self.call("remade", ["i", "q", "i"], [3, 1 << 33, 240], TIME)
        self.assertEqual(result, ((1 << 33) + 3, 240, 1, 7))
        self.assertEqual(self.received["_qvMake"], [(1 << 33) + 3, 240])
        self.answers["_qvSize"] = (2.0, 5.0)
        self.assertEqual(self.call("area", ["^v"], [0x1234], "f"), 10.0)
        self.assertEqual(self.received["_qvSize"], [0x1234, 0, 3.0])

    def test_only_an_integer_like_struct_comes_back_in_r0(self):
        self.answers["_qvPair"] = (-2, 7)
        self.assertEqual(self.call("pairs", ["c"], [-5], "i"), -1993)
        self.assertEqual(self.received["_qvPair"], [-5])
        self.answers["_qvBoxed"] = (41,)
        self.assertEqual(self.call("boxed", ["i"], [0], "i"), 42)

    def test_variadic_arguments_are_packed_words(self):
        self.call("logged", ["q", "d", "i"], [-5, 3.5, 11], "v")
        self.assertEqual(self.received["_qvLog"], [4, -5, 3.5, 11])

    def test_narrow_integers_are_widened_by_the_caller(self):
        self.assertEqual(self.call("negated", ["c"], [-7], "c"), 7)
        self.assertEqual(self.call("negated", ["c"], [5], "c"), -5)


class Armv7SpellingTest(unittest.TestCase):
    def test_the_linux_spelling_becomes_armv7s(self):
        self.assertEqual(Arm32.spell("C@:qq@"), "c@:ii@")
        self.assertEqual(Arm32.spell("v@:Cd"), "v@:cd")  # NSTimeInterval stays double
        self.assertEqual(Arm32.spell("@@:{CGRect={CGPoint=dd}{CGSize=dd}}"),
                         "@@:{CGRect={CGPoint=ff}{CGSize=ff}}")
        self.assertEqual(Arm32.spell("Q@:@C"), "I@:@c")  # NSUInteger
        self.assertEqual(Arm32.spell("v@:Q", "hv_setFPS:"), "v@:Q")
        self.assertEqual(Arm32.spell("v@:" + TIME), "v@:" + TIME)


if __name__ == "__main__":
    unittest.main()
