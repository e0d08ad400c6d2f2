#!/usr/bin/env python3
"""The armv7 build's compiler launcher: each source is compiled to assembly, its non-lazy slots
rewritten (slots.py), its weak definitions made local or common (weak.py), its sections put in
an order the linker reads (sections.py) and its image info renamed (imageinfo.py), then
assembled into the object the build asked for: the old linker
would drop the binds of the compiler's own slots, and misplace what it coalesces.

Symbols keep the default visibility here, whatever the build asks: the compiler then reaches
the weak data that become common symbols through slots, which a common may fill. The link's
export list keeps the image's exports to its map all the same.

    compile.py COMPILER ARGUMENTS... -o OBJECT -c SOURCE

The compiler's dependency flags (-MD -MT -MF) stay on the first step, so Ninja still learns
every header the source reads.
"""
import os
import subprocess
import sys

import imageinfo
import sections
import slots
import weak

# Flags the armv7 compile leaves out, as above.
HIDING = ("-fvisibility=hidden", "-fvisibility-inlines-hidden")

def _output_of(arguments):
    if "-o" not in arguments or "-c" not in arguments:
        sys.exit("compile.py: expected a compiler command with -o OBJECT and -c SOURCE")
    return arguments[arguments.index("-o") + 1]


def _to_assembly(arguments, assembly):
    command = []
    skip_next = False
    for argument in arguments:
        if skip_next:
            skip_next = False
        elif argument == "-o":
            command += ["-o", assembly]
            skip_next = True
        elif argument == "-c":
            command.append("-S")
        elif argument in HIDING:
            continue
        else:
            command.append(argument)
    return command


def _assembler(arguments, assembly, target):
    """The compiler as assembler: its target and flags that matter to the object, no others."""
    compiler = arguments[0]
    keep = [a for a in arguments[1:] if a.startswith(("--target=", "-m", "-arch"))]
    return [compiler, *keep, "-c", assembly, "-o", target]


def run(arguments):
    target = _output_of(arguments)
    assembly, rewritten = f"{target}.s", f"{target}.rewritten.s"
    subprocess.run(_to_assembly(arguments, assembly), check=True)
    with open(assembly) as file:
        text = slots.rewrite(file.read())
        text = imageinfo.hidden_in_assembly(sections.ordered(weak.rewrite(text)))
    with open(rewritten, "w") as file:
        file.write(text)
    subprocess.run(_assembler(arguments, rewritten, target), check=True)
    os.remove(assembly)


def main(arguments):
    try:
        run(arguments)
    except subprocess.CalledProcessError as error:
        sys.exit(error.returncode)
    except (slots.RewriteError, weak.WeakError) as error:
        sys.exit(f"compile.py: {_output_of(arguments)}: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
