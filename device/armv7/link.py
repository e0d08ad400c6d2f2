#!/usr/bin/python3 -B
"""The old Mach-O linker, with its warnings made fatal: it ignores an option it does not know
(-fatal_warnings among them) with a warning, and the armv7 build takes no link it warned on.

    link.py ARGUMENTS...    as ld64.lld.darwinold-13 takes them
"""
import subprocess
import sys

LINKER = "/usr/bin/ld64.lld.darwinold-13"


def main(arguments):
    try:
        done = subprocess.run([LINKER, *arguments], capture_output=True, text=True)
    except OSError as error:
        sys.exit(f"link.py: {LINKER}: {error.strerror}")
    sys.stdout.write(done.stdout)
    sys.stderr.write(done.stderr)
    if done.returncode != 0:
        sys.exit(done.returncode)
    if "warning:" in done.stderr:
        sys.exit("link.py: the link warned; the armv7 build takes no link it warned on")


if __name__ == "__main__":
    main(sys.argv[1:])
