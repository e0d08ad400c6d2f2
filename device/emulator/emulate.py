#!/usr/bin/env python3
"""Runs the shipped bytes: each library taken out of the built .deb, executed on an emulated CPU
for every case of cases.yaml (start-up, the change callback, the replacements), and compared,
event by event, with what the Linux build of the same library does for the same case (the
reference runner). Then damaged copies of each library must each be reported.

    emulate.py DEB --reference PATH [--cases FILE] [--case NAME] [--slices auto|arm64,armv7]

Every case runs on every slice of each file (arm64, armv7), each against the same Linux run.
--slices names the slices each file must have; `auto` (the default) asks of every file the
slices any file of the package has, so a package that is fat in part is reported.

Prints, per library and architecture, the instructions its constructor executed and the imports
it touched, and per architecture the case runs and differences; exits 1 on any difference or
failure, naming it.
"""
import argparse
import io
import json
import os
import subprocess
import sys
import tarfile

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import damage  # noqa: E402
import pane  # noqa: E402
from abi import ARCHITECTURES  # noqa: E402
from image import Image, ImageError, thin  # noqa: E402
from loader import check_segments  # noqa: E402
from machine import EmulationError  # noqa: E402
from session import Session  # noqa: E402

LIBRARY_FOLDER = "Library/Application Support/Quorvane/"
LIBRARIES = ("QuorvaneiOS8", "QuorvaneiOS7")
HUD = "RuvelProgressHUD"


def package_files(deb):
    """The files of the .deb's data archive, by path."""
    tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], check=True,
                         capture_output=True).stdout
    files = {}
    with tarfile.open(fileobj=io.BytesIO(tar)) as archive:
        for member in archive.getmembers():
            if member.isfile():
                files[member.name.lstrip("./")] = archive.extractfile(member).read()
    return files


def reference(path, *arguments):
    done = subprocess.run([path, *arguments], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"the reference runner failed ({' '.join(arguments)}):\n"
                         f"{done.stderr}{done.stdout[-2000:]}")
    return done.stdout


def reference_runs(path, cases_file):
    runs = {}
    for line in reference(path, "run", cases_file).splitlines():
        run = json.loads(line)
        runs[(run["library"], run["case"])] = run
    return runs


def device_spelling(event, architecture):
    """The Linux build's event with its type string spelt as the architecture spells it
    (abi.py's `spell`: BOOL, and on armv7 NSInteger and CGFloat)."""
    if "types" not in event:
        return event
    return dict(event, types=architecture.spell(event["types"], event.get("selector")))


def device_events(events, architecture):
    return [device_spelling(event, architecture) for event in events]


def split_hud(events):
    """The events, and apart from them the methods the library adds to its own class."""
    own = [e for e in events if e.get("add_method") == HUD]
    return [e for e in events if e.get("add_method") != HUD], own


def first_difference(expected, actual):
    for index, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            return (f"event {index}: the Linux build {json.dumps(want)}, the device library "
                    f"{json.dumps(got)}")
    if len(expected) != len(actual):
        shorter = "device library" if len(actual) < len(expected) else "Linux build"
        extra = (expected if len(actual) < len(expected) else actual)[min(len(expected),
                                                                          len(actual))]
        return (f"{len(expected)} events from the Linux build, {len(actual)} from the device "
                f"library; the {shorter} lacks {json.dumps(extra)}")
    return None


class Tally:
    """One slice's count: case runs, differences and failures, damaged copies reported."""

    def __init__(self):
        self.runs = self.failures = self.damaged = 0

    def line(self, name):
        return (f"{name}: {self.runs} case runs, {self.failures} differences or failures, "
                f"{self.damaged} damaged copies reported")


class Runner:
    def __init__(self, tables, cases, expected):
        self.tables, self.cases, self.expected = tables, cases, expected
        self.failures, self.figures, self.tallies = [], [], {}

    def tally(self, architecture):
        return self.tallies.setdefault(architecture.name, Tally())

    def fail(self, architecture, message):
        self.failures.append(message)
        if architecture is not None:
            self.tally(architecture).failures += 1

    def run_case(self, architecture, image, library, case):
        session = Session(architecture, image, library, self.tables[library], case)
        events = session.run()
        return session, events

    def wanted(self, library, case, architecture):
        """The Linux run of a case, its events and the HUD's methods as the slice spells them."""
        want = self.expected[(library, case["name"])]
        return (device_events(want["events"], architecture),
                device_events(want["hud_methods"], architecture))

    def check(self, architecture, data, library):
        """Every case on one slice; whether its first case ran as the Linux build's (a slice
        that cannot even be mapped is reported once)."""
        label = f"{library} ({architecture.name})"
        try:
            image = Image(slice_of(data, architecture, label), label)
            check_segments(image, label, architecture.page)
        except (ImageError, EmulationError) as error:
            self.fail(architecture, f"{error}: no case can run")
            return False
        failures_before, first_clean = len(self.failures), False
        for case in self.cases:
            if (library, case["name"]) not in self.expected:
                self.fail(architecture, f"{label}, {case['name']}: no run of the Linux build")
                continue
            self.tally(architecture).runs += 1
            try:
                session, events = self.run_case(architecture, image, library, case)
            except (EmulationError, ImageError) as error:
                self.fail(architecture, f"{label}, {case['name']}: {error}")
                continue
            events, hud = split_hud(events)
            want_events, want_hud = self.wanted(library, case, architecture)
            for what, expected, actual in (("events", want_events, events),
                                           (f"{HUD}'s methods", want_hud, hud)):
                difference = first_difference(expected, actual)
                if difference:
                    self.fail(architecture, f"{label}, {case['name']}, {what}: {difference}")
            if case["name"] == self.cases[0]["name"]:
                first_clean = len(self.failures) == failures_before
                self.figures.append((label, session.constructor_instructions,
                                     sorted(session.constructor_imports)))
        return first_clean

    def check_damaged(self, architecture, data, library):
        """Each damaged copy must fail the first case, in a way that names the damage."""
        case = self.cases[0]
        try:
            copies = damage.copies(data, architecture)
        except ImageError as error:
            self.fail(architecture, f"{library} ({architecture.name}): no damaged copies: {error}")
            return
        want_events, want_hud = self.wanted(library, case, architecture)
        for name, damaged in copies:
            label = f"{library} ({architecture.name}, {name})"
            try:
                image = Image(damaged, label)
                _, events = self.run_case(architecture, image, library, case)
            except (EmulationError, ImageError) as error:
                self.report_damage(architecture, f"{label}: {error}")
                continue
            events, hud = split_hud(events)
            difference = (first_difference(want_events, events) or
                          first_difference(want_hud, hud))
            if difference is None:
                self.fail(architecture, f"{label}: the damaged copy ran as the intact one")
            else:
                self.report_damage(architecture, f"{label}: {difference}")

    def report_damage(self, architecture, text):
        print(f"damaged copy reported: {text}")
        self.tally(architecture).damaged += 1


def slice_of(data, architecture, label):
    return thin(data, architecture.cputype, label, architecture.cpusubtype)


def slices_of(data, label, expected, runner):
    """The architectures of a file's slices; an expected one it lacks, or one without an
    emulation, fails the run."""
    try:
        found = damage.architectures_of(data, ARCHITECTURES.values())
    except ImageError as error:
        runner.fail(None, f"{label}: {error}")
        return []
    names = [architecture.name for architecture in found]
    for name in expected:
        if name not in names:
            runner.fail(ARCHITECTURES[name], f"{label} has no {name} slice")
    return found


def expected_slices(choice, files):
    """The slices every shipped Mach-O must have: those named, or with `auto` those any of
    them has."""
    if choice != "auto":
        names = [name.strip() for name in choice.split(",") if name.strip()]
        unknown = [name for name in names if name not in ARCHITECTURES]
        if unknown or not names:
            raise SystemExit(f"--slices: {', '.join(unknown) or 'none'} not among "
                             f"{', '.join(ARCHITECTURES)}")
        return names
    found = set()
    for data in files:
        try:
            found |= {a.name for a in damage.architectures_of(data, ARCHITECTURES.values())}
        except ImageError:
            pass  # reported when the file itself is checked
    return [name for name in ARCHITECTURES if name in found]


def check_pane(files, runner, expected):
    """The settings pane's executable, when the package has one, on each of its architectures."""
    data = files.get(pane.PANE_FOLDER + "HalvenorSettings")
    if data is None:
        return
    for architecture in slices_of(data, "HalvenorSettings", expected, runner):
        label = f"HalvenorSettings ({architecture.name})"
        try:
            image = Image(slice_of(data, architecture, label), label)
            found = pane.check(architecture, image, files)
        except (EmulationError, ImageError) as error:
            found = [str(error)]
        for failure in found:
            runner.fail(architecture, f"{label}: {failure}")
        if not found:
            print(f"{label}: its controller reads, writes and announces the settings as it must")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("deb")
    parser.add_argument("--reference", required=True, help="the Linux reference runner")
    parser.add_argument("--cases", default=os.path.join(os.path.dirname(__file__),
                                                        "cases.yaml"))
    parser.add_argument("--case", help="only the case of this name")
    parser.add_argument("--slices", default="auto",
                        help="the slices each file must have (arm64,armv7), or auto")
    arguments = parser.parse_args(argv)

    tables = {t["name"]: t for t in json.loads(reference(arguments.reference, "table"))[
        "libraries"]}
    with open(arguments.cases) as file:
        cases = yaml.safe_load(file)["cases"]
    if arguments.case:
        cases = [case for case in cases if case["name"] == arguments.case]
    runner = Runner(tables, cases, reference_runs(arguments.reference, arguments.cases))
    files = package_files(arguments.deb)
    libraries = {library: files.get(LIBRARY_FOLDER + library + ".dylib") for library in LIBRARIES}
    shipped = [data for data in libraries.values() if data is not None]
    if pane.PANE_FOLDER + "HalvenorSettings" in files:
        shipped.append(files[pane.PANE_FOLDER + "HalvenorSettings"])
    expected = expected_slices(arguments.slices, shipped)
    for library, data in libraries.items():
        if data is None:
            runner.fail(None, f"the package has no {LIBRARY_FOLDER}{library}.dylib")
            continue
        for architecture in slices_of(data, f"{library}.dylib", expected, runner):
            if runner.check(architecture, data, library):
                runner.check_damaged(architecture, data, library)
            else:
                print(f"damaged copies not run: {library} ({architecture.name}) fails its first "
                      f"case itself")
    check_pane(files, runner, expected)
    for label, instructions, imports in runner.figures:
        print(f"{label}: the constructor executed {instructions:,} instructions and touched "
              f"{len(imports)} imports: {', '.join(name[1:] for name in imports)}")
    for failure in runner.failures:
        print(f"FAILED: {failure}")
    for name in ARCHITECTURES:
        if name in runner.tallies:
            print(runner.tallies[name].line(name))
    print(f"emulated run: {len(LIBRARIES)} libraries, slices {', '.join(expected)}, "
          f"{len(runner.failures)} failures")
    return 1 if runner.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
