#!/usr/bin/env python3
"""Checks an armv7 link against the relocations of the objects it was linked from.

The old Mach-O linker, the only one that links armv7, has dropped binds, doubled Thumb bits,
lost no_dead_strip sections and resolved unlabelled slots to their section's first word. Run
after the link and before `llvm-strip -x` (the image's local symbols place the objects' atoms),
this reads every relocation of every object and holds the linked image to it: each pointer to
an import is bound, at its place, to the library whose .tbd lists it, with its addend; each
pointer into the image is rebased and holds its target's linked address; each pc-relative
movw/movt pair and each branch reaches its target, branches to imports through a stub lazily
bound to the import. Prints one line per problem and exits 1, or one summary line.

    relocations.py --image LINKED.dylib --tbd A.tbd [--tbd B.tbd ...] OBJECT.o ...

linked_image.py indexes the image, placement.py places the objects' addresses in it (how, it
tells) and relocation_checks.py holds each relocation to what is found there.
"""
import argparse
import os
import sys

import yaml

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import tapi  # noqa: E402
import objects  # noqa: E402
from linked_image import CheckError, Linked  # noqa: E402
from objects import ObjectError  # noqa: E402
from placement import Link  # noqa: E402
from relocation_checks import Checker  # noqa: E402


def read_tbds(paths):
    """{symbol: {install names of the libraries whose .tbd lists it for armv7}}."""
    libraries = {}
    for path in paths:
        try:
            listed = tapi.read(path, "armv7")
        except (OSError, yaml.YAMLError, tapi.TbdError) as error:
            raise CheckError(f"{path}: cannot be read as a .tbd: {error}") from None
        for install_name, symbols in listed:
            for symbol in symbols:
                libraries.setdefault(symbol, set()).add(install_name)
    return libraries


def linked_objects(paths, linked):
    """The objects of the link: each object file, and the archive members the linker loaded.
    A member was loaded when the image defines one of its non-weak external symbols; one with
    only weak ones, when no object loaded so far defines them. An archive named twice on the
    line, as static libraries that need each other are, is read once."""
    objs, archives, seen = [], [], set()
    for path in paths:
        inputs = objects.read_inputs(path)
        if len(inputs) == 1 and inputs[0].label == path:
            objs += inputs
        elif os.path.realpath(path) not in seen:
            seen.add(os.path.realpath(path))
            archives += inputs
    for weak in (False, True):
        defined = {s.name for obj in objs for s in obj.symbols if s.defined}
        for member in archives:
            names = {s.name for s in member.symbols if s.defined and s.external and
                     s.weak == weak}
            present = names & set(linked.definitions)
            if member not in objs and present and (not weak or present - defined):
                objs.append(member)
    return objs


def check(image_path, tbd_paths, object_paths):
    """(problems, summary line) of the link of object_paths into image_path."""
    tbds = read_tbds(tbd_paths)
    linked = Linked(image_path)
    objs = linked_objects(object_paths, linked)
    checker = Checker(Link(linked, objs, tbds))
    for obj in objs:
        checker.check_object(obj)
    checker.check_image()
    summary = (f"relocations: {checker.binds} binds, {checker.rebases} rebases, "
               f"{checker.pc_relative} pc-relative addresses checked in {image_path}")
    return checker.problems, summary


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--image", required=True, help="the linked armv7 image, unstripped")
    parser.add_argument("--tbd", action="append", default=[], help="a .tbd list it links")
    parser.add_argument("objects", nargs="+", help="the objects given to the linker")
    options = parser.parse_args(argv)
    try:
        problems, summary = check(options.image, options.tbd, options.objects)
    except (CheckError, ObjectError, OSError) as error:
        sys.exit(f"relocations.py: {error}")
    for problem in problems:
        print(problem)
    if problems:
        sys.exit(1)
    print(summary)


if __name__ == "__main__":
    main(sys.argv[1:])
