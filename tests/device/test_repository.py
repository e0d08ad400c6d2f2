"""The built repository and package with real clients: apt-get against dist/repo under a private
configuration, the depiction page in headless Chromium, and dpkg installing the package into a
scratch root and removing it again. Run after scripts/build-device.sh and scripts/build-repo.sh
(scripts/test-repository.sh); skipped without dist/repo."""
import base64
import glob
import os
import stat
import subprocess
import tempfile
import unittest

import fixture

DIST = os.path.join(fixture.REPOSITORY, "dist")
REPO = os.path.join(DIST, "repo")
PACKAGE_NAME = "com.tovi.quorvane"


def built_package():
    found = glob.glob(os.path.join(DIST, "quorvane_*_iphoneos-arm.deb"))
    return found[0] if len(found) == 1 else None


class BuiltRepositoryTest(unittest.TestCase):
    def setUp(self):
        if built_package() is None or not os.path.isfile(os.path.join(REPO, "Release")):
            self.skipTest("dist/repo is not built: run scripts/build-device.sh and "
                          "scripts/build-repo.sh")
        scratch = tempfile.TemporaryDirectory(prefix="quorvane-repo-")
        self.addCleanup(scratch.cleanup)
        self.scratch = scratch.name


class AptTest(BuiltRepositoryTest):
    """apt-get and apt-cache of this machine, as a device's package manager reads the source."""

    def setUp(self):
        super().setUp()
        root = os.path.join(self.scratch, "apt")
        for folder in ("etc/apt/preferences.d", "etc/apt/apt.conf.d", "var/lib/apt/lists/partial",
                       "var/cache/apt/archives/partial", "var/lib/dpkg", "var/log/apt"):
            os.makedirs(os.path.join(root, folder))
        fixture.write(os.path.join(root, "var/lib/dpkg/status"), "")
        fixture.write(os.path.join(root, "etc/apt/sources.list"),
                      f"deb [trusted=yes] file:{REPO} ./\n")
        self.config = fixture.write(os.path.join(self.scratch, "apt.conf"), f"""
Dir "{root}/";
Dir::State::status "{root}/var/lib/dpkg/status";
Dir::Etc::sourceparts "{root}/etc/apt/sources.list.d";
APT::Architecture "iphoneos-arm";
APT::Architectures {{ "iphoneos-arm"; }};
APT::Sandbox::User "root";
Debug::NoLocking "true";
""")

    def apt(self, *command, cwd=None):
        done = subprocess.run(command, env={**os.environ, "APT_CONFIG": self.config}, cwd=cwd,
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def test_update_download_and_show(self):
        self.apt("apt-get", "update")
        downloads = os.path.join(self.scratch, "downloads")
        os.makedirs(downloads)
        self.apt("apt-get", "download", PACKAGE_NAME, cwd=downloads)
        [downloaded] = os.listdir(downloads)
        with open(os.path.join(downloads, downloaded), "rb") as got, \
                open(built_package(), "rb") as built:
            self.assertEqual(got.read(), built.read())
        shown = self.apt("apt-cache", "show", PACKAGE_NAME)
        verifier = fixture.load_verifier()
        for line in (f"Depends: {verifier.DEPENDS}", "Section: Tweaks", "Name: Quorvane",
                     "Architecture: iphoneos-arm",
                     "Icon: file:///Library/PreferenceBundles/HalvenorSettings.bundle/icon@2x.png"):
            self.assertIn(line + "\n", shown)
        self.assertRegex(shown, r"\nDepiction: https?://\S+/depiction/index.html\n")
        self.assertRegex(shown, r"\nFilename: pool/main/c/com.tovi.quorvane/quorvane_\S+\.deb\n")

    def test_release_hashes_every_index(self):
        with open(os.path.join(REPO, "Release"), encoding="utf-8") as source:
            release = source.read()
        for field in ("Origin", "Label", "Suite", "Version", "Codename", "Components",
                      "Description"):
            self.assertRegex(release, rf"(?m)^{field}: \S")
        self.assertRegex(release, r"(?m)^Architectures: iphoneos-arm$")
        for section in ("MD5Sum", "SHA256"):
            listed = release.split(f"\n{section}:\n", 1)[1].split("\n")
            names = {line.split()[-1] for line in listed if line.startswith(" ")}
            self.assertTrue({"Packages", "Packages.gz", "Packages.bz2"} <= names, section)


class DepictionTest(BuiltRepositoryTest):
    """The page as a browser shows it: every screenshot decoded and drawn."""

    def test_the_page_shows_its_screenshots(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", "--window-size=1200,2400"):
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.addCleanup(driver.quit)
        driver.get("file://" + os.path.join(REPO, "depiction", "index.html"))
        images = driver.execute_script(
            "return [...document.images].map(i => [i.complete, i.naturalWidth, "
            "i.getBoundingClientRect().toJSON()])")
        self.assertEqual(len(images), 4)
        self.assertTrue(all(complete and width > 0 for complete, width, _ in images), images)
        # The screenshot itself, decoded by the same browser: each picture's area is drawn, not
        # the page's white.
        shot = base64.b64encode(driver.get_screenshot_as_png()).decode()
        drawn = driver.execute_async_script("""
            const [shot, rects, done] = arguments;
            const picture = new Image();
            picture.onload = () => {
              const canvas = document.createElement('canvas');
              canvas.width = picture.width; canvas.height = picture.height;
              const context = canvas.getContext('2d');
              context.drawImage(picture, 0, 0);
              done(rects.map(r => {
                const pixels = context.getImageData(r.x, r.y, r.width, r.height).data;
                let coloured = 0;
                for (let i = 0; i < pixels.length; i += 4)
                  if (pixels[i] < 240 || pixels[i + 1] < 240 || pixels[i + 2] < 240) ++coloured;
                return coloured / (pixels.length / 4);
              }));
            };
            picture.src = 'data:image/png;base64,' + shot;""", shot, [r for _, _, r in images])
        self.assertTrue(all(share > 0.5 for share in drawn), drawn)


class InstallTest(BuiltRepositoryTest):
    """dpkg of this machine installs the package into a scratch root and removes it: the tree
    is the package's, then gone, and the maintainer scripts succeed without the apps."""

    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.scratch, "root")
        for folder in ("var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers"):
            os.makedirs(os.path.join(self.root, folder))
        for name in ("status", "available"):
            fixture.write(os.path.join(self.root, "var/lib/dpkg", name), "")
        # killall as a device without Camera running answers it: nothing to end, status 1.
        stubs = os.path.join(self.scratch, "stubs")
        os.makedirs(stubs)
        self.killed = os.path.join(self.scratch, "killall.log")
        killall = fixture.write(os.path.join(stubs, "killall"),
                                f'#!/bin/sh\necho "$@" >> {self.killed}\nexit 1\n')
        os.chmod(killall, 0o755)
        self.path = f"{stubs}:/usr/sbin:/usr/bin:/sbin:/bin"

    def dpkg(self, *arguments):
        # The scripts run on this machine's shell, not chrooted into a root that has none.
        done = subprocess.run(
            ["dpkg", f"--root={self.root}", "--force-architecture", "--force-depends",
             "--force-script-chrootless", "--force-not-root", "--log=/dev/null", *arguments],
            env={**os.environ, "PATH": self.path}, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)

    def tree(self):
        """Every path under the root but dpkg's own records, with what it is."""
        found = {}
        for folder, folders, names in os.walk(self.root):
            relative = "/" + os.path.relpath(folder, self.root)
            if relative.startswith("/var/lib/dpkg"):
                continue
            for name in names + [f for f in folders if os.path.islink(os.path.join(folder, f))]:
                path = os.path.join(folder, name)
                info = os.lstat(path)
                found[os.path.normpath(relative + "/" + name)] = (
                    os.readlink(path) if stat.S_ISLNK(info.st_mode) else info.st_mode & 0o7777)
        return found

    def test_install_then_remove(self):
        self.dpkg("--install", built_package())
        expected = {path: entry.target if entry.kind == "symlink" else entry.mode
                    for path, entry in fixture.layout.entries().items()}
        self.assertEqual(self.tree(), expected)
        self.dpkg("--purge", PACKAGE_NAME)
        self.assertEqual(self.tree(), {})
        leftovers = [folder for folder, _, _ in os.walk(os.path.join(self.root, "Library"))]
        self.assertEqual(leftovers, [])
        with open(self.killed, encoding="utf-8") as log:
            # postinst configure, postrm remove, postrm purge
            self.assertEqual(log.read().splitlines(), ["Camera MobileSlideShow"] * 3)


if __name__ == "__main__":
    unittest.main()
