"""The linked armv7 image as the relocation checker looks things up in it: its sections, the
addresses each symbol is defined at, its binds and rebases by slot and by what they hold, and
the pieces of its literal sections."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "emulator"))
import image as images  # noqa: E402
import objects  # noqa: E402
from objects import ObjectError  # noqa: E402

LITERAL_SIZES = {objects.S_4BYTE_LITERALS: 4, objects.S_8BYTE_LITERALS: 8,
                 objects.S_16BYTE_LITERALS: 16}


class CheckError(Exception):
    """Input the checker cannot take, in one line."""


def section_key(section):
    return section.segment, section.name


class Linked:
    """The linked image with the indexes the checks look things up in."""

    def __init__(self, path):
        with open(path, "rb") as source:
            data = source.read()
        try:
            self.image = images.Image(images.thin(data, objects.CPU_TYPE_ARM, path), path)
            if self.image.cputype != objects.CPU_TYPE_ARM:
                raise CheckError(f"{path}: CPU type {self.image.cputype:#x} is not ARM")
            if self.image.symtab is None:
                raise CheckError(f"{path}: no symbol table: check before stripping")
            symbols = objects.read_symbols(self.image.data, self.image.symtab, path)
        except (images.ImageError, ObjectError, struct.error, ValueError) as error:
            raise CheckError(str(error)) from None
        self.label, self.sections = path, self.image.sections()
        self.definitions = {}
        for symbol in symbols:
            if symbol.defined:
                self.definitions.setdefault(symbol.name, []).append(symbol.value)
        self._index_fixups()
        self._literals = {}

    def _index_fixups(self):
        self.fixups, self.binds, self.rebased = {}, {}, {}
        for fixup in self.image.fixups:
            self.fixups.setdefault(fixup.address, []).append(fixup)
            section = self.section_at(fixup.address)
            key = section_key(section) if section else None
            if fixup.kind == "rebase":
                self.rebased.setdefault((key, self.word(fixup.address)), set()).add(
                    fixup.address)
            elif fixup.kind != "lazy":
                self.binds.setdefault((key, fixup.symbol), set()).add(fixup.address)

    def section_at(self, address):
        return next((s for s in self.sections if s.addr <= address < s.addr + s.size), None)

    def named(self, segment, name):
        return [s for s in self.sections if s.segment == segment and s.name == name]

    def bytes_at(self, address, size):
        section = self.section_at(address)
        if section is None or address + size > section.addr + section.size:
            return None
        if section.flags & objects.SECTION_TYPE == objects.S_ZEROFILL:
            return bytes(size)
        start = section.offset + address - section.addr
        return self.image.data[start:start + size]

    def word(self, address):
        raw = self.bytes_at(address, 4)
        return struct.unpack("<I", raw)[0] if raw and len(raw) == 4 else None

    def fixup(self, address, kinds):
        return next((f for f in self.fixups.get(address, []) if f.kind in kinds), None)

    def literals(self, key, kind):
        """{content: [addresses]} of a literal section's pieces in the image."""
        if key not in self._literals:
            index = {}
            for section in self.named(*key):
                raw = self.bytes_at(section.addr, section.size) or b""
                for start, piece in _literal_pieces(raw, kind):
                    index.setdefault(piece, []).append(section.addr + start)
            self._literals[key] = index
        return self._literals[key]


def _literal_pieces(raw, kind):
    """(offset, bytes) of each literal: NUL-terminated strings, or fixed-size chunks."""
    if kind == objects.S_CSTRING_LITERALS:
        start = 0
        while start < len(raw):
            end = raw.find(b"\0", start)
            end = len(raw) - 1 if end < 0 else end
            yield start, raw[start:end + 1]
            start = end + 1
    else:
        size = LITERAL_SIZES[kind]
        for start in range(0, len(raw) - size + 1, size):
            yield start, raw[start:start + size]
