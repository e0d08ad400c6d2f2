"""Where the addresses of the objects given to the armv7 linker landed in the image it linked.

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
import objects
from linked_image import LITERAL_SIZES, section_key

SLOT_SECTIONS = (objects.S_LITERAL_POINTERS, objects.S_MOD_INIT_FUNC_POINTERS,
                 objects.S_MOD_TERM_FUNC_POINTERS)
PIECE_SIZES = {"__cfstring": 16}
# What the linker defines itself: the image's own Mach-O header, at the start of __TEXT.
LINKER_DEFINED = ("___dso_handle", "__mh_dylib_header")


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


def signed(value):
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
        index = self.linked.literals(section_key(section), section.type)
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
                    found = {a - offset for a in self.slots_holding(section_key(section), pointer)}
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
        for linked in self.linked.named(*section_key(section)):
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
            return self.symbol_pointer(obj, obj.symbol(reloc.symbolnum).name, signed(word))
        if reloc.scattered:  # the atom by its address, word - address the addend
            target = self.resolve(obj, obj.section_at(reloc.value), reloc.value)
            return Pointer(target=target.moved(signed(word - reloc.value)).as_pointer())
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
