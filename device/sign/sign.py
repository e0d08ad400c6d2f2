#!/usr/bin/env python3
"""Replaces each Mach-O file's linker signature with an ad-hoc SHA-1 one that iOS 7 and 8 accept,
or adds one where the linker wrote none; a universal file has each of its slices signed.

    sign.py MACHO...        the identifier of each is its file name without the extension
"""
import sys

import codesign
import macho


def main(paths):
    if not paths:
        sys.exit("usage: sign.py MACHO...")
    for path in paths:
        try:
            codesign.sign_file(path)
        except (OSError, macho.MachOError) as error:
            sys.exit(f"sign.py: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
