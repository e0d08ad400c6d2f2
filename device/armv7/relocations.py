#!/usr/bin/env python3
"""Checks an armv7 link against the relocations of the objects it was linked from.

The old Mach-O linker, the only one that links armv7, has dropped binds, doubled Thumb bits,
lost no_dead_strip sections and resolved unlabelled slots to their section's first word. Run
after the link and before `llvm-strip -x` (the image's local symbols place the objects' atoms),
this reads every relocation of every object and holds the linked image to it: each pointer to
an import is bound, at its place, to the library whose .tbd lists it, with its addend; each
pointer into the image is rebased and holds its target's linked address; each pc-relative
movw/movt pair and each branch reaches its target, branches to imports through a stub lazily
bound to the import. Prints one line per problem and exits 1, or one summary line.

    relocations.py --image LINKED.dylib --tbd A.tbd [--tbd B.tbd ...] OBJECT.o ...

Where an object's address lands in the image:
- in an atom with a symbol (the `l_` locals included): the symbol's linked address plus the
  offset in the atom. A local name that several objects define is placed by order (the k-th
  object defining it, in link order, holds the k-th definition in the image's symbol table, as
  the linker writes them) when the counts agree, else at any of the definitions (ambiguous);
- in a literal section (C strings, 4/8/16-byte literals): wherever the image holds the same
  bytes in the section of that name, since the linker merges equal literals;
- in a slot no symbol covers (literal pointers such as selector references, initialisers, class
  lists, CFStrings: the compiler labels them with temporaries): at any slot of the image's
  section of that name that holds what the object's slot asks for (the same bind, or a rebase
  to the same target) and the same plain bytes; the piece is a CFString's 16 bytes in
  __cfstring and one word elsewhere.
An address one past the end of an atom belongs to the atom before it, as it does for the
linker. Copies of a weak definition that the linker coalesced are checked in their first
object only: the others are not in the image.
"""
import argparse
import os
import struct
import sys

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "emulator"), os.path.join(HERE, "..")]
import arm  # noqa: E402
import tapi  # noqa: E402
import image as images  # noqa: E402
import objects  # noqa: E402
from objects import ObjectError  # noqa: E402

IMAGE_INFO, IMAGE_INFO_STANDIN = "__objc_imageinfo", "__objc_imageinfq"
LITERAL_SIZES = {objects.S_4BYTE_LITERALS: 4, objects.S_8BYTE_LITERALS: 8,
                 objects.S_16BYTE_LITERALS: 16}
SLOT_SECTIONS = (objects.S_LITERAL_POINTERS, objects.S_MOD_INIT_FUNC_POINTERS,
                 objects.S_MOD_TERM_FUNC_POINTERS)
PIECE_SIZES = {"__cfstring": 16}
# What the linker defines itself: the image's own Mach-O header, at the start of __TEXT.
LINKER_DEFINED = ("___dso_handle", "__mh_dylib_header")


class CheckError(Exception):
    """Input the checker cannot take, in one line."""


# --- the .tbd lists ---------------------------------------------------------------------------

def read_tbds(paths):
    """{symbol: {install names of the libraries whose .tbd lists it for armv7}}."""
    libraries = {}
    for path in paths:
        try:
            listed = tapi.read(path, "armv7")
        except (OSError, yaml.YAMLError, tapi.TbdError) as error:
            raise CheckError(f"{path}: cannot be read as a .tbd: {error}") from None
        for install_name, symbols in listed:
            for symbol in symbols:
                libraries.setdefault(symbol, set()).add(install_name)
    return libraries


# --- the linked image -------------------------------------------------------------------------

def _key(section):
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
            key = _key(section) if section else None
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
                for start, piece in _pieces(raw, kind):
                    index.setdefault(piece, []).append(section.addr + start)
            self._literals[key] = index
        return self._literals[key]


def _pieces(raw, kind):
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


# --- the objects: where their addresses land ---------------------------------------------------

class Location:
    """The image addresses an object's address may have become, and what it is."""

    def __init__(self, addresses, what, thumb=False, code=False):
        self.addresses, self.what, self.thumb, self.code = set(addresses), what, thumb, code

    def moved(self, offset):
        return Location({(a + offset) & 0xFFFFFFFF for a in self.addresses}, self.what,
                        self.thumb, self.code)

    def as_pointer(self):
        """The values a pointer to it holds: the linker sets bit 0 on an address in Thumb
        code, whether or not the object's word or expression had it, so twice is one too
        many."""
        if not self.thumb:
            return self
        return Location({a | 1 for a in self.addresses}, self.what, self.thumb, self.code)


class Pointer:
    """What a relocated data word asks dyld for: a bind to `symbol` with `addend` (an import),
    or a rebase to one of `target`'s addresses."""

    def __init__(self, symbol=None, addend=0, target=None):
        self.symbol, self.addend, self.target = symbol, addend, target

    def describe(self):
        return self.symbol if self.symbol else self.target.what


def _signed(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


class Link:
    """The objects given to the linker, placed in the image they were linked into."""

    def __init__(self, linked, objs, tbds):
        self.linked, self.objects, self.tbds = linked, objs, tbds
        self.defined, self.atoms, self.relocs, self._pieces = {}, {}, {}, {}
        self.commons = set()
        for obj in objs:
            for symbol in obj.symbols:
                if symbol.defined:
                    self.defined.setdefault(symbol.name, []).append((obj, symbol))
                elif symbol.common:
                    self.commons.add(symbol.name)
            for section in obj.sections:
                self.atoms[id(section)] = sorted(
                    (s for s in obj.symbols if s.defined and s.sect == section.number),
                    key=lambda s: s.value)
                self.relocs[id(section)] = {r.address: r for r in section.relocations}
        self.rank = {id(obj): self._load_rank(obj) for obj in objs}

    def _load_rank(self, obj):
        """Where the linker put the object among the others: the linked address of its first
        code symbol that only it defines. Archive members load in the order they are needed,
        not the order they are named, and the linker lays each section out in load order."""
        unique = [self.linked.definitions[s.name][0] for s in obj.symbols
                  if s.defined and len(self.defined[s.name]) == 1 and
                  len(self.linked.definitions.get(s.name, [])) == 1 and
                  obj.sections[s.sect - 1].name == "__text"]
        return min(unique, default=None)

    # Atoms with symbols.

    def atom_at(self, section, address):
        """The symbol whose atom holds address (one past an atom's end is that atom's)."""
        found = None
        for symbol in self.atoms[id(section)]:
            if symbol.value > address:
                break
            found = symbol
        return found

    def symbol_addresses(self, obj, symbol):
        in_image = self.linked.definitions.get(symbol.name, [])
        if len(in_image) <= 1:
            return set(in_image)
        same = [(o, s) for o, s in self.defined.get(symbol.name, []) if s.external ==
                symbol.external]
        ranks = [self.rank[id(o)] for o, _ in same]
        if len(same) == len(in_image) and None not in ranks:
            order = sorted(range(len(same)), key=lambda i: ranks[i])
            position = order.index([s for _, s in same].index(symbol))
            return {sorted(in_image)[position]}
        return set(in_image)  # ambiguous: no load order, or the counts differ

    def symbol_location(self, obj, section, symbol, offset=0):
        addresses = {a + offset for a in self.symbol_addresses(obj, symbol)}
        what = symbol.name + (f"+{offset:#x}" if offset else "")
        return Location(addresses, what, symbol.thumb and section.code, section.code)

    def definition(self, obj, name):
        """(object, symbol) defining name, the asking object's own first."""
        defs = self.defined.get(name, [])
        return next(((o, s) for o, s in defs if o is obj), defs[0] if defs else None)

    def coalesced_away(self, obj, section, address):
        atom = self.atom_at(section, address)
        return bool(atom and atom.weak and atom.external and
                    self.defined[atom.name][0][0] is not obj)

    # Any address.

    def resolve(self, obj, section, address):
        if section is None:
            return Location((), f"{address:#x}, which is in no section of {obj.label}")
        kind = section.type
        if kind == objects.S_CSTRING_LITERALS or kind in LITERAL_SIZES:
            return self._literal(section, address)
        if kind == objects.S_NON_LAZY_SYMBOL_POINTERS:
            symbol = obj.indirect_symbol(section, address - (address - section.addr) % 4)
            if symbol is not None:
                return self._non_lazy(obj, symbol).moved((address - section.addr) % 4)
        atom = None if kind in SLOT_SECTIONS else self.atom_at(section, address)
        if atom is None:
            return self._piece(obj, section, address)
        return self.symbol_location(obj, section, atom, address - atom.value)

    def _literal(self, section, address):
        raw, offset = section.data, address - section.addr
        if not raw:
            return Location((), f"{address:#x} in the empty {section.name}")
        if section.type == objects.S_CSTRING_LITERALS:
            # The string holding the address; one past the section's end is its last string's.
            start = raw.rfind(b"\0", 0, min(offset, len(raw) - 1)) + 1
            end = raw.find(b"\0", start)
            piece = raw[start:(len(raw) if end < 0 else end + 1)]
            what = repr(piece[:40].rstrip(b"\0").decode("utf-8", "replace"))
        else:
            size = LITERAL_SIZES[section.type]
            start = min(offset, len(raw) - size) // size * size
            piece = raw[start:start + size]
            what = f"{section.name} literal {piece.hex()}"
        index = self.linked.literals(_key(section), section.type)
        return Location({a + offset - start for a in index.get(piece, [])}, what)

    def _non_lazy(self, obj, symbol):
        """A non-lazy slot: any image slot bound to its symbol, or rebased to its address."""
        pointer = self.symbol_pointer(obj, symbol.name, 0)
        return Location(self.slots_holding(None, pointer), f"{symbol.name}'s non-lazy slot")

    def _piece(self, obj, section, address):
        size = PIECE_SIZES.get(section.name, 4)
        start = section.addr + (address - section.addr) // size * size
        key = (id(section), start)
        if key not in self._pieces:
            self._pieces[key] = set()  # a piece that points at itself places nowhere
            self._pieces[key] = self._place_piece(obj, section, start, size)
        what = f"{section.name} slot {start - section.addr:#x}"
        return Location({a + address - start for a in self._pieces[key]}, what)

    def _place_piece(self, obj, section, start, size):
        """The image addresses holding what an unlabelled piece holds: its pointers' binds and
        rebases, and the same plain bytes."""
        candidates, plain = None, []
        for offset in range(0, min(size, section.addr + section.size - start), 4):
            reloc = self.relocs[id(section)].get(start + offset - section.addr)
            if reloc is None:
                plain.append(offset)
            elif reloc.type == objects.ARM_RELOC_VANILLA and reloc.length == 2:
                pointer = self.pointer(obj, section, reloc)
                if pointer is not None:
                    found = {a - offset for a in self.slots_holding(_key(section), pointer)}
                    candidates = found if candidates is None else candidates & found
        if candidates is None:
            candidates = self._same_bytes(section, start, size)
        return {a for a in candidates if all(
            self.linked.bytes_at(a + o, 4) == section.data[start - section.addr + o:
                                                          start - section.addr + o + 4]
            for o in plain)}

    def _same_bytes(self, section, start, size):
        piece = section.data[start - section.addr:start - section.addr + size]
        found = set()
        for linked in self.linked.named(*_key(section)):
            raw = self.linked.bytes_at(linked.addr, linked.size) or b""
            at = raw.find(piece)
            while at >= 0:
                found.add(linked.addr + at)
                at = raw.find(piece, at + 4 - at % 4)
        return found

    def slots_holding(self, key, pointer):
        """Image slots (in sections named key, or anywhere for None) that do what pointer asks."""
        if pointer.symbol:
            slots = (self.linked.binds.get((key, pointer.symbol), set()) if key else
                     {f.address for f in self.linked.image.fixups
                      if f.symbol == pointer.symbol and f.kind != "lazy"})
            return {s for s in slots if self.bind_problem(s, pointer) is None}
        if key:
            return set().union(*(self.linked.rebased.get((key, v), set())
                                 for v in pointer.target.addresses))
        return {a for (_, value), found in self.linked.rebased.items()
                if value in pointer.target.addresses for a in found}

    # What a data word asks for.

    def pointer(self, obj, section, reloc):
        """The Pointer a VANILLA word asks for, or None for an absolute one."""
        word = section.word(section.addr + reloc.address)
        if reloc.extern:
            return self.symbol_pointer(obj, obj.symbol(reloc.symbolnum).name, _signed(word))
        if reloc.scattered:  # the atom by its address, word - address the addend
            target = self.resolve(obj, obj.section_at(reloc.value), reloc.value)
            return Pointer(target=target.moved(_signed(word - reloc.value)).as_pointer())
        if reloc.symbolnum == 0:
            return None
        target = obj.section(reloc.symbolnum)
        return Pointer(target=self.resolve(obj, target, word).as_pointer())

    def symbol_pointer(self, obj, name, addend):
        found = self.definition(obj, name)
        if found is None and name in LINKER_DEFINED:
            header = Location({self.linked.image.segments[0].vmaddr}, name)
            return Pointer(target=header.moved(addend))
        if found is None and name in self.commons:
            # The one zero-filled definition the linker made of every object's common symbol.
            common = Location(self.linked.definitions.get(name, []), name)
            return Pointer(target=common.moved(addend).as_pointer())
        if found is None:
            return Pointer(symbol=name, addend=addend)
        owner, symbol = found
        section = owner.section(symbol.sect)
        target = self.symbol_location(owner, section, symbol).moved(addend).as_pointer()
        target.what = symbol.name + (f"{addend:+#x}" if addend else "")
        return Pointer(target=target)

    def bind_problem(self, slot, pointer):
        libraries = self.tbds.get(pointer.symbol)
        if not libraries:
            return f"imports {pointer.symbol}, which no .tbd lists"
        binds = [f for f in self.linked.fixups.get(slot, []) if f.kind in ("bind", "weak")]
        bind = next((f for f in binds if f.symbol == pointer.symbol), None)
        if bind is None:
            held = self.linked.word(slot)
            return (f"no bind to {pointer.symbol} at {slot:#x} (the slot holds "
                    f"{held:#x})" if held is not None else f"{slot:#x} is in no section")
        if bind.kind == "bind" and bind.library not in libraries:
            return (f"{pointer.symbol} is bound to {bind.library} at {slot:#x}, but it is "
                    f"{', '.join(sorted(libraries))}'s")
        if bind.addend != pointer.addend:
            return (f"{pointer.symbol} is bound at {slot:#x} with addend {bind.addend}, "
                    f"not {pointer.addend}")
        return None


# --- the checks -------------------------------------------------------------------------------

def _value_problem(value, target):
    """Why a linked word or address is not one of target's, the Thumb bit named."""
    wanted = ", ".join(f"{a:#x}" for a in sorted(target.addresses)[:3]) or "nowhere in the image"
    if target.code and any(value == a + 1 for a in target.addresses):
        return (f"{target.what}: the Thumb bit is added twice ({value:#x}, not {wanted})"
                if target.thumb else
                f"{target.what}: a Thumb bit on ARM-mode code ({value:#x}, not {wanted})")
    if target.thumb and any(value == a - 1 for a in target.addresses):
        return f"{target.what}: the Thumb bit is missing ({value:#x}, not {wanted})"
    if value == 0:
        return f"{target.what}: left zero, not {wanted}"
    return f"{target.what}: {value:#x}, not {wanted}"


class Checker:
    def __init__(self, link):
        self.link, self.linked = link, link.linked
        self.problems, self.binds, self.rebases, self.pc_relative = [], 0, 0, 0

    def report(self, obj, section, address, message):
        self.problems.append(f"{obj.label}: {section.segment},{section.name}+"
                             f"{address - section.addr:#x}: {message}")

    def check_object(self, obj):
        for section in obj.sections:
            for reloc in section.relocations:
                address = section.addr + reloc.address
                if self.link.coalesced_away(obj, section, address):
                    continue
                message = self.check_relocation(obj, section, reloc, address)
                if message:
                    self.report(obj, section, address, message)

    def check_relocation(self, obj, section, reloc, address):
        if reloc.type == objects.ARM_RELOC_VANILLA and reloc.length == 2:
            return self.check_pointer(obj, section, reloc, address)
        if reloc.type in (objects.ARM_RELOC_SECTDIFF, objects.ARM_RELOC_LOCAL_SECTDIFF) and \
                reloc.length == 2:
            return self.check_difference(obj, section, reloc, address)
        if reloc.type in (objects.ARM_RELOC_HALF_SECTDIFF, objects.ARM_RELOC_HALF):
            return self.check_half(obj, section, reloc, address)
        if reloc.type in (objects.ARM_RELOC_BR24, objects.ARM_THUMB_RELOC_BR22):
            return self.check_branch(obj, section, reloc, address)
        return f"relocation type {reloc.type} (length {reloc.length}) is not one this checks"

    def places(self, obj, section, address):
        location = self.link.resolve(obj, section, address)
        return location.addresses, (None if location.addresses else
                                    f"{location.what} is not in the image")

    def first_fit(self, slots, problem):
        """None if problem(slot) is None for any candidate slot, else the first one's."""
        found = [problem(slot) for slot in sorted(slots)]
        return None if None in found else found[0]

    # Data.

    def check_pointer(self, obj, section, reloc, address):
        pointer = self.link.pointer(obj, section, reloc)
        if pointer is None:
            return None
        if pointer.symbol:
            self.binds += 1
        else:
            self.rebases += 1
        slots, missing = self.places(obj, section, address)
        if missing:
            return f"{missing}, which holds a pointer to {pointer.describe()}"
        return self.first_fit(slots, lambda slot: self.slot_problem(slot, pointer))

    def slot_problem(self, slot, pointer):
        if pointer.symbol:
            return self.link.bind_problem(slot, pointer)
        value = self.linked.word(slot)
        if value is None:
            return f"{slot:#x} is in no section of the image"
        if not self.linked.fixup(slot, ("rebase",)):
            return f"no rebase at {slot:#x} for a pointer to {pointer.describe()}"
        return None if value in pointer.target.addresses else _value_problem(
            value, pointer.target)

    def check_difference(self, obj, section, reloc, address):
        minuend, subtrahend = reloc.value, reloc.pair.value
        addend = _signed(section.word(address) - minuend + subtrahend)
        high = self.link.resolve(obj, obj.section_at(minuend), minuend)
        low = self.link.resolve(obj, obj.section_at(subtrahend), subtrahend)
        slots, missing = self.places(obj, section, address)
        if missing or not low.addresses:
            return missing or f"{low.what} is not in the image"

        def problem(slot):
            value = self.linked.word(slot)
            target = Location({(value + b - addend) & 0xFFFFFFFF for b in low.addresses}, "")
            if target.addresses & high.addresses:
                return None
            return f"{high.what} - {low.what}: the difference {value:#x} reaches neither"
        return self.first_fit(slots, problem)

    # Code.

    def check_half(self, obj, section, reloc, address):
        thumb, high = bool(reloc.length & 2), bool(reloc.length & 1)
        found = arm.move_immediate(section.data[reloc.address:reloc.address + 4], thumb)
        if found is None or found[0] != (arm.MOVT if high else arm.MOVW):
            return "a HALF relocation on an instruction that is no movw/movt"
        kind, immediate = found
        offset = immediate << 16 | reloc.other_half if high else reloc.other_half << 16 | immediate
        target, bases, problem = self.half_operands(obj, reloc, thumb)
        if problem:
            return problem
        addend = _signed(bases[1] + offset - target[1])
        pointed = target[0].moved(addend).as_pointer()
        wanted = {(a - b) & 0xFFFFFFFF for a in pointed.addresses for b in bases[0]}
        if not high:
            self.pc_relative += 1
        slots, missing = self.places(obj, section, address)
        if missing:
            return missing

        def problem_at(slot):
            linked = arm.move_immediate(self.linked.bytes_at(slot, 4) or bytes(4), thumb)
            if linked is None or linked[0] != kind:
                return f"the {kind} at {slot:#x} is gone"
            halves = {w >> 16 if high else w & 0xFFFF for w in wanted}
            if linked[1] in halves:
                return None
            got = {(b + (linked[1] << 16 | w & 0xFFFF if high else w & 0xFFFF0000 | linked[1]))
                   & 0xFFFFFFFF for w in wanted for b in bases[0]}
            return f"{kind} at {slot:#x}: " + _value_problem(min(got, default=0), pointed)
        return self.first_fit(slots, problem_at)

    def half_operands(self, obj, reloc, thumb):
        """((target Location, its object address), (linked bases, object base), problem)."""
        if reloc.type == objects.ARM_RELOC_HALF:
            if not reloc.scattered:
                return None, None, "a HALF relocation without an address is not checked"
            address = reloc.value
            return (self.link.resolve(obj, obj.section_at(address), address), address), \
                ({0}, 0), None
        address = reloc.value
        target = self.link.resolve(obj, obj.section_at(address), address)
        bases, base, problem = self.linked_base(obj, reloc.pair.value, thumb)
        return (target, address), (bases, base), problem

    def linked_base(self, obj, base, thumb):
        """(linked values, object value, problem) of the subtrahend a HALF_SECTDIFF's pair
        names: where that is the `add rX, pc` (or `ldr rX, [pc, rY]`) completing the address,
        the pc that instruction reads, else the address itself."""
        section = obj.section_at(base)
        if section and section.code and arm.reads_pc(
                section.data[base - section.addr:base - section.addr + 4], thumb):
            slots, missing = self.places(obj, section, base)
            if missing:
                return None, None, missing
            kept = {s for s in slots if arm.reads_pc(self.linked.bytes_at(s, 4) or bytes(4),
                                                     thumb)}
            if not kept:
                return None, None, f"the pc read at {min(slots):#x} is gone"
            return {arm.pc_base(s, thumb) for s in kept}, arm.pc_base(base, thumb), None
        location = self.link.resolve(obj, section, base)
        return location.addresses, base, None if location.addresses else \
            f"the base {location.what} is not in the image"

    def check_branch(self, obj, section, reloc, address):
        thumb = reloc.type == objects.ARM_THUMB_RELOC_BR22
        raw = section.data[reloc.address:reloc.address + 4]
        found = arm.branch_destination(raw, address, thumb)
        if found is None:
            return "a branch relocation on an instruction that is no branch"
        destination = found[0]
        slots, missing = self.places(obj, section, address)
        if missing:
            return missing
        if reloc.extern:
            name = obj.symbol(reloc.symbolnum).name
            found = self.link.definition(obj, name)
            if found is None:
                pointer = Pointer(symbol=name, addend=destination)
                return self.first_fit(slots, lambda s: self.stub_problem(s, thumb, pointer))
            owner, symbol = found
            target = self.link.symbol_location(owner, owner.section(symbol.sect), symbol,
                                               destination)  # the symbol counts as 0
        else:
            target = self.link.resolve(obj, obj.section(reloc.symbolnum), destination)
        return self.first_fit(slots, lambda s: self.branch_problem(s, thumb, target))

    def linked_branch(self, slot, thumb):
        """(destination, runs as Thumb, problem) of the linked branch at slot, through the
        shim a Thumb branch that cannot change state goes through; None if it is gone."""
        found = arm.branch_destination(self.linked.bytes_at(slot, 4) or bytes(4), slot, thumb)
        if found is None or not found[1]:
            return found and (*found, None)
        shim = arm.shim_destination(self.linked.bytes_at(found[0], arm.SHIM_SIZE) or b"",
                                    found[0])
        if shim is None:
            return (*found, None)
        broken = None if shim[1] else (f"the Thumb shim at {found[0]:#x} for branch at "
                                       f"{slot:#x} does not add its pc to its offset")
        return shim[0], False, broken

    def branch_problem(self, slot, thumb, target):
        found = self.linked_branch(slot, thumb)
        if found is None:
            return f"the branch at {slot:#x} is gone"
        destination, into_thumb, broken = found
        if broken:
            return broken
        if destination not in target.addresses:
            return f"branch at {slot:#x}: " + _value_problem(destination, target)
        if into_thumb != target.thumb:
            return f"branch at {slot:#x} enters {target.what} in the wrong instruction set"
        return None

    def stub_problem(self, slot, thumb, pointer):
        found = self.linked_branch(slot, thumb)
        if found is None:
            return f"the branch at {slot:#x} is gone"
        stub, into_thumb, broken = found
        if broken:
            return broken
        section = self.linked.section_at(stub)
        lazy = arm.stub_lazy_pointer(self.linked.bytes_at(stub, arm.STUB_SIZE) or b"", stub)
        if section is None or section.flags & objects.SECTION_TYPE != objects.S_SYMBOL_STUBS \
                or lazy is None:
            return f"branch at {slot:#x} to {pointer.symbol} reaches {stub:#x}, not a stub"
        if into_thumb:
            return f"branch at {slot:#x} enters the ARM-mode stub of {pointer.symbol} as Thumb"
        if pointer.addend:
            return f"branch to {pointer.symbol}{pointer.addend:+#x} cannot go through a stub"
        bind = self.linked.fixup(lazy, ("lazy", "bind"))
        if bind is None or bind.symbol != pointer.symbol:
            return (f"branch at {slot:#x} to {pointer.symbol} goes through the stub at "
                    f"{stub:#x}, whose pointer {lazy:#x} is bound to "
                    f"{bind.symbol if bind else 'nothing'}")
        self.binds += 1
        libraries = self.link.tbds.get(pointer.symbol, set())
        if bind.library not in libraries:
            return (f"{pointer.symbol}'s stub pointer {lazy:#x} is bound to {bind.library}, "
                    f"not {', '.join(sorted(libraries)) or 'a library whose .tbd lists it'}")
        return None

    # The image as a whole.

    def check_image(self):
        label = self.linked.label
        for section in self.linked.named("__DATA", "__nl_symbol_ptr"):
            for slot in range(section.addr, section.addr + section.size, 4):
                if not self.linked.fixups.get(slot) and self.linked.word(slot) == 0:
                    self.problems.append(f"{label}: __DATA,__nl_symbol_ptr slot {slot:#x} is "
                                         "zero and bound to nothing")
        wanted = {}
        for obj in self.link.objects:
            for section in obj.sections:
                if section.flags & objects.S_ATTR_NO_DEAD_STRIP or section.name in (
                        IMAGE_INFO, IMAGE_INFO_STANDIN, "__objc_classlist"):
                    name = IMAGE_INFO if section.name == IMAGE_INFO_STANDIN else section.name
                    wanted.setdefault((section.segment, name), obj.label)
        for (segment, name), source in sorted(wanted.items()):
            count = len(self.linked.named(segment, name))
            if count == 0:
                self.problems.append(f"{label}: has no {segment},{name}, which {source} has")
            elif name == IMAGE_INFO and count > 1:
                self.problems.append(f"{label}: has {count} {segment},{name} sections")
        for section in self.linked.sections:
            if section.name == IMAGE_INFO_STANDIN:
                self.problems.append(f"{label}: {section.segment},{section.name} is not renamed "
                                     f"{IMAGE_INFO}")


def linked_objects(paths, linked):
    """The objects of the link: each object file, and the archive members the linker loaded.
    A member was loaded when the image defines one of its non-weak external symbols; one with
    only weak ones, when no object loaded so far defines them. An archive named twice on the
    line, as static libraries that need each other are, is read once."""
    objs, archives, seen = [], [], set()
    for path in paths:
        inputs = objects.read_inputs(path)
        if len(inputs) == 1 and inputs[0].label == path:
            objs += inputs
        elif os.path.realpath(path) not in seen:
            seen.add(os.path.realpath(path))
            archives += inputs
    for weak in (False, True):
        defined = {s.name for obj in objs for s in obj.symbols if s.defined}
        for member in archives:
            names = {s.name for s in member.symbols if s.defined and s.external and
                     s.weak == weak}
            present = names & set(linked.definitions)
            if member not in objs and present and (not weak or present - defined):
                objs.append(member)
    return objs


def check(image_path, tbd_paths, object_paths):
    """(problems, summary line) of the link of object_paths into image_path."""
    tbds = read_tbds(tbd_paths)
    linked = Linked(image_path)
    objs = linked_objects(object_paths, linked)
    checker = Checker(Link(linked, objs, tbds))
    for obj in objs:
        checker.check_object(obj)
    checker.check_image()
    summary = (f"relocations: {checker.binds} binds, {checker.rebases} rebases, "
               f"{checker.pc_relative} pc-relative addresses checked in {image_path}")
    return checker.problems, summary


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--image", required=True, help="the linked armv7 image, unstripped")
    parser.add_argument("--tbd", action="append", default=[], help="a .tbd list it links")
    parser.add_argument("objects", nargs="+", help="the objects given to the linker")
    options = parser.parse_args(argv)
    try:
        problems, summary = check(options.image, options.tbd, options.objects)
    except (CheckError, ObjectError, OSError) as error:
        sys.exit(f"relocations.py: {error}")
    for problem in problems:
        print(problem)
    if problems:
        sys.exit(1)
    print(summary)


if __name__ == "__main__":
    main(sys.argv[1:])
