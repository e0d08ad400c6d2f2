#!/usr/bin/env python3
"""Runs the shipped bytes: each library taken out of the built .deb, executed on an emulated CPU
for every case of cases.yaml (start-up, the change callback, the replacements), and compared,
event by event, with what the Linux build of the same library does for the same case (the
reference runner). Then damaged copies of each library must each be reported.

    emulate.py DEB --reference PATH [--cases FILE] [--case NAME]

Prints, per library and architecture, the instructions its constructor executed and the imports
it touched; exits 1 on any difference or failure, naming it.
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
from abi import ARCHITECTURES, split_encoding  # noqa: E402
from image import Image, ImageError, thin  # noqa: E402
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


def device_spelling(event):
    """The Linux build's event with BOOL spelt as the device spells it: gcc's runtime has BOOL
    as unsigned char ("C"), arm64 iOS as bool ("B")."""
    if "types" not in event:
        return event
    result, arguments = split_encoding(event["types"])
    spelt = "".join("B" if part == "C" else part for part in [result] + arguments)
    return dict(event, types=spelt)


def own_methods(run):
    return [device_spelling(event) for event in run["hud_methods"]]


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


class Runner:
    def __init__(self, tables, cases, expected):
        self.tables, self.cases, self.expected = tables, cases, expected
        self.failures, self.figures = [], []

    def run_case(self, architecture, image, library, case):
        session = Session(architecture, image, library, self.tables[library], case)
        events = session.run()
        return session, events

    def check(self, architecture, data, library):
        label = f"{library} ({architecture.name})"
        try:
            image = Image(thin(data, architecture.cputype, label), label)
        except ImageError as error:
            self.failures.append(str(error))
            return
        for case in self.cases:
            want = self.expected.get((library, case["name"]))
            if want is None:
                self.failures.append(f"{label}, {case['name']}: no run of the Linux build")
                continue
            try:
                session, events = self.run_case(architecture, image, library, case)
            except (EmulationError, ImageError) as error:
                self.failures.append(f"{label}, {case['name']}: {error}")
                continue
            events, hud = split_hud(events)
            for what, expected, actual in (("events", want["events"], events),
                                           (f"{HUD}'s methods", own_methods(want), hud)):
                difference = first_difference(expected, actual)
                if difference:
                    self.failures.append(f"{label}, {case['name']}, {what}: {difference}")
            if case["name"] == self.cases[0]["name"]:
                self.figures.append((label, session.constructor_instructions,
                                     sorted(session.constructor_imports)))

    def check_damaged(self, architecture, data, library):
        """Each damaged copy must fail the first case, in a way that names the damage."""
        case = self.cases[0]
        for name, damaged in damage.copies(data, architecture):
            label = f"{library} ({architecture.name}, {name})"
            want = self.expected[(library, case["name"])]
            try:
                image = Image(thin(damaged, architecture.cputype, label), label)
                _, events = self.run_case(architecture, image, library, case)
            except (EmulationError, ImageError) as error:
                print(f"damaged copy reported: {label}: {error}")
                continue
            events, hud = split_hud(events)
            difference = (first_difference(want["events"], events) or
                          first_difference(own_methods(want), hud))
            if difference is None:
                self.failures.append(f"{label}: the damaged copy ran as the intact one")
            else:
                print(f"damaged copy reported: {label}: {difference}")


def check_pane(files, failures):
    """The settings pane's executable, when the package has one, on each of its architectures."""
    data = files.get(pane.PANE_FOLDER + "HalvenorSettings")
    if data is None:
        return
    for architecture in damage.architectures_of(data, ARCHITECTURES.values()):
        label = f"HalvenorSettings ({architecture.name})"
        try:
            image = Image(thin(data, architecture.cputype, label), label)
            found = pane.check(architecture, image, files)
        except (EmulationError, ImageError) as error:
            found = [str(error)]
        failures += [f"{label}: {failure}" for failure in found]
        if not found:
            print(f"{label}: its controller reads, writes and announces the settings as it must")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("deb")
    parser.add_argument("--reference", required=True, help="the Linux reference runner")
    parser.add_argument("--cases", default=os.path.join(os.path.dirname(__file__),
                                                        "cases.yaml"))
    parser.add_argument("--case", help="only the case of this name")
    arguments = parser.parse_args(argv)

    tables = {t["name"]: t for t in json.loads(reference(arguments.reference, "table"))[
        "libraries"]}
    with open(arguments.cases) as file:
        cases = yaml.safe_load(file)["cases"]
    if arguments.case:
        cases = [case for case in cases if case["name"] == arguments.case]
    runner = Runner(tables, cases, reference_runs(arguments.reference, arguments.cases))
    files = package_files(arguments.deb)
    for library in LIBRARIES:
        data = files.get(LIBRARY_FOLDER + library + ".dylib")
        if data is None:
            runner.failures.append(f"the package has no {LIBRARY_FOLDER}{library}.dylib")
            continue
        for architecture in damage.architectures_of(data, ARCHITECTURES.values()):
            runner.check(architecture, data, library)
            runner.check_damaged(architecture, data, library)
    check_pane(files, runner.failures)
    for label, instructions, imports in runner.figures:
        print(f"{label}: the constructor executed {instructions:,} instructions and touched "
              f"{len(imports)} imports: {', '.join(name[1:] for name in imports)}")
    for failure in runner.failures:
        print(f"FAILED: {failure}")
    total = len(cases) * len(LIBRARIES)
    print(f"emulated run: {len(runner.figures)} libraries, {total} case runs per architecture, "
          f"{len(runner.failures)} failures")
    return 1 if runner.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
