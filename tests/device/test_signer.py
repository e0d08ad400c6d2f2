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


def read_signature(data):
    """The signature's fields, read straight from the bytes (big-endian blobs)."""
    ncmds = struct.unpack_from("<I", data, 16)[0]
    offset, commands = 32, {}
    for _ in range(ncmds):
        cmd, size = struct.unpack_from("<II", data, offset)
        commands.setdefault(cmd, offset)
        offset += size
    dataoff, datasize = struct.unpack_from("<II", data, commands[0x1D] + 8)
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


class SignerTest(fixture.FixtureTest):
    def setUp(self):
        super().setUp()
        self.dylib = self.fixture.build("QuorvaneiOS8", os.path.join(self.fixture.folder, "lib"))
        codesign.sign_file(self.dylib)
        with open(self.dylib, "rb") as signed:
            self.data = signed.read()

    def test_the_code_directory_and_every_page_hash(self):
        sig = read_signature(self.data)
        self.assertEqual(sig["superblob"], 0xFADE0CC0)
        self.assertEqual(
            {k: sig["cd"][k] for k in ("magic", "version", "flags", "hashType", "hashSize",
                                       "pageSize", "codeLimit", "nSpecialSlots")},
            {"magic": 0xFADE0C02, "version": 0x20001, "flags": 0x2, "hashType": 1,
             "hashSize": 20, "pageSize": 12, "codeLimit": sig["dataoff"], "nSpecialSlots": 2})
        self.assertEqual(sig["identifier"], "QuorvaneiOS8")
        limit = sig["dataoff"]
        self.assertEqual(sig["pages"], [hashlib.sha1(self.data[i:min(i + PAGE, limit)]).digest()
                                        for i in range(0, limit, PAGE)])
        self.assertEqual(sig["requirements"], EMPTY_REQUIREMENTS)
        self.assertEqual(sig["requirements_slot"], hashlib.sha1(EMPTY_REQUIREMENTS).digest())

    def test_the_signature_ends_the_file_and_linkedit(self):
        sig = read_signature(self.data)
        self.assertEqual(sig["dataoff"] % 16, 0)
        self.assertEqual(sig["datasize"] % 16, 0)
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

    def test_files_it_cannot_sign_are_refused_in_one_line(self):
        unsigned = self.fixture.build("QuorvaneiOS7", os.path.join(self.fixture.folder, "plain"),
                                      signature="-no_adhoc_codesign")
        fat = os.path.join(self.fixture.folder, "fat.dylib")
        shutil.copyfile(self.dylib, fat)
        with open(fat, "r+b") as out:
            out.write(struct.pack(">I", 0xCAFEBABE))
        sign = os.path.join(fixture.REPOSITORY, "device", "sign", "sign.py")
        for path, reason in ((unsigned, "has no LC_CODE_SIGNATURE to fill"),
                             (fat, "a universal (fat) file"),
                             (os.path.join(fixture.REPOSITORY, "README.md"),
                              "not a 64-bit Mach-O file")):
            done = subprocess.run(["/usr/bin/python3", sign, path], capture_output=True,
                                  text=True)
            self.assertEqual(done.returncode, 1)
            line = re.escape(f"sign.py: {path}: {reason}")
            self.assertRegex(done.stderr, f"^{line}[^\n]*\n$")


if __name__ == "__main__":
    unittest.main()
