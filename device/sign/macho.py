"""What the signer and the device checks read from a Mach-O file: a thin arm64 or armv7 image's
header, load commands, segments with their sections, linked libraries, minimum system and
code-signature region; and a universal (fat) file's slices. Only the fixed-layout load commands
are read; dyld's opcode streams are left to llvm-objdump.
"""
import collections
import struct

MH_MAGIC = 0xFEEDFACE
MH_MAGIC_64 = 0xFEEDFACF
FAT_MAGIC = 0xCAFEBABE
FAT_MAGIC_64 = 0xCAFEBABF
FAT_MAGICS = (FAT_MAGIC, 0xBEBAFECA, FAT_MAGIC_64, 0xBFBAFECA)
CPU_ARCH_ABI64 = 0x01000000
CPU_TYPE_ARM = 12
CPU_TYPE_ARM64 = CPU_TYPE_ARM | CPU_ARCH_ABI64
CPU_SUBTYPE_ARM_V7 = 9
CPU_SUBTYPE_MASK = 0xFF000000
MH_DYLIB = 6
MH_BUNDLE = 8
MH_TWOLEVEL = 0x80

LC_REQ_DYLD = 0x80000000
LC_SEGMENT = 0x01
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

HEADER = struct.Struct("<IiiIIIII")  # mach_header_64
HEADER_32 = struct.Struct("<IiiIIII")  # mach_header: no reserved word
LOAD_COMMAND = struct.Struct("<II")
SEGMENT = struct.Struct("<II16sQQQQiiII")  # segment_command_64
SECTION = struct.Struct("<16s16sQQIIIIIIII")  # section_64
SEGMENT_32 = struct.Struct("<II16sIIIIiiII")  # segment_command
SECTION_32 = struct.Struct("<16s16sIIIIIIIII")  # section
LINKEDIT_DATA = struct.Struct("<IIII")
DYLIB = struct.Struct("<IIIIII")
VERSION_MIN = struct.Struct("<IIII")
BUILD_VERSION = struct.Struct("<IIIIII")
FAT_HEADER = struct.Struct(">II")  # magic, nfat_arch
FAT_ARCH = struct.Struct(">iiIII")  # cputype, cpusubtype, offset, size, align
FAT_ARCH_64 = struct.Struct(">iiQQII")  # the same with 64-bit offset and size, reserved

# Each layout: the header, segment and section structs and the segment's integer word, with
# the offsets of vmsize and filesize inside the segment command.
_LAYOUTS = {
    MH_MAGIC_64: (HEADER, SEGMENT, SECTION, "<Q", 32, 48),
    MH_MAGIC: (HEADER_32, SEGMENT_32, SECTION_32, "<I", 28, 36),
}

ARCH_NAMES = {(CPU_TYPE_ARM64, 0): "arm64", (CPU_TYPE_ARM, CPU_SUBTYPE_ARM_V7): "armv7",
              (CPU_TYPE_ARM, 11): "armv7s", (CPU_TYPE_ARM, 6): "armv6"}


class MachOError(Exception):
    """A file the signer or the checks cannot take, in one line."""


def _name(raw):
    return raw.split(b"\0", 1)[0].decode("ascii", "replace")


def _version(packed):
    """xxxx.yy.zz packed as 16.8.8 bits."""
    return (packed >> 16, (packed >> 8) & 0xFF, packed & 0xFF)


def arch_name(cputype, cpusubtype):
    """lipo's name of a CPU type and subtype, e.g. arm64 or armv7."""
    key = (cputype, cpusubtype & ~CPU_SUBTYPE_MASK & 0xFFFFFFFF)
    return ARCH_NAMES.get(key, f"cputype {cputype:#x} subtype {key[1]:#x}")


class Section:
    def __init__(self, raw, layout=SECTION):
        sect, seg, self.addr, self.size, self.offset = layout.unpack_from(raw)[:5]
        self.name, self.segment = _name(sect), _name(seg)


class Segment:
    """A segment command; vmsize_offset and filesize_offset are its fields' offsets in the file,
    word their struct format (8 bytes in LC_SEGMENT_64, 4 in LC_SEGMENT)."""

    def __init__(self, data, offset, layout=MH_MAGIC_64):
        _, segment, section, self.word, vmsize_at, filesize_at = _LAYOUTS[layout]
        (_, _, name, self.vmaddr, self.vmsize, self.fileoff, self.filesize, _, _, nsects,
         _) = segment.unpack_from(data, offset)
        self.name = _name(name)
        self.command_offset = offset
        self.vmsize_offset, self.filesize_offset = offset + vmsize_at, offset + filesize_at
        first = offset + segment.size
        if first + nsects * section.size > len(data):
            raise ValueError("its sections run past the end of the file")
        self.sections = [Section(data[first + i * section.size:first + (i + 1) * section.size],
                                 section)
                         for i in range(nsects)]


class CodeSignatureCommand:
    def __init__(self, data, offset):
        _, _, self.dataoff, self.datasize = LINKEDIT_DATA.unpack_from(data, offset)
        self.command_offset = offset


class MachO:
    """A parsed thin arm64 or 32-bit ARM Mach-O image; raises MachOError for anything else,
    a universal file included (see slices())."""

    def __init__(self, data, label="file"):
        self.data = data
        self._check_thin_arm(label)
        header = HEADER if self.is_64 else HEADER_32
        (_, self.cputype, self.cpusubtype, self.filetype, self.ncmds, self.sizeofcmds,
         self.flags) = header.unpack_from(data)[:7]
        self.header_size = header.size
        self.arch = arch_name(self.cputype, self.cpusubtype)
        self.segments, self.dylibs, self.install_name = [], [], None
        self.code_signature, self.minimum_ios = None, None
        self._read_commands(label)

    def _check_thin_arm(self, label):
        if len(self.data) < HEADER.size:
            raise MachOError(f"{label}: too short to be a Mach-O file")
        magic, cputype = struct.unpack_from("<Ii", self.data)
        if struct.unpack_from(">I", self.data)[0] in FAT_MAGICS:
            raise MachOError(f"{label}: a universal (fat) file; a thin Mach-O is needed")
        if magic not in (MH_MAGIC_64, MH_MAGIC):
            raise MachOError(f"{label}: not a Mach-O file")
        self.is_64 = magic == MH_MAGIC_64
        if self.is_64 and cputype != CPU_TYPE_ARM64:
            raise MachOError(f"{label}: CPU type {cputype:#x} is not arm64")
        if not self.is_64 and cputype != CPU_TYPE_ARM:
            raise MachOError(f"{label}: CPU type {cputype:#x} of a 32-bit file is not ARM")

    @property
    def commands_end(self):
        """The file offset just past the last load command."""
        return self.header_size + self.sizeofcmds

    def _read_commands(self, label):
        offset, end = self.header_size, self.commands_end
        if end > len(self.data):
            raise MachOError(f"{label}: load commands run past the end of the file")
        for _ in range(self.ncmds):
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
        if cmd == (LC_SEGMENT_64 if self.is_64 else LC_SEGMENT):
            self.segments.append(Segment(self.data, offset,
                                         MH_MAGIC_64 if self.is_64 else MH_MAGIC))
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

    def first_content_offset(self):
        """Where the first section's bytes start in the file (zero-fill sections have none):
        the load commands can grow up to here."""
        offsets = [s.offset for segment in self.segments for s in segment.sections if s.offset]
        offsets += [s.fileoff for s in self.segments if s.fileoff and s.filesize]
        return min(offsets, default=len(self.data))


# --- universal files ---------------------------------------------------------------------------

# One slice of a universal file: where its image lies in the file and its alignment (log2).
FatArch = collections.namedtuple("FatArch", "cputype cpusubtype offset size align")


def is_fat(data):
    return len(data) >= 4 and struct.unpack_from(">I", data)[0] in FAT_MAGICS


def fat_arches(data, label="file"):
    """The fat_arch entries of a universal file, checked to lie inside it without overlaps."""
    if len(data) < FAT_HEADER.size:
        raise MachOError(f"{label}: too short to be a universal file")
    magic, count = FAT_HEADER.unpack_from(data)
    if magic not in (FAT_MAGIC, FAT_MAGIC_64):
        raise MachOError(f"{label}: a universal file with a byte-swapped header")
    entry = FAT_ARCH if magic == FAT_MAGIC else FAT_ARCH_64
    end = FAT_HEADER.size + count * entry.size
    if count == 0 or end > len(data):
        raise MachOError(f"{label}: a universal (fat) file whose header lists {count} slices, "
                         "which do not fit in it")
    arches = [FatArch(*entry.unpack_from(data, FAT_HEADER.size + i * entry.size)[:5])
              for i in range(count)]
    previous = end
    for arch in sorted(arches, key=lambda a: a.offset):
        name = arch_name(arch.cputype, arch.cpusubtype)
        if arch.offset < previous or arch.offset + arch.size > len(data) or arch.align > 31:
            raise MachOError(f"{label}: the {name} slice's offset {arch.offset:#x} and size "
                             f"{arch.size:#x} do not lie in the file after the slices before")
        previous = arch.offset + arch.size
    return arches


def slices(data, label="file"):
    """(FatArch, image bytes) of each slice of a universal file, in the header's order."""
    return [(arch, data[arch.offset:arch.offset + arch.size])
            for arch in fat_arches(data, label)]


def fat_file(parts):
    """A universal file (32-bit fat header) of (FatArch, image) pairs in that order: each image
    starts on a 2^align boundary and its entry's offset and size are recomputed."""
    offset = FAT_HEADER.size + len(parts) * FAT_ARCH.size
    header = [FAT_HEADER.pack(FAT_MAGIC, len(parts))]
    body = []
    for arch, image in parts:
        start = -(-offset // (1 << arch.align)) * (1 << arch.align)
        if start + len(image) > 0xFFFFFFFF:
            raise MachOError("the universal file would pass 4 GiB")
        header.append(FAT_ARCH.pack(arch.cputype, arch.cpusubtype, start, len(image),
                                    arch.align))
        body += [bytes(start - offset), image]
        offset = start + len(image)
    return b"".join(header) + b"".join(body)


def read(path):
    with open(path, "rb") as image:
        return MachO(image.read(), label=str(path))
