"""The package checks on packages of fixture libraries: a good one passes, and each fault a
broken build could ship is caught and named."""
import os
import re
import subprocess
import unittest

import fixture
import macho

CALLS_UNLISTED = fixture.SOURCE + """
extern int compress(void);
int qvPack(void) { return compress(); }
"""


class VerifierTest(fixture.FixtureTest):
    def verify(self, deb, slices=",".join(fixture.SLICES)):
        """The fixture's packages are universal, as the package is once it ships armv7."""
        done = subprocess.run(["/usr/bin/python3", fixture.VERIFIER, "--tbd", self.fixture.tbd,
                               "--maps", self.fixture.maps, "--slices", slices, deb],
                              capture_output=True, text=True)
        return done.returncode, done.stdout.splitlines()

    def assertProblems(self, deb, expected):
        """The verifier fails deb with exactly these lines, in whatever order it takes the
        slices of a file."""
        status, lines = self.verify(deb)
        self.assertEqual(status, 1, lines)
        self.assertCountEqual(lines, expected)

    def test_a_universal_file_is_caught_while_the_package_ships_one_slice(self):
        status, lines = self.verify(self.fixture.package("good"), slices="arm64")
        self.assertEqual(status, 1, lines)
        self.assertEqual(sorted(lines), [f"{name}: a universal file; expected a thin arm64 file"
                                         for name in ("HalvenorSettings", "QuorvaneiOS7.dylib",
                                                      "QuorvaneiOS8.dylib")])

    def test_a_good_package_passes(self):
        status, lines = self.verify(self.fixture.package("good"))
        self.assertEqual(status, 0, lines)
        imports = {"QuorvaneiOS8.dylib": "libSystem 2, libobjc 1",
                   "QuorvaneiOS7.dylib": "libSystem 2, libobjc 1",
                   fixture.layout.PANE_NAME: "libSystem 1, libobjc 1"}
        self.assertCountEqual([re.sub(r"[0-9,]+ bytes", "N bytes", line) for line in lines[:-1]],
                              [f"{name} ({arch}): N bytes; imports {imported}"
                               for name, imported in imports.items() for arch in fixture.SLICES])
        self.assertTrue(lines[-1].endswith("quorvane.deb: verified"))

    def test_an_export_off_the_list_in_both_slices_or_in_one_is_caught(self):
        extra = {"extra_exports": ["_qvHidden"]}
        self.assertProblems(self.fixture.package(
            "export", QuorvaneiOS7=extra, QuorvaneiOS8={**extra, "spoiled": ("armv7",)}), [
            "QuorvaneiOS7.dylib (arm64): exports _qvHidden, which is not on its list",
            "QuorvaneiOS7.dylib (armv7): exports _qvHidden, which is not on its list",
            "QuorvaneiOS8.dylib (armv7): exports _qvHidden, which is not on its list",
            "QuorvaneiOS8.dylib: its slices export different symbols"])

    def test_a_thin_file_is_caught(self):
        self.assertProblems(self.fixture.package("thin", QuorvaneiOS8={"arches": ("arm64",)}),
                            ["QuorvaneiOS8.dylib: a thin file; expected the slices arm64, armv7"])

    def test_an_import_from_an_unlisted_library_is_caught(self):
        self.assertProblems(self.fixture.package(
            "import", QuorvaneiOS8={"source": CALLS_UNLISTED,
                                    "extra_stubs": [self.fixture.unlisted]}), [
            line for arch in fixture.SLICES for line in (
                f"QuorvaneiOS8.dylib ({arch}): links /usr/lib/libz.1.dylib, which is not on the "
                "lists",
                f"QuorvaneiOS8.dylib ({arch}): imports _compress from libz, which is not on the "
                "lists")])

    def test_a_broken_page_hash_is_caught_in_its_slice(self):
        def spoil(name, path):
            if name == "QuorvaneiOS7":
                with open(path, "r+b") as dylib:
                    [arm64] = [arch for arch in macho.fat_arches(dylib.read())
                               if arch.cputype == macho.CPU_TYPE_ARM64]
                    dylib.seek(arm64.offset + 0x4000)  # the first instruction of __text
                    dylib.write(b"\x1f\x20\x03\xd5")  # nop
        self.assertProblems(self.fixture.package("page", change=spoil), [
            "QuorvaneiOS7.dylib (arm64): signature: page 4 (offset 0x4000) does not match its "
            "SHA-1 hash"])

    def test_a_stray_file_a_wrong_link_and_xz_are_caught(self):
        deb = self.fixture.package("good")
        root = os.path.join(self.fixture.folder, "good", "root")
        link = root + "/Library/MobileSubstrate/DynamicLibraries/QuorvaneiOS7.dylib"
        os.remove(link)
        os.symlink("/Library/Application Support/Quorvane/QuorvaneiOS8.dylib", link)
        fixture.write(root + "/Library/MobileSubstrate/DynamicLibraries/stray.txt", "")
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zxz", "-b", root, deb],
                       check=True, capture_output=True)
        self.assertProblems(deb, [
            "/Library/MobileSubstrate/DynamicLibraries/QuorvaneiOS7.dylib: should be a symlink "
            "to /Library/Application Support/Quorvane/QuorvaneiOS7.dylib",
            "/Library/MobileSubstrate/DynamicLibraries/stray.txt: an unexpected file",
            "the archive holds debian-binary control.tar.xz data.tar.xz: the device's dpkg "
            "reads gzip only"])

    def test_a_pane_linked_as_a_dylib_a_small_icon_and_a_silent_postrm_are_caught(self):
        def spoil(name, path):
            if name == "icon@2x.png":
                with open(path, "wb") as out:
                    out.write(fixture.png(29))
        deb = self.fixture.package("pane", change=spoil, pane_kind="-dylib")
        root = os.path.join(self.fixture.folder, "pane", "root")
        fixture.write(root + "/DEBIAN/postrm", "#!/bin/sh\nexit 0\n")
        os.chmod(root + "/DEBIAN/postrm", 0o755)
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zgzip", "-b", root, deb],
                       check=True, capture_output=True)
        self.assertProblems(deb, [
            "postrm: does not end Camera and Photos without failing",
            "HalvenorSettings (arm64): file type 6 is not MH_BUNDLE",
            "HalvenorSettings (armv7): file type 6 is not MH_BUNDLE",
            "icon@2x.png: 29x29, expected 58x58"])


if __name__ == "__main__":
    unittest.main()
