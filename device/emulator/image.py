"""A Mach-O image as dyld sees it before mapping: its segments with their protections, its
sections, and the fixups that dyld applies at load (rebases, binds, lazy binds and weak binds,
read from the opcode streams of LC_DYLD_INFO or LC_DYLD_INFO_ONLY), its exported symbols and its
linked libraries. Images that need anything dyld of iOS 7 and 8 does not do (chained fixups) or
that are encrypted are refused, each in one line.
"""
import struct

MH_MAGIC = 0xFEEDFACE
MH_MAGIC_64 = 0xFEEDFACF
FAT_MAGICS = (0xCAFEBABE, 0xCAFEBABF)

LC_REQ_DYLD = 0x80000000
LC_SEGMENT = 0x01
LC_SYMTAB = 0x02
LC_LOAD_DYLIB = 0x0C
LC_ID_DYLIB = 0x0D
LC_SEGMENT_64 = 0x19
LC_ENCRYPTION_INFO = 0x21
LC_DYLD_INFO = 0x22
LC_DYLD_INFO_ONLY = 0x22 | LC_REQ_DYLD
LC_ENCRYPTION_INFO_64 = 0x2C
LC_DYLD_CHAINED_FIXUPS = 0x34 | LC_REQ_DYLD
LC_DYLD_EXPORTS_TRIE = 0x33 | LC_REQ_DYLD
DYLIB_LOADS = (LC_LOAD_DYLIB, 0x18 | LC_REQ_DYLD, 0x1F | LC_REQ_DYLD, 0x20, 0x23 | LC_REQ_DYLD)

N_EXT = 0x01
N_TYPE = 0x0E
N_SECT = 0x0E

REBASE_TYPE_POINTER = 1
BIND_TYPE_POINTER = 1


class ImageError(Exception):
    """An image the loader cannot take, in one line."""


def _name(raw):
    return raw.split(b"\0", 1)[0].decode("ascii", "replace")


class Segment:
    def __init__(self, name, vmaddr, vmsize, fileoff, filesize, maxprot, initprot):
        self.name, self.vmaddr, self.vmsize = name, vmaddr, vmsize
        self.fileoff, self.filesize = fileoff, filesize
        self.maxprot, self.initprot = maxprot, initprot
        self.sections = []


class Section:
    def __init__(self, name, segment, addr, size, offset, flags):
        self.name, self.segment, self.addr, self.size = name, segment, addr, size
        self.offset, self.flags = offset, flags


class Fixup:
    """One pointer-sized slot that dyld writes: a rebase (symbol None) or a bind."""

    def __init__(self, address, symbol=None, library=None, addend=0, kind="rebase", weak=False):
        self.address, self.symbol, self.library = address, symbol, library
        self.addend, self.kind, self.weak = addend, kind, weak


class Image:
    """A parsed thin Mach-O image of one architecture."""

    def __init__(self, data, label="image"):
        self.data, self.label = data, label
        if len(data) < 28:
            raise ImageError(f"{label}: too short to be a Mach-O file")
        magic = struct.unpack_from("<I", data)[0]
        if struct.unpack_from(">I", data)[0] in FAT_MAGICS:
            raise ImageError(f"{label}: a universal file; take one slice first (thin())")
        if magic not in (MH_MAGIC, MH_MAGIC_64):
            raise ImageError(f"{label}: not a Mach-O file")
        self.is64 = magic == MH_MAGIC_64
        self.word = 8 if self.is64 else 4
        (_, self.cputype, self.cpusubtype, self.filetype, ncmds, sizeofcmds,
         self.flags) = struct.unpack_from("<IiiIIII", data)
        self.segments, self.libraries, self.install_name = [], [], None
        self.dyld_info = self.symtab = None
        self._read_commands(ncmds, sizeofcmds)
        if self.dyld_info is None:
            raise ImageError(f"{label}: no LC_DYLD_INFO(_ONLY): nothing says how to bind it")
        self.fixups = self._read_fixups()
        self.exports = self._read_exports()

    # --- Load commands ------------------------------------------------------------------

    def _read_commands(self, ncmds, sizeofcmds):
        offset = 32 if self.is64 else 28
        end = offset + sizeofcmds
        if end > len(self.data):
            raise ImageError(f"{self.label}: load commands run past the end of the file")
        for _ in range(ncmds):
            cmd, cmdsize = struct.unpack_from("<II", self.data, offset)
            if cmdsize < 8 or offset + cmdsize > end:
                raise ImageError(f"{self.label}: load command {cmd:#x} has a bad size")
            self._read_command(cmd, offset, cmdsize)
            offset += cmdsize

    def _read_command(self, cmd, offset, cmdsize):
        if cmd in (LC_SEGMENT, LC_SEGMENT_64):
            self.segments.append(self._read_segment(offset, cmd == LC_SEGMENT_64))
        elif cmd in (LC_DYLD_INFO, LC_DYLD_INFO_ONLY):
            self.dyld_info = struct.unpack_from("<10I", self.data, offset + 8)
        elif cmd == LC_SYMTAB:
            self.symtab = struct.unpack_from("<4I", self.data, offset + 8)
        elif cmd in (LC_DYLD_CHAINED_FIXUPS, LC_DYLD_EXPORTS_TRIE):
            raise ImageError(f"{self.label}: uses chained fixups, which iOS 7 and 8 cannot load")
        elif cmd in (LC_ENCRYPTION_INFO, LC_ENCRYPTION_INFO_64):
            cryptid = struct.unpack_from("<III", self.data, offset + 8)[2]
            if cryptid != 0:
                raise ImageError(f"{self.label}: encrypted (cryptid {cryptid}): cannot be read")
        elif cmd in DYLIB_LOADS or cmd == LC_ID_DYLIB:
            name_offset = struct.unpack_from("<I", self.data, offset + 8)[0]
            name = _name(self.data[offset + name_offset:offset + cmdsize])
            if cmd == LC_ID_DYLIB:
                self.install_name = name
            else:
                self.libraries.append(name)

    def _read_segment(self, offset, is64):
        if is64:
            fields = struct.unpack_from("<16sQQQQiiII", self.data, offset + 8)
            section_format, first = "<16s16sQQIIIIIIII", offset + 72
        else:
            fields = struct.unpack_from("<16sIIIIiiII", self.data, offset + 8)
            section_format, first = "<16s16sIIIIIIIII", offset + 56
        name, vmaddr, vmsize, fileoff, filesize, maxprot, initprot, nsects, _ = fields
        segment = Segment(_name(name), vmaddr, vmsize, fileoff, filesize, maxprot, initprot)
        size = struct.calcsize(section_format)
        for i in range(nsects):
            raw = struct.unpack_from(section_format, self.data, first + i * size)
            segment.sections.append(Section(_name(raw[0]), _name(raw[1]), raw[2], raw[3],
                                            raw[4], raw[8]))
        return segment

    def section(self, segment, name):
        for found in self.segments:
            for section in found.sections:
                if section.segment == segment and section.name == name:
                    return section
        return None

    def sections(self):
        return [section for segment in self.segments for section in segment.sections]

    # --- Fixups ---------------------------------------------------------------------------

    def _stream(self, offset, size):
        if offset + size > len(self.data):
            raise ImageError(f"{self.label}: a dyld opcode stream runs past the end of the file")
        return self.data[offset:offset + size]

    def _read_fixups(self):
        (rebase_off, rebase_size, bind_off, bind_size, weak_off, weak_size, lazy_off, lazy_size,
         _, _) = self.dyld_info
        fixups = _rebases(self._stream(rebase_off, rebase_size), self)
        fixups += _binds(self._stream(bind_off, bind_size), self, "bind")
        fixups += _binds(self._stream(weak_off, weak_size), self, "weak")
        fixups += _binds(self._stream(lazy_off, lazy_size), self, "lazy")
        return fixups

    def segment_address(self, index, offset):
        if index >= len(self.segments):
            raise ImageError(f"{self.label}: a fixup names segment {index}, which is not there")
        segment = self.segments[index]
        if offset >= segment.vmsize:
            raise ImageError(f"{self.label}: a fixup lies outside segment {segment.name}")
        return segment.vmaddr + offset

    def library_name(self, ordinal):
        if ordinal <= 0:
            return {0: "self", -1: "main executable", -2: "flat lookup"}.get(ordinal, "weak")
        if ordinal > len(self.libraries):
            raise ImageError(f"{self.label}: a bind names library {ordinal} of "
                             f"{len(self.libraries)}")
        return self.libraries[ordinal - 1]

    # --- Exports --------------------------------------------------------------------------

    def _read_exports(self):
        """Defined external symbols by name, from the symbol table."""
        if self.symtab is None:
            return {}
        symoff, nsyms, stroff, strsize = self.symtab
        entry = struct.Struct("<IBBHQ" if self.is64 else "<IBBhI")
        strings = self.data[stroff:stroff + strsize]
        exports = {}
        for i in range(nsyms):
            strx, ntype, _, _, value = entry.unpack_from(self.data, symoff + i * entry.size)
            if ntype & N_EXT and ntype & N_TYPE == N_SECT:
                exports[_name(strings[strx:])] = value
        return exports


def _leb(data, at):
    """A LEB128 number's bits, how many they are, its last byte, and the offset after it."""
    value = shift = 0
    while True:
        if at >= len(data):
            raise ImageError("a dyld opcode stream ends inside a number")
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, shift, byte, at


def _uleb(data, at):
    value, _, _, at = _leb(data, at)
    return value, at


def _sleb(data, at):
    value, shift, last, at = _leb(data, at)
    return value - (1 << shift) if last & 0x40 else value, at


def _rebases(data, image):
    fixups, at, segment, offset, word = [], 0, 0, 0, image.word

    def rebase(count, skip=0):
        nonlocal offset
        for _ in range(count):
            fixups.append(Fixup(image.segment_address(segment, offset)))
            offset += word + skip

    while at < len(data):
        opcode, immediate = data[at] & 0xF0, data[at] & 0x0F
        at += 1
        if opcode == 0x00:  # DONE
            break
        if opcode == 0x10:  # SET_TYPE_IMM
            if immediate != REBASE_TYPE_POINTER:
                raise ImageError(f"{image.label}: rebase type {immediate} is not a plain pointer")
        elif opcode == 0x20:  # SET_SEGMENT_AND_OFFSET_ULEB
            segment = immediate
            offset, at = _uleb(data, at)
        elif opcode == 0x30:  # ADD_ADDR_ULEB
            step, at = _uleb(data, at)
            offset += step
        elif opcode == 0x40:  # ADD_ADDR_IMM_SCALED
            offset += immediate * word
        elif opcode == 0x50:  # DO_REBASE_IMM_TIMES
            rebase(immediate)
        elif opcode == 0x60:  # DO_REBASE_ULEB_TIMES
            count, at = _uleb(data, at)
            rebase(count)
        elif opcode == 0x70:  # DO_REBASE_ADD_ADDR_ULEB
            skip, at = _uleb(data, at)
            rebase(1, skip)
        elif opcode == 0x80:  # DO_REBASE_ULEB_TIMES_SKIPPING_ULEB
            count, at = _uleb(data, at)
            skip, at = _uleb(data, at)
            rebase(count, skip)
        else:
            raise ImageError(f"{image.label}: unknown rebase opcode {opcode:#x}")
    return fixups


def _binds(data, image, kind):
    fixups, at, word = [], 0, image.word
    segment = offset = addend = 0
    symbol, library, weak = None, None, False

    def bind(skip=0):
        nonlocal offset
        if symbol is None:
            raise ImageError(f"{image.label}: a bind with no symbol")
        fixups.append(Fixup(image.segment_address(segment, offset), symbol, library, addend,
                            kind, weak))
        offset += word + skip

    while at < len(data):
        opcode, immediate = data[at] & 0xF0, data[at] & 0x0F
        at += 1
        if opcode == 0x00:  # DONE: lazy streams hold one record after another
            if kind != "lazy":
                break
        elif opcode == 0x10:  # SET_DYLIB_ORDINAL_IMM
            library = image.library_name(immediate)
        elif opcode == 0x20:  # SET_DYLIB_ORDINAL_ULEB
            ordinal, at = _uleb(data, at)
            library = image.library_name(ordinal)
        elif opcode == 0x30:  # SET_DYLIB_SPECIAL_IMM
            library = image.library_name(immediate - 16 if immediate else 0)
        elif opcode == 0x40:  # SET_SYMBOL_TRAILING_FLAGS_IMM
            end = data.index(b"\0", at)
            symbol, weak, at = data[at:end].decode("ascii"), bool(immediate & 1), end + 1
        elif opcode == 0x50:  # SET_TYPE_IMM
            if immediate != BIND_TYPE_POINTER:
                raise ImageError(f"{image.label}: bind type {immediate} is not a plain pointer")
        elif opcode == 0x60:  # SET_ADDEND_SLEB
            addend, at = _sleb(data, at)
        elif opcode == 0x70:  # SET_SEGMENT_AND_OFFSET_ULEB
            segment = immediate
            offset, at = _uleb(data, at)
        elif opcode == 0x80:  # ADD_ADDR_ULEB
            step, at = _uleb(data, at)
            offset = (offset + step) & 0xFFFFFFFFFFFFFFFF
        elif opcode == 0x90:  # DO_BIND
            bind()
        elif opcode == 0xA0:  # DO_BIND_ADD_ADDR_ULEB
            skip, at = _uleb(data, at)
            bind(skip)
        elif opcode == 0xB0:  # DO_BIND_ADD_ADDR_IMM_SCALED
            bind(immediate * word)
        elif opcode == 0xC0:  # DO_BIND_ULEB_TIMES_SKIPPING_ULEB
            count, at = _uleb(data, at)
            skip, at = _uleb(data, at)
            for _ in range(count):
                bind(skip)
        else:
            raise ImageError(f"{image.label}: unknown bind opcode {opcode:#x}")
    return fixups


CPU_SUBTYPE_MASK = 0xFF000000  # capability bits, not the subtype itself


def slice_types(data):
    """(CPU type, subtype) of each slice of a universal file, or of the thin file itself."""
    if len(data) < 12:
        raise ImageError("too short to be a Mach-O file")
    if struct.unpack_from(">I", data)[0] in FAT_MAGICS:
        count = struct.unpack_from(">I", data, 4)[0]
        if 8 + count * 20 > len(data):
            raise ImageError("a universal file whose slice table runs past its end")
        entries = [struct.unpack_from(">iI", data, 8 + i * 20) for i in range(count)]
    else:
        entries = [struct.unpack_from("<iI", data, 4)]
    return [(cputype, subtype & ~CPU_SUBTYPE_MASK) for cputype, subtype in entries]


def thin(data, cputype, label="file", cpusubtype=None):
    """The slice of `cputype` (and `cpusubtype`, when given) out of a universal file, or the
    file itself when it is thin and of that type."""
    wanted = (cputype, cpusubtype)
    if struct.unpack_from(">I", data)[0] not in FAT_MAGICS:
        if not _matches(slice_types(data)[0], wanted):
            raise ImageError(f"{label}: a thin file of another CPU type than {cputype:#x}")
        return data
    for i, found in enumerate(slice_types(data)):
        _, _, offset, size, _ = struct.unpack_from(">iiIII", data, 8 + i * 20)
        if _matches(found, wanted):
            if offset + size > len(data):
                raise ImageError(f"{label}: the slice of CPU type {cputype:#x} runs past the "
                                 f"end of the file")
            return data[offset:offset + size]
    raise ImageError(f"{label}: no slice of CPU type {cputype:#x}")


def _matches(found, wanted):
    return found[0] == wanted[0] and wanted[1] in (None, found[1])
