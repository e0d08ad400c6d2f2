"""The ad-hoc SHA-1 signer, read back by a parser of this file's own and checked page by page."""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import unittest

import fixture
from fixture import codesign

import macho

PAGE = 4096
EMPTY_REQUIREMENTS = bytes.fromhex("fade0c01" "0000000c" "00000000")


MH_MAGIC, MH_MAGIC_64 = 0xFEEDFACE, 0xFEEDFACF
LC_CODE_SIGNATURE, LC_SEGMENT, LC_SEGMENT_64 = 0x1D, 0x1, 0x19
CPU_TYPE_ARM, CPU_TYPE_ARM64, CPU_SUBTYPE_ARM_V7 = 12, 0x0100000C, 9
OLD_LINKER, LIPO, OBJDUMP = "ld64.lld.darwinold-13", "llvm-lipo-14", "llvm-objdump-14"
SIGN = os.path.join(fixture.REPOSITORY, "device", "sign", "sign.py")


def load_commands(data):
    """{cmd: [offset, ...]} of a thin image of either word size, from the header's fields."""
    magic, ncmds = struct.unpack_from("<I", data)[0], struct.unpack_from("<I", data, 16)[0]
    offset = {MH_MAGIC: 28, MH_MAGIC_64: 32}[magic]
    commands = {}
    for _ in range(ncmds):
        cmd, size = struct.unpack_from("<II", data, offset)
        commands.setdefault(cmd, []).append(offset)
        offset += size
    return commands


def segments(data):
    """{name: (vmsize, fileoff, filesize, [its sections' file offsets])} of a thin image."""
    commands, found = load_commands(data), {}
    # The segment command's fields after cmd and cmdsize, a section's size and where in a
    # section its file offset lies.
    for cmd, layout, section, offset_at in ((LC_SEGMENT_64, "<16sQQQQIIII", 80, 48),
                                            (LC_SEGMENT, "<16sIIIIIIII", 68, 40)):
        for offset in commands.get(cmd, []):
            name, _, vmsize, fileoff, filesize, _, _, nsects, _ = struct.unpack_from(
                layout, data, offset + 8)
            first = offset + 8 + struct.calcsize(layout)
            found[name.rstrip(b"\0").decode()] = (vmsize, fileoff, filesize, [
                struct.unpack_from("<I", data, first + i * section + offset_at)[0]
                for i in range(nsects)])
    return found


def read_signature(data):
    """The signature's fields, read straight from the bytes (big-endian blobs)."""
    dataoff, datasize = struct.unpack_from("<II", data, load_commands(data)[0x1D][0] + 8)
    blob = data[dataoff:dataoff + datasize]
    magic, _, count = struct.unpack_from(">III", blob)
    slots = dict(struct.unpack_from(">II", blob, 12 + 8 * i) for i in range(count))
    cd = blob[slots[0]:]
    fields = dict(zip(
        ("magic", "length", "version", "flags", "hashOffset", "identOffset", "nSpecialSlots",
         "nCodeSlots", "codeLimit", "hashSize", "hashType", "platform", "pageSize"),
        struct.unpack_from(">9I4B", cd)))
    at = fields["hashOffset"]
    return {"superblob": magic, "dataoff": dataoff, "datasize": datasize, "slots": slots,
            "cd": fields, "identifier": cd[fields["identOffset"]:].split(b"\0")[0].decode(),
            "pages": [cd[at + 20 * i:at + 20 * (i + 1)] for i in range(fields["nCodeSlots"])],
            "requirements_slot": cd[at - 40:at - 20],
            "requirements": blob[slots[2]:slots[2] + 12]}


def read_fat(data):
    """(cputype, cpusubtype, offset, size, align) of each fat_arch (big-endian, 20 bytes)."""
    magic, count = struct.unpack_from(">II", data)
    assert magic == 0xCAFEBABE, hex(magic)
    return [struct.unpack_from(">iiIII", data, 8 + 20 * i) for i in range(count)]


def check_signature(test, data, identifier, segment_page):
    """A thin image's SuperBlob, CodeDirectory and requirements, every page's SHA-1 hash
    recomputed here up to the code limit, which is where the signature starts, and the
    signature at the end of __LINKEDIT and of the image."""
    sig = read_signature(data)
    test.assertEqual(sig["superblob"], 0xFADE0CC0)
    test.assertEqual(
        {k: sig["cd"][k] for k in ("magic", "version", "flags", "hashType", "hashSize",
                                   "pageSize", "codeLimit", "nSpecialSlots")},
        {"magic": 0xFADE0C02, "version": 0x20001, "flags": 0x2, "hashType": 1,
         "hashSize": 20, "pageSize": 12, "codeLimit": sig["dataoff"], "nSpecialSlots": 2})
    test.assertEqual(sig["identifier"], identifier)
    limit = sig["dataoff"]
    test.assertEqual(len(sig["pages"]), -(-limit // PAGE))
    test.assertEqual(sig["pages"], [hashlib.sha1(data[i:min(i + PAGE, limit)]).digest()
                                    for i in range(0, limit, PAGE)])
    test.assertEqual(sig["requirements"], EMPTY_REQUIREMENTS)
    test.assertEqual(sig["requirements_slot"], hashlib.sha1(EMPTY_REQUIREMENTS).digest())
    test.assertEqual(sig["dataoff"] % 16, 0)
    test.assertEqual(sig["datasize"] % 16, 0)
    test.assertEqual(sig["dataoff"] + sig["datasize"], len(data))
    vmsize, fileoff, filesize, _ = segments(data)["__LINKEDIT"]
    test.assertEqual(fileoff + filesize, len(data))
    test.assertEqual(vmsize, -(-filesize // segment_page) * segment_page)
    return sig


class SignerTest(fixture.FixtureTest):
    def setUp(self):
        super().setUp()
        self.dylib = self.fixture.build("QuorvaneiOS8", os.path.join(self.fixture.folder, "lib"))
        codesign.sign_file(self.dylib)
        with open(self.dylib, "rb") as signed:
            self.data = signed.read()

    def test_the_code_directory_and_every_page_hash(self):
        check_signature(self, self.data, "QuorvaneiOS8", 0x4000)

    def test_the_signature_ends_the_file_and_linkedit(self):
        sig = read_signature(self.data)
        self.assertEqual(sig["dataoff"] + sig["datasize"], len(self.data))
        linkedit = macho.MachO(self.data).segment("__LINKEDIT")
        self.assertEqual(linkedit.fileoff + linkedit.filesize, len(self.data))
        self.assertGreaterEqual(linkedit.vmsize, linkedit.filesize)
        self.assertEqual(codesign.signature_problems(self.data, "QuorvaneiOS8"), [])

    def test_a_changed_byte_in_any_page_is_detected(self):
        limit = read_signature(self.data)["dataoff"]
        for page in range(0, -(-limit // PAGE)):
            changed = bytearray(self.data)
            changed[min(page * PAGE + 100, limit - 1)] ^= 0x01
            self.assertEqual(codesign.signature_problems(bytes(changed), "QuorvaneiOS8"),
                             [f"page {page} (offset {page * PAGE:#x}) does not match its "
                              "SHA-1 hash"])

    def test_signing_twice_gives_the_same_bytes(self):
        codesign.sign_file(self.dylib)
        with open(self.dylib, "rb") as again:
            self.assertEqual(again.read(), self.data)

    def test_a_dylib_linked_unsigned_gets_a_signature_command(self):
        unsigned = self.fixture.build("QuorvaneiOS7", os.path.join(self.fixture.folder, "plain"),
                                      signature="-no_adhoc_codesign")
        with open(unsigned, "rb") as before:
            original = before.read()
        self.assertNotIn(LC_CODE_SIGNATURE, load_commands(original))
        codesign.sign_file(unsigned)
        with open(unsigned, "rb") as after:
            data = after.read()
        sig = check_signature(self, data, "QuorvaneiOS7", 0x4000)
        end = 32 + struct.unpack_from("<I", original, 20)[0]
        self.assertEqual(load_commands(data)[LC_CODE_SIGNATURE], [end])
        self.assertEqual(sig["dataoff"], -(-len(original) // 16) * 16)
        self.assertEqual(data[end + 16:len(original)], original[end + 16:])  # the linker's
        self.assertEqual(codesign.signature_problems(data, "QuorvaneiOS7"), [])

    def test_files_it_cannot_sign_are_refused_in_one_line(self):
        fat = os.path.join(self.fixture.folder, "fat.dylib")
        shutil.copyfile(self.dylib, fat)
        with open(fat, "r+b") as out:
            out.write(struct.pack(">I", 0xCAFEBABE))
        for path, reason in ((fat, "a universal (fat) file"),
                             (os.path.join(fixture.REPOSITORY, "README.md"),
                              "not a Mach-O file")):
            done = subprocess.run(["/usr/bin/python3", SIGN, path], capture_output=True,
                                  text=True)
            self.assertEqual(done.returncode, 1)
            line = re.escape(f"sign.py: {path}: {reason}")
            self.assertRegex(done.stderr, f"^{line}[^\n]*\n$")


# --- armv7 slices, from the old linker, and universal files -----------------------------------

ARMV7_SYSTEM = """
	.text
	.globl dyld_stub_binder
	.globl _malloc
	.globl _puts
dyld_stub_binder:
_malloc:
_puts:
	bx lr
"""
# Over two pages of __TEXT and a page of __DATA, so that several page hashes are checked.
ARMV7_SOURCE = """
extern void *malloc(unsigned long);
extern int puts(const char *);
const char qvTable[9000] = {1, 2, 3};
int qvAnswer = 42;
char qvScratch[5000] = {4};
void *qvMake(int i) { puts(qvTable + i); return malloc(qvAnswer + qvScratch[i]); }
"""
# __text alone, of `fill` bytes and a return: its size sets the header padding left.
ARMV7_FILLED = """
	.text
	.globl _qvFill
	.p2align 2
_qvFill:
	.space {fill}
	bx lr
"""


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def header_padding(data):
    """The bytes between a thin image's load commands and its first section's contents."""
    end = {MH_MAGIC: 28, MH_MAGIC_64: 32}[struct.unpack_from("<I", data)[0]] + \
        struct.unpack_from("<I", data, 20)[0]
    first = min(offset for *_, sections in segments(data).values() for offset in sections
                if offset)
    return first - end


@unittest.skipUnless(all(shutil.which(tool) for tool in (OLD_LINKER, LIPO, OBJDUMP)),
                     f"{OLD_LINKER}, {LIPO} or {OBJDUMP} not installed")
class UniversalSignerTest(fixture.FixtureTest):
    """An armv7 slice from the old linker, which writes no signature, beside an arm64 one from
    ld64.lld-14 with its own ad-hoc signature, combined by lipo and signed as one file."""

    def setUp(self):
        super().setUp()
        self.work = os.path.join(self.fixture.folder, "universal")
        os.makedirs(self.work)
        system = self.assemble("system", ARMV7_SYSTEM)
        self.system = os.path.join(self.work, "libSystem.dylib")
        run(OLD_LINKER, "-arch", "armv7", "-dylib", "-install_name", "/usr/lib/libSystem.B.dylib",
            "-ios_version_min", "8.0", "-sdk_version", "8.0", system, "-o", self.system)
        self.arm64 = self.fixture.build("QuorvaneiOS8", os.path.join(self.work, "arm64"))

    def assemble(self, name, text):
        source = fixture.write(os.path.join(self.work, f"{name}.s"), text)
        run(fixture.COMPILER, "--target=armv7-apple-ios8.0", "-c", source, "-o", source + ".o")
        return source + ".o"

    def link_armv7(self, name, objects):
        dylib = os.path.join(self.work, f"{name}.dylib")
        run(OLD_LINKER, "-arch", "armv7", "-dylib", "-install_name", f"/x/{name}.dylib",
            "-ios_version_min", "8.0", "-sdk_version", "8.0", *objects, self.system, "-o", dylib)
        return dylib

    def armv7(self):
        c_file = fixture.write(os.path.join(self.work, "armv7.c"), ARMV7_SOURCE)
        run(fixture.COMPILER, "--target=armv7-apple-ios8.0", "-marm", "-O2", "-c", c_file, "-o",
            c_file + ".o")
        return self.link_armv7("armv7", [c_file + ".o"])

    def universal(self, armv7, name="QuorvaneiOS8.dylib"):
        path = os.path.join(self.work, name)
        run(LIPO, "-create", armv7, self.arm64, "-output", path)
        return path

    def sign(self, path):
        return subprocess.run(["/usr/bin/python3", SIGN, path], capture_output=True, text=True)

    def read(self, path):
        with open(path, "rb") as image:
            return image.read()

    def test_every_slice_is_signed_and_every_page_hash_checks(self):
        armv7 = self.read(self.armv7())
        self.assertNotIn(LC_CODE_SIGNATURE, load_commands(armv7))
        path = self.universal(self.armv7())
        done = self.sign(path)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        data = self.read(path)
        arches = read_fat(data)
        self.assertEqual([(cpu, sub, align) for cpu, sub, _, _, align in arches],
                         [(CPU_TYPE_ARM, CPU_SUBTYPE_ARM_V7, 14), (CPU_TYPE_ARM64, 0, 14)])
        end = 8 + 20 * len(arches)
        for _, _, offset, size, align in arches:
            self.assertEqual(offset % (1 << align), 0)
            self.assertGreaterEqual(offset, end)
            end = offset + size
        self.assertEqual(end, len(data))
        (_, _, offset7, size7, _), (_, _, offset64, size64, _) = arches
        thin7, thin64 = data[offset7:offset7 + size7], data[offset64:offset64 + size64]
        self.assertEqual(struct.unpack_from("<Iii", thin7), (MH_MAGIC, CPU_TYPE_ARM,
                                                             CPU_SUBTYPE_ARM_V7))
        sig7 = check_signature(self, thin7, "QuorvaneiOS8", 0x1000)
        check_signature(self, thin64, "QuorvaneiOS8", 0x4000)
        self.assertGreater(len(sig7["pages"]), 3)
        # The command follows the linker's, in its header padding; the rest is the linker's.
        self.assertEqual(load_commands(thin7)[LC_CODE_SIGNATURE],
                         [28 + struct.unpack_from("<I", armv7, 20)[0]])
        self.assertEqual(struct.unpack_from("<II", thin7, 16),
                         (struct.unpack_from("<I", armv7, 16)[0] + 1,
                          struct.unpack_from("<I", armv7, 20)[0] + 16))
        self.assertEqual(thin7[0x1000:len(armv7) - 0x100], armv7[0x1000:len(armv7) - 0x100])
        self.assertEqual(sig7["dataoff"], -(-len(armv7) // 16) * 16)
        self.assertEqual(codesign.signature_problems(data, "QuorvaneiOS8"), [])

    def test_the_tools_still_read_each_slice(self):
        path = self.universal(self.armv7())
        self.assertEqual(self.sign(path).returncode, 0)
        self.assertIn("are: armv7 arm64", run(LIPO, "-info", path))
        run(LIPO, path, "-verify_arch", "armv7", "arm64")
        data = self.read(path)
        for (_, _, offset, size, _), arch in zip(read_fat(data), ("armv7", "arm64")):
            done = subprocess.run([OBJDUMP, "--macho", "--private-headers", f"--arch={arch}",
                                   path], capture_output=True, text=True)
            self.assertEqual((done.returncode, done.stderr), (0, ""), arch)
            sig = read_signature(data[offset:offset + size])
            self.assertRegex(done.stdout, r"cmd LC_CODE_SIGNATURE\n\s+cmdsize 16\n"
                             rf"\s+dataoff {sig['dataoff']}\n\s+datasize {sig['datasize']}\n")
            self.assertEqual(done.stdout.count("cmd LC_CODE_SIGNATURE"), 1)

    def test_a_changed_byte_in_a_slice_is_named_with_its_page(self):
        path = self.universal(self.armv7())
        self.assertEqual(self.sign(path).returncode, 0)
        data = self.read(path)
        (_, _, offset7, _, _), (_, _, offset64, _, _) = read_fat(data)
        for arch, offset in (("armv7", offset7), ("arm64", offset64)):
            changed = bytearray(data)
            changed[offset + PAGE + 8] ^= 0x01
            self.assertEqual(codesign.signature_problems(bytes(changed), "QuorvaneiOS8"),
                             [f"{arch}: page 1 (offset 0x1000) does not match its SHA-1 hash"])
        self.assertEqual(codesign.signature_problems(data, "QuorvaneiOS7"), [
            f"{arch}: CodeDirectory identifier is 'QuorvaneiOS8', expected 'QuorvaneiOS7'"
            for arch in ("armv7", "arm64")])

    def test_signing_twice_gives_the_same_bytes(self):
        path = self.universal(self.armv7())
        self.assertEqual(self.sign(path).returncode, 0)
        once = self.read(path)
        self.assertEqual(self.sign(path).returncode, 0)
        self.assertEqual(self.read(path), once)

    def test_a_thin_armv7_dylib_is_signed(self):
        path = self.armv7()
        self.assertEqual(self.sign(path).returncode, 0)
        data = self.read(path)
        check_signature(self, data, "armv7", 0x1000)
        self.assertEqual(codesign.signature_problems(data, "armv7"), [])

    def test_a_slice_without_room_for_the_command_is_refused_and_the_file_kept(self):
        # The old linker takes no header-padding option: __text's size decides what is left.
        room = header_padding(self.read(self.link_armv7(
            "cramped", [self.assemble("empty", ARMV7_FILLED.format(fill=0))])))
        fill = max(room - 8, 0) // 4 * 4
        cramped = self.link_armv7("cramped",
                                  [self.assemble("filled", ARMV7_FILLED.format(fill=fill))])
        left = header_padding(self.read(cramped))
        self.assertLess(left, 16)
        path = self.universal(cramped, "cramped.dylib")
        before, listing = self.read(path), sorted(os.listdir(self.work))
        done = self.sign(path)
        self.assertEqual(done.returncode, 1)
        self.assertRegex(done.stderr, "^" + re.escape(
            f"sign.py: {path} (armv7): no room for an LC_CODE_SIGNATURE: {left} bytes of header "
            "padding between the load commands and the first section at ") +
            r"0x[0-9a-f]+, 16 needed; link it with more header padding\n$")
        self.assertEqual(self.read(path), before)
        self.assertEqual(sorted(os.listdir(self.work)), listing)


if __name__ == "__main__":
    unittest.main()
