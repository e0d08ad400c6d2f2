"""The package's data files: the loader's filters against the published CoreFoundation
numbers, and the settings pane's specifier list."""
import copy
import os
import plistlib
import unittest

import fixture

verifier = fixture.load_verifier()
SYSTEMS = verifier.read_systems(os.path.join(fixture.REPOSITORY, "host", "devices",
                                             "systems.yaml"))


def filter_plist(lowest, above):
    return plistlib.dumps({"Filter": {"Bundles": verifier.BUNDLES,
                                      "CoreFoundationVersion": [lowest, above]}})


def shipped_filter(name):
    with open(os.path.join(fixture.REPOSITORY, "package", "filters", f"{name}.plist"), "rb") as f:
        return f.read()


class FilterTest(unittest.TestCase):
    def test_each_published_release_loads_its_library(self):
        filters = {name: shipped_filter(name) for name in ("QuorvaneiOS8", "QuorvaneiOS7")}
        self.assertEqual(verifier.filter_problems(filters, SYSTEMS), [])
        self.assertEqual({s["generation"] for s in SYSTEMS}, {"ios7", "ios8", "ios9"})

    def test_misplaced_ranges_are_named(self):
        ios80, ios84 = SYSTEMS[2], SYSTEMS[6]
        self.assertEqual(verifier.filter_problems(
            {"QuorvaneiOS7": filter_plist(800.0, 1200.0),
             "QuorvaneiOS8": filter_plist(1100.0, 1145.15)}, [ios80, ios84]), [
            "the CoreFoundation version ranges overlap: QuorvaneiOS7 [800.0, 1200.0) and "
            "QuorvaneiOS8 [1100.0, 1145.15)",
            "iOS 8.0 (CoreFoundation 1140.1) loads QuorvaneiOS7 and QuorvaneiOS8, "
            "expected QuorvaneiOS8",
            "iOS 8.4 (CoreFoundation 1145.15) loads QuorvaneiOS7, expected QuorvaneiOS8",
            "QuorvaneiOS8.plist: bound 1145.15 lies within 1.0 of iOS 8.4's 1145.15"])

    def test_a_filter_without_its_bundles_or_a_range_is_named(self):
        broken = {"QuorvaneiOS7": plistlib.dumps({"Filter": {"Bundles": ["com.apple.camera"]}}),
                  "QuorvaneiOS8": b"not a plist"}
        self.assertEqual(verifier.filter_problems(broken, []), [
            "QuorvaneiOS7.plist: Bundles ['com.apple.camera'], expected "
            "['com.apple.camera', 'com.apple.mobileslideshow']",
            "QuorvaneiOS7.plist: CoreFoundationVersion None is not a (lowest, above highest) "
            "pair of numbers",
            "QuorvaneiOS8.plist: not a property list with a Filter dictionary"])


class PaneTest(unittest.TestCase):
    def setUp(self):
        with open(fixture.layout.SPECIFIERS, "rb") as source:
            self.specifiers = plistlib.load(source)

    def item(self, specifiers, key):
        return next(item for item in specifiers["items"] if item.get("key") == key)

    def test_the_shipped_list_holds_the_ten_settings(self):
        self.assertEqual(verifier.specifier_problems(self.specifiers), [])

    def test_faults_in_the_list_are_named(self):
        broken = copy.deepcopy(self.specifiers)
        broken["items"].remove(self.item(broken, "aFPS"))
        self.item(broken, "rate")["PostNotification"] = "com.Tovi.Halvenor"
        self.item(broken, "MogulFramerate")["default"] = 60
        self.item(broken, "FakeFPS")["default"] = "NO"
        del self.item(broken, "volumeRamp")["isDecimalPad"]  # no point to type 0.15 with
        broken["items"].append({"cell": "PSSwitchCell", "key": "EnableSlalom"})
        self.assertEqual(verifier.specifier_problems(broken), [
            "Qel.plist: EnableSlalom appears 2 times",
            "Qel.plist: no specifier for aFPS",
            "Qel.plist: MogulFramerate: default 60 is not a number as text",
            "Qel.plist: FakeFPS: a switch needs a true or false default, not 'NO'",
            "Qel.plist: rate: PostNotification is 'com.Tovi.Halvenor', expected "
            "'com.Tovi.Halvenor.prefs'",
            "Qel.plist: volumeRamp: isDecimalPad is None, expected True",
            "Qel.plist: EnableSlalom: defaults is None, expected 'com.Tovi.Halvenor'",
            "Qel.plist: EnableSlalom: PostNotification is None, expected "
            "'com.Tovi.Halvenor.prefs'",
            "Qel.plist: EnableSlalom: has no label",
            "Qel.plist: EnableSlalom: a switch needs a true or false default, not None"])


if __name__ == "__main__":
    unittest.main()
