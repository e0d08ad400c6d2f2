"""The package checks on packages of fixture libraries: a good one passes, and each fault a
broken build could ship is caught and named."""
import os
import subprocess
import unittest

import fixture

CALLS_UNLISTED = fixture.SOURCE + """
extern int compress(void);
int qvPack(void) { return compress(); }
"""


class VerifierTest(fixture.FixtureTest):
    def verify(self, deb):
        done = subprocess.run(["/usr/bin/python3", fixture.VERIFIER, "--tbd", self.fixture.tbd,
                               "--maps", self.fixture.maps, deb], capture_output=True, text=True)
        return done.returncode, done.stdout.splitlines()

    def test_a_good_package_passes(self):
        status, lines = self.verify(self.fixture.package("good"))
        self.assertEqual(status, 0, lines)
        self.assertRegex(lines[0], r"^QuorvaneiOS8.dylib: [0-9,]+ bytes; imports libSystem 2, "
                                   r"libobjc 1$")
        self.assertTrue(lines[-1].endswith("quorvane.deb: verified"))

    def test_an_export_off_the_list_is_caught(self):
        status, lines = self.verify(self.fixture.package(
            "export", QuorvaneiOS7={"extra_exports": ["_qvHidden"]}))
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["QuorvaneiOS7.dylib: exports _qvHidden, which is not on its list"])

    def test_an_import_from_an_unlisted_library_is_caught(self):
        status, lines = self.verify(self.fixture.package(
            "import", QuorvaneiOS8={"source": CALLS_UNLISTED,
                                    "extra_stubs": [self.fixture.unlisted]}))
        self.assertEqual(status, 1)
        self.assertEqual(lines, [
            "QuorvaneiOS8.dylib: links /usr/lib/libz.1.dylib, which is not on the lists",
            "QuorvaneiOS8.dylib: imports _compress from libz, which is not on the lists"])

    def test_a_broken_page_hash_is_caught(self):
        def spoil(name, path):
            if name == "QuorvaneiOS7":
                with open(path, "r+b") as dylib:
                    dylib.seek(0x4000)  # the first instruction of __text
                    dylib.write(b"\x1f\x20\x03\xd5")  # nop
        status, lines = self.verify(self.fixture.package("page", change=spoil))
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["QuorvaneiOS7.dylib: signature: page 4 (offset 0x4000) does not "
                                 "match its SHA-1 hash"])

    def test_a_stray_file_a_wrong_link_and_xz_are_caught(self):
        deb = self.fixture.package("good")
        root = os.path.join(self.fixture.folder, "good", "root")
        link = root + "/Library/MobileSubstrate/DynamicLibraries/QuorvaneiOS7.dylib"
        os.remove(link)
        os.symlink("/Library/Application Support/Quorvane/QuorvaneiOS8.dylib", link)
        fixture.write(root + "/Library/MobileSubstrate/DynamicLibraries/stray.txt", "")
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zxz", "-b", root, deb],
                       check=True, capture_output=True)
        status, lines = self.verify(deb)
        self.assertEqual(status, 1)
        self.assertEqual(sorted(lines), [
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
        status, lines = self.verify(deb)
        self.assertEqual(status, 1)
        self.assertEqual(lines, [
            "postrm: does not end Camera and Photos without failing",
            "HalvenorSettings: file type 6 is not MH_BUNDLE",
            "icon@2x.png: 29x29, expected 58x58"])


if __name__ == "__main__":
    unittest.main()
