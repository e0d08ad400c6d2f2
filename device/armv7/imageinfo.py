#!/usr/bin/env python3
"""The Objective-C image info of an armv7 image, past the old linker.

The runtime registers an image's classes only when it has a `__DATA,__objc_imageinfo` section,
and the old linker crashes on one. So the compiler's section is renamed `__objc_imageinfq` in
the assembly, which the linker copies as any data, and the linked image's section header gets
its real name back: the one edit made after the link, on a name of the same length.

    imageinfo.py IMAGE      restores the name in IMAGE, in place
"""
import re
import struct
import sys

REAL = b"__objc_imageinfo"
HIDDEN = b"__objc_imageinfq"

MH_MAGIC = 0xFEEDFACE
LC_SEGMENT = 0x1
SEGMENT = struct.Struct("<II16sIIIIiiII")
SECTION = struct.Struct("<16s16sIIIIIIIII")


class ImageInfoError(Exception):
    pass


def hidden_in_assembly(text):
    """The assembly with its image-info section under the name the linker copies."""
    return re.sub(r"(\.section\s+__DATA,)__objc_imageinfo\b", r"\1" + HIDDEN.decode(), text)


def _section_headers(data):
    """The file offsets of the 32-bit image's section headers with their names."""
    magic, _, _, _, ncmds, _, _ = struct.unpack_from("<IiiIIII", data)
    if magic != MH_MAGIC:
        raise ImageInfoError("not a 32-bit Mach-O image")
    at = 28
    for _ in range(ncmds):
        command, size = struct.unpack_from("<II", data, at)
        if command == LC_SEGMENT:
            nsects = SEGMENT.unpack_from(data, at)[9]
            for index in range(nsects):
                header = at + SEGMENT.size + index * SECTION.size
                yield header, SECTION.unpack_from(data, header)[0].rstrip(b"\0")
        at += size


def hides_one(data):
    """Whether the image holds a hidden image-info section: an image without Objective-C
    has none, and the link's checks tell whether its objects had one."""
    return any(name == HIDDEN for _, name in _section_headers(data))


def restored(data):
    """The image with its one hidden image-info section named again; any other count fails."""
    hidden = [at for at, name in _section_headers(data) if name == HIDDEN]
    real = [at for at, name in _section_headers(data) if name == REAL]
    if real or len(hidden) != 1:
        raise ImageInfoError(f"expected one {HIDDEN.decode()} section and no {REAL.decode()}, "
                             f"found {len(hidden)} and {len(real)}")
    patched = bytearray(data)
    patched[hidden[0]:hidden[0] + 16] = REAL
    return bytes(patched)


def main(argv):
    if len(argv) != 1:
        sys.exit("usage: imageinfo.py IMAGE")
    with open(argv[0], "rb") as file:
        data = file.read()
    try:
        data = restored(data)
    except (ImageInfoError, struct.error) as error:
        sys.exit(f"imageinfo.py: {argv[0]}: {error}")
    with open(argv[0], "wb") as file:
        file.write(data)


if __name__ == "__main__":
    main(sys.argv[1:])
