#!/usr/bin/python3 -B
"""The armv7 link: the old Mach-O linker, then the checks that make up for its faults, so that
no image leaves a link unchecked.

1. The linker, its warnings made fatal: it ignores an option it does not know (-fatal_warnings
   among them) with a warning.
2. The image info, if any, gets its name back (imageinfo.py).
3. Every relocation of every object and archive it was given is held to the linked image
   (relocations.py), with the .tbd list behind each stub library.
A failed step removes the image, so that nothing can ship it.

    link.py ARGUMENTS...    as ld64.lld.darwinold-13 takes them (clang's driver passes them)
"""
import os
import subprocess
import sys

import imageinfo
import relocations

LINKER = "/usr/bin/ld64.lld.darwinold-13"
LISTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tbd")
# Options followed by a value, which is not an input.
VALUED = {"-o", "-arch", "-dylib_install_name", "-install_name", "-iphoneos_version_min",
          "-ios_version_min", "-sdk_version", "-exported_symbols_list",
          "-unexported_symbols_list", "-lto_library", "-L", "-framework", "-syslibroot"}
SECTALIGN_VALUES = 3


class LinkError(Exception):
    pass


def _inputs(arguments):
    """(output, objects and archives, stub libraries) of a linker command."""
    output, inputs, stubs, skip = None, [], [], 0
    for at, argument in enumerate(arguments):
        if skip:
            skip -= 1
        elif argument == "-o":
            output, skip = arguments[at + 1], 1
        elif argument in VALUED:
            skip = 1
        elif argument == "-sectalign":
            skip = SECTALIGN_VALUES
        elif argument.endswith(".dylib"):
            stubs.append(argument)
        elif argument.endswith((".o", ".a")):
            inputs.append(argument)
    if output is None:
        raise LinkError("the link names no output (-o)")
    return output, inputs, stubs


def _list_of(stub):
    """The .tbd list a stub library was made from: stubs.py names each after its list."""
    listed = os.path.join(LISTS, os.path.splitext(os.path.basename(stub))[0] + ".tbd")
    if not os.path.exists(listed):
        raise LinkError(f"{stub} is no stub of a list in {os.path.normpath(LISTS)}")
    return listed


def _linked(arguments):
    done = subprocess.run([LINKER, *arguments], capture_output=True, text=True)
    sys.stdout.write(done.stdout)
    sys.stderr.write(done.stderr)
    if done.returncode != 0:
        sys.exit(done.returncode)
    if "warning:" in done.stderr:
        raise LinkError("the link warned; the armv7 build takes no link it warned on")


def _restore_image_info(output):
    with open(output, "rb") as file:
        data = file.read()
    if imageinfo.hides_one(data):
        with open(output, "wb") as file:
            file.write(imageinfo.restored(data))


def _checked(output, inputs, stubs):
    problems, summary = relocations.check(output, [_list_of(stub) for stub in stubs], inputs)
    if problems:
        raise LinkError("the linked image does not hold what its objects ask for:\n" +
                        "\n".join(problems))
    print(summary)


def main(arguments):
    output = None
    try:
        output, inputs, stubs = _inputs(arguments)
        _linked(arguments)
        _restore_image_info(output)
        _checked(output, inputs, stubs)
    except (LinkError, imageinfo.ImageInfoError, relocations.CheckError,
            relocations.ObjectError, OSError) as error:
        if output and os.path.exists(output):
            os.remove(output)
        sys.exit(f"link.py: {output or 'the link'}: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
