"""What the relocation checker reads from a 32-bit ARM Mach-O object file (MH_OBJECT): its
sections with their relocations, its symbol table with each symbol's n_desc, and its indirect
symbols. The linked image is read by emulator/image.py; only the symbol table, which that reader
keeps to its exports, is read here for both.
"""
import struct

MH_MAGIC = 0xFEEDFACE
CPU_TYPE_ARM = 12
MH_OBJECT = 1
LC_SEGMENT = 0x01
LC_SYMTAB = 0x02
LC_DYSYMTAB = 0x0B

N_STAB = 0xE0
N_EXT = 0x01
N_TYPE = 0x0E
N_SECT = 0x0E
N_UNDF = 0x00
N_WEAK_DEF = 0x0080
N_ARM_THUMB_DEF = 0x0008

SECTION_TYPE = 0xFF
S_ZEROFILL = 0x01
S_CSTRING_LITERALS = 0x02
S_4BYTE_LITERALS = 0x03
S_8BYTE_LITERALS = 0x04
S_LITERAL_POINTERS = 0x05
S_NON_LAZY_SYMBOL_POINTERS = 0x06
S_SYMBOL_STUBS = 0x08
S_MOD_INIT_FUNC_POINTERS = 0x09
S_MOD_TERM_FUNC_POINTERS = 0x0A
S_16BYTE_LITERALS = 0x0E
S_ATTR_NO_DEAD_STRIP = 0x10000000
S_ATTR_PURE_INSTRUCTIONS = 0x80000000
S_ATTR_SOME_INSTRUCTIONS = 0x00000400

R_SCATTERED = 0x80000000
ARM_RELOC_VANILLA = 0
ARM_RELOC_PAIR = 1
ARM_RELOC_SECTDIFF = 2
ARM_RELOC_LOCAL_SECTDIFF = 3
ARM_RELOC_BR24 = 5
ARM_THUMB_RELOC_BR22 = 6
ARM_RELOC_HALF = 8
ARM_RELOC_HALF_SECTDIFF = 9
PAIRED = (ARM_RELOC_SECTDIFF, ARM_RELOC_LOCAL_SECTDIFF, ARM_RELOC_HALF, ARM_RELOC_HALF_SECTDIFF)
INDIRECT_SYMBOL_LOCAL = 0x80000000
INDIRECT_SYMBOL_ABS = 0x40000000

SECTION = struct.Struct("<16s16sIIIIIIIII")
NLIST = struct.Struct("<IBBhI")


class ObjectError(Exception):
    """An object file the checker cannot take, in one line."""


def _name(raw):
    return raw.split(b"\0", 1)[0].decode("ascii", "replace")


class Symbol:
    def __init__(self, index, name, ntype, sect, desc, value):
        self.index, self.name, self.type, self.sect = index, name, ntype, sect
        self.desc, self.value = desc & 0xFFFF, value

    @property
    def defined(self):
        return not self.type & N_STAB and self.type & N_TYPE == N_SECT

    @property
    def common(self):
        """A common symbol: undefined, external, its value the size the linker zero-fills."""
        return (not self.type & N_STAB and self.type & N_TYPE == N_UNDF and
                bool(self.type & N_EXT) and self.value != 0)

    @property
    def external(self):
        return bool(self.type & N_EXT)

    @property
    def thumb(self):
        return bool(self.desc & N_ARM_THUMB_DEF)

    @property
    def weak(self):
        return bool(self.desc & N_WEAK_DEF)


def read_symbols(data, symtab, label):
    """Every nlist entry of the symbol table (symoff, nsyms, stroff, strsize), stabs dropped."""
    symoff, nsyms, stroff, strsize = symtab
    if symoff + nsyms * NLIST.size > len(data) or stroff + strsize > len(data):
        raise ObjectError(f"{label}: the symbol table runs past the end of the file")
    strings = data[stroff:stroff + strsize]
    symbols = []
    for index in range(nsyms):
        strx, ntype, sect, desc, value = NLIST.unpack_from(data, symoff + index * NLIST.size)
        if strx >= max(strsize, 1):
            raise ObjectError(f"{label}: symbol {index} names string {strx} of {strsize}")
        symbols.append(Symbol(index, _name(strings[strx:]), ntype, sect, desc, value))
    return symbols


class Relocation:
    """One relocation entry; `pair` is the ARM_RELOC_PAIR that follows a paired type."""

    def __init__(self, word0, word1):
        self.pair = None
        self.scattered = bool(word0 & R_SCATTERED)
        if self.scattered:
            self.address = word0 & 0xFFFFFF
            self.type, self.length = (word0 >> 24) & 0xF, (word0 >> 28) & 3
            self.pcrel, self.extern = bool(word0 & 0x40000000), False
            self.value, self.symbolnum = word1, None
        else:
            self.address, self.value = word0, None
            self.symbolnum = word1 & 0xFFFFFF
            self.pcrel, self.length = bool(word1 & 0x1000000), (word1 >> 25) & 3
            self.extern, self.type = bool(word1 & 0x8000000), (word1 >> 28) & 0xF

    @property
    def other_half(self):
        """For HALF relocations: the other 16 bits of the value, kept in the pair's address."""
        return self.pair.address & 0xFFFF


class Section:
    def __init__(self, raw, data, number, label):
        (sect, seg, self.addr, self.size, self.offset, _, self.reloff, self.nreloc,
         self.flags, self.reserved1, self.reserved2) = SECTION.unpack(raw)
        self.name, self.segment, self.number = _name(sect), _name(seg), number
        if self.type == S_ZEROFILL:
            self.data = bytes(self.size)
        elif self.offset + self.size > len(data):
            raise ObjectError(f"{label}: section {self.name} runs past the end of the file")
        else:
            self.data = data[self.offset:self.offset + self.size]
        self.relocations = _relocations(data, self.reloff, self.nreloc, f"{label}: {self.name}")

    @property
    def type(self):
        return self.flags & SECTION_TYPE

    @property
    def code(self):
        return bool(self.flags & (S_ATTR_PURE_INSTRUCTIONS | S_ATTR_SOME_INSTRUCTIONS))

    def holds(self, address):
        return self.addr <= address < self.addr + self.size

    def word(self, address):
        return struct.unpack_from("<I", self.data, address - self.addr)[0]


def _relocations(data, offset, count, label):
    if offset + count * 8 > len(data):
        raise ObjectError(f"{label}: relocations run past the end of the file")
    entries = [Relocation(*struct.unpack_from("<II", data, offset + 8 * i)) for i in range(count)]
    relocations, at = [], 0
    while at < len(entries):
        entry = entries[at]
        if entry.type == ARM_RELOC_PAIR:
            raise ObjectError(f"{label}: a PAIR relocation follows no relocation that takes one")
        if entry.type in PAIRED:
            if at + 1 >= len(entries) or entries[at + 1].type != ARM_RELOC_PAIR:
                raise ObjectError(f"{label}: relocation type {entry.type} at "
                                  f"{entry.address:#x} has no PAIR")
            entry.pair, at = entries[at + 1], at + 1
        relocations.append(entry)
        at += 1
    return relocations


class ObjectFile:
    """A parsed armv7 object file; raises ObjectError for anything else."""

    def __init__(self, data, label):
        self.label, self.sections, self.symbols, self.indirect = label, [], [], []
        if len(data) < 28:
            raise ObjectError(f"{label}: too short to be a Mach-O file")
        magic, cputype, _, filetype, ncmds, sizeofcmds, _ = struct.unpack_from("<IiiIIII", data)
        if magic != MH_MAGIC or cputype != CPU_TYPE_ARM or filetype != MH_OBJECT:
            raise ObjectError(f"{label}: not a 32-bit ARM Mach-O object file")
        try:
            self._read_commands(data, ncmds, 28, 28 + sizeofcmds)
        except struct.error:
            raise ObjectError(f"{label}: a load command is cut short") from None

    def _read_commands(self, data, ncmds, offset, end):
        symtab = dysymtab = None
        for _ in range(ncmds):
            cmd, cmdsize = struct.unpack_from("<II", data, offset)
            if cmdsize < 8 or offset + cmdsize > end:
                raise ObjectError(f"{self.label}: load command {cmd:#x} has a bad size")
            if cmd == LC_SEGMENT:
                nsects = struct.unpack_from("<I", data, offset + 48)[0]
                for i in range(nsects):
                    start = offset + 56 + i * SECTION.size
                    self.sections.append(Section(data[start:start + SECTION.size], data,
                                                 len(self.sections) + 1, self.label))
            elif cmd == LC_SYMTAB:
                symtab = struct.unpack_from("<4I", data, offset + 8)
            elif cmd == LC_DYSYMTAB:
                dysymtab = struct.unpack_from("<18I", data, offset + 8)
            offset += cmdsize
        if symtab is not None:
            self.symbols = read_symbols(data, symtab, self.label)
        if dysymtab is not None:
            indirectsymoff, count = dysymtab[12], dysymtab[13]
            if indirectsymoff + 4 * count > len(data):
                raise ObjectError(f"{self.label}: the indirect symbols run past the file's end")
            self.indirect = list(struct.unpack_from(f"<{count}I", data, indirectsymoff))

    def section(self, number):
        if not 1 <= number <= len(self.sections):
            raise ObjectError(f"{self.label}: a relocation names section {number} of "
                              f"{len(self.sections)}")
        return self.sections[number - 1]

    def section_at(self, address):
        return next((s for s in self.sections if s.holds(address)), None)

    def symbol(self, index):
        if index >= len(self.symbols):
            raise ObjectError(f"{self.label}: a relocation names symbol {index} of "
                              f"{len(self.symbols)}")
        return self.symbols[index]

    def indirect_symbol(self, section, address):
        """The symbol a non-lazy pointer slot stands for, or None for a local/absolute slot."""
        index = section.reserved1 + (address - section.addr) // 4
        if index >= len(self.indirect):
            raise ObjectError(f"{self.label}: slot {address:#x} of {section.name} has no "
                              "indirect symbol")
        entry = self.indirect[index]
        if entry & (INDIRECT_SYMBOL_LOCAL | INDIRECT_SYMBOL_ABS):
            return None
        return self.symbol(entry)


def read(path):
    with open(path, "rb") as source:
        return ObjectFile(source.read(), str(path))


AR_MAGIC = b"!<arch>\n"
AR_HEADER = 60


def archive_members(data, label):
    """(name, bytes) of each object in a static archive, GNU or BSD, its symbol tables left."""
    if not data.startswith(AR_MAGIC):
        raise ObjectError(f"{label}: not a static archive")
    members, at, long_names = [], len(AR_MAGIC), b""
    while at + AR_HEADER <= len(data):
        header = data[at:at + AR_HEADER]
        if header[58:60] != b"`\n":
            raise ObjectError(f"{label}: a member header at {at} is damaged")
        name, size = header[:16].decode("ascii", "replace").rstrip(), int(header[48:58])
        body, at = data[at + AR_HEADER:at + AR_HEADER + size], at + AR_HEADER + size + size % 2
        if name.startswith("#1/"):  # BSD: the name leads the body
            length = int(name[3:])
            name, body = body[:length].rstrip(b"\0").decode("utf-8", "replace"), body[length:]
        elif name == "//":
            long_names = body
            continue
        elif name.startswith("/") and name[1:].isdigit():
            start = int(name[1:])
            name = long_names[start:long_names.index(b"/\n", start)].decode("utf-8", "replace")
        if name in ("/", "/SYM64/", "__.SYMDEF", "__.SYMDEF SORTED") or name == "":
            continue
        members.append((f"{label}({name.rstrip('/')})", body))
    return members


def read_inputs(path):
    """The object files of a linker input: the object itself, or an archive's members."""
    with open(path, "rb") as source:
        data = source.read()
    if data.startswith(AR_MAGIC):
        return [ObjectFile(body, name) for name, body in archive_members(data, str(path))]
    return [ObjectFile(data, str(path))]
