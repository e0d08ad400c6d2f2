#!/usr/bin/env python3
"""An armv7 stub library from a .tbd list, for the old linker, which reads no .tbd: a dylib at
the list's install name that defines every symbol the list gives armv7. Only the names and the
library matter to an image linked against it; the definitions are never run.

    stubs.py CLANG LINKER LIST.tbd OUT.dylib [LIBSYSTEM.dylib]

A library other than libSystem is linked against libSystem's stub, as every dylib is.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import tapi  # noqa: E402


def assembly(symbols):
    lines = ["\t.text", "\t.p2align\t2"]
    lines += [f"\t.globl\t{symbol}" for symbol in sorted(symbols)]
    lines += [f"{symbol}:" for symbol in sorted(symbols)]
    lines += ["\tbx\tlr", ""]
    return "\n".join(lines)


def build(clang, linker, tbd, output, libsystem=None):
    [(install_name, symbols)] = tapi.read(tbd, "armv7")
    if not symbols:
        raise tapi.TbdError("gives armv7 nothing: add armv7-ios to its targets")
    source, objects = f"{output}.s", f"{output}.o"
    with open(source, "w") as out:
        out.write(assembly(symbols))
    subprocess.run([clang, "--target=armv7-apple-ios7.0", "-c", source, "-o", objects], check=True)
    subprocess.run([linker, "-arch", "armv7", "-dylib", "-install_name", install_name,
                    "-ios_version_min", "7.0", "-sdk_version", "7.0", objects,
                    *([libsystem] if libsystem else []), "-o", output], check=True)


def main(argv):
    if len(argv) not in (4, 5):
        sys.exit("usage: stubs.py CLANG LINKER LIST.tbd OUT.dylib [LIBSYSTEM.dylib]")
    try:
        build(*argv)
    except (tapi.TbdError, ValueError, OSError) as error:
        sys.exit(f"stubs.py: {argv[2]}: {error}")
    except subprocess.CalledProcessError as error:
        sys.exit(error.returncode)


if __name__ == "__main__":
    main(sys.argv[1:])
