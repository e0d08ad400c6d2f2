"""What the signer and the device checks read from a thin arm64 Mach-O file: its header, load
commands, segments with their sections, linked libraries, minimum system and code-signature
region. Only the fixed-layout load commands are read; dyld's opcode streams are left to
llvm-objdump.
"""
import struct

MH_MAGIC_64 = 0xFEEDFACF
FAT_MAGICS = (0xCAFEBABE, 0xBEBAFECA, 0xCAFEBABF, 0xBFBAFECA)
CPU_TYPE_ARM64 = 0x0100000C
MH_DYLIB = 6
MH_BUNDLE = 8
MH_TWOLEVEL = 0x80

LC_REQ_DYLD = 0x80000000
LC_SEGMENT_64 = 0x19
LC_LOAD_DYLIB = 0x0C
LC_LOAD_WEAK_DYLIB = 0x18 | LC_REQ_DYLD
LC_REEXPORT_DYLIB = 0x1F | LC_REQ_DYLD
LC_LAZY_LOAD_DYLIB = 0x20
LC_LOAD_UPWARD_DYLIB = 0x23 | LC_REQ_DYLD
LC_ID_DYLIB = 0x0D
LC_CODE_SIGNATURE = 0x1D
LC_VERSION_MIN_IPHONEOS = 0x25
LC_BUILD_VERSION = 0x32
PLATFORM_IOS = 2

DYLIB_COMMANDS = {
    LC_LOAD_DYLIB: "LC_LOAD_DYLIB",
    LC_LOAD_WEAK_DYLIB: "LC_LOAD_WEAK_DYLIB",
    LC_REEXPORT_DYLIB: "LC_REEXPORT_DYLIB",
    LC_LAZY_LOAD_DYLIB: "LC_LAZY_LOAD_DYLIB",
    LC_LOAD_UPWARD_DYLIB: "LC_LOAD_UPWARD_DYLIB",
}

HEADER = struct.Struct("<IiiIIIII")
LOAD_COMMAND = struct.Struct("<II")
SEGMENT = struct.Struct("<II16sQQQQiiII")
SECTION = struct.Struct("<16s16sQQIIIIIIII")
LINKEDIT_DATA = struct.Struct("<IIII")
DYLIB = struct.Struct("<IIIIII")
VERSION_MIN = struct.Struct("<IIII")
BUILD_VERSION = struct.Struct("<IIIIII")


class MachOError(Exception):
    """A file the signer or the checks cannot take, in one line."""


def _name(raw):
    return raw.split(b"\0", 1)[0].decode("ascii", "replace")


def _version(packed):
    """xxxx.yy.zz packed as 16.8.8 bits."""
    return (packed >> 16, (packed >> 8) & 0xFF, packed & 0xFF)


class Section:
    def __init__(self, raw):
        sect, seg, self.addr, self.size, self.offset = SECTION.unpack_from(raw)[:5]
        self.name, self.segment = _name(sect), _name(seg)


class Segment:
    def __init__(self, data, offset):
        (_, _, name, self.vmaddr, self.vmsize, self.fileoff, self.filesize, _, _, nsects,
         _) = SEGMENT.unpack_from(data, offset)
        self.name = _name(name)
        self.command_offset = offset
        first = offset + SEGMENT.size
        if first + nsects * SECTION.size > len(data):
            raise ValueError("its sections run past the end of the file")
        self.sections = [Section(data[first + i * SECTION.size:first + (i + 1) * SECTION.size])
                         for i in range(nsects)]


class CodeSignatureCommand:
    def __init__(self, data, offset):
        _, _, self.dataoff, self.datasize = LINKEDIT_DATA.unpack_from(data, offset)
        self.command_offset = offset


class MachO:
    """A parsed thin arm64 Mach-O image; raises MachOError for anything else."""

    def __init__(self, data, label="file"):
        self.data = data
        self._check_thin_arm64(label)
        (_, _, _, self.filetype, ncmds, sizeofcmds, self.flags, _) = HEADER.unpack_from(data)
        self.segments, self.dylibs, self.install_name = [], [], None
        self.code_signature, self.minimum_ios = None, None
        self._read_commands(ncmds, sizeofcmds, label)

    def _check_thin_arm64(self, label):
        if len(self.data) < HEADER.size:
            raise MachOError(f"{label}: too short to be a Mach-O file")
        magic, cputype = struct.unpack_from("<Ii", self.data)
        if struct.unpack_from(">I", self.data)[0] in FAT_MAGICS:
            raise MachOError(f"{label}: a universal (fat) file; a thin arm64 Mach-O is needed")
        if magic != MH_MAGIC_64:
            raise MachOError(f"{label}: not a 64-bit Mach-O file")
        if cputype != CPU_TYPE_ARM64:
            raise MachOError(f"{label}: CPU type {cputype:#x} is not arm64")

    def _read_commands(self, ncmds, sizeofcmds, label):
        offset, end = HEADER.size, HEADER.size + sizeofcmds
        if end > len(self.data):
            raise MachOError(f"{label}: load commands run past the end of the file")
        for _ in range(ncmds):
            if offset + LOAD_COMMAND.size > end:
                raise MachOError(f"{label}: load commands run past their declared size")
            cmd, cmdsize = LOAD_COMMAND.unpack_from(self.data, offset)
            if cmdsize < LOAD_COMMAND.size or offset + cmdsize > end:
                raise MachOError(f"{label}: load command {cmd:#x} has a bad size {cmdsize}")
            try:
                self._read_command(cmd, offset, cmdsize)
            except (struct.error, ValueError):
                raise MachOError(f"{label}: load command {cmd:#x} is malformed") from None
            offset += cmdsize

    def _read_command(self, cmd, offset, cmdsize):
        if cmd == LC_SEGMENT_64:
            self.segments.append(Segment(self.data, offset))
        elif cmd == LC_CODE_SIGNATURE:
            self.code_signature = CodeSignatureCommand(self.data, offset)
        elif cmd in DYLIB_COMMANDS or cmd == LC_ID_DYLIB:
            name = _name(self.data[offset + DYLIB.unpack_from(self.data, offset)[2]:
                                   offset + cmdsize])
            if cmd == LC_ID_DYLIB:
                self.install_name = name
            else:
                self.dylibs.append((DYLIB_COMMANDS[cmd], name))
        elif cmd == LC_VERSION_MIN_IPHONEOS:
            self.minimum_ios = _version(VERSION_MIN.unpack_from(self.data, offset)[2])
        elif cmd == LC_BUILD_VERSION:
            _, _, platform, minos, _, _ = BUILD_VERSION.unpack_from(self.data, offset)
            if platform == PLATFORM_IOS:
                self.minimum_ios = _version(minos)

    def segment(self, name):
        return next((s for s in self.segments if s.name == name), None)

    def section(self, segment, name):
        found = self.segment(segment)
        return next((s for s in found.sections if s.name == name), None) if found else None


def read(path):
    with open(path, "rb") as image:
        return MachO(image.read(), label=str(path))
