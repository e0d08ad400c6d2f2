"""How values cross a call on each CPU the package ships: which register or stack slot an
argument takes, how a result comes back, how a struct is passed. Types are Objective-C type
encodings ("q", "d", "@", "{CMTime=qiIq}"); values are Python ints, floats and tuples (a struct's
members in order). One class per architecture; ARCHITECTURES is the table the loader picks from.
"""
import struct

import capstone
from unicorn import UC_ARCH_ARM64, UC_MODE_ARM, Uc
from unicorn import arm64_const as a64

# Scalar encodings: (size, struct format). Pointers and objects take the architecture's word.
_SCALARS = {
    "c": (1, "b"), "C": (1, "B"), "B": (1, "B"), "s": (2, "h"), "S": (2, "H"),
    "i": (4, "i"), "I": (4, "I"), "l": (4, "i"), "L": (4, "I"), "q": (8, "q"), "Q": (8, "Q"),
    "f": (4, "f"), "d": (8, "d"),
}
_POINTERS = "@#:*^"
_QUALIFIERS = "rnNoORV"


def split_encoding(types):
    """A method's or function's encoding, without offsets: (result, [arguments])."""
    parts, at = [], 0
    while at < len(types):
        while at < len(types) and types[at] in _QUALIFIERS:
            at += 1
        end = _type_end(types, at)
        parts.append(types[at:end])
        at = end
        while at < len(types) and types[at].isdigit():
            at += 1
    return parts[0], parts[1:]


def _type_end(types, at):
    if types[at] == "^":
        return _type_end(types, at + 1)
    if types[at] == "@" and types[at + 1:at + 2] == "?":
        return at + 2  # a block
    if types[at] == "@" and types[at + 1:at + 2] == '"':
        return types.index('"', at + 2) + 1
    if types[at] in "{(":
        depth, end = 0, at
        while True:
            depth += {"{": 1, "(": 1, "}": -1, ")": -1}.get(types[end], 0)
            end += 1
            if depth == 0:
                return end
    return at + 1


def struct_members(encoding):
    """The member encodings of "{Name=...}"."""
    body = encoding[encoding.index("=") + 1:-1]
    members, at = [], 0
    while at < len(body):
        end = _type_end(body, at)
        members.append(body[at:end])
        at = end
    return members


class Layout:
    """Where a type's bytes lie: size, alignment and, for a struct, each member's offset."""

    def __init__(self, abi, encoding):
        self.encoding = encoding
        if encoding[0] == "{":
            self.members, offset, align = [], 0, 1
            for member in struct_members(encoding):
                layout = Layout(abi, member)
                offset = -(-offset // layout.align) * layout.align
                self.members.append((offset, layout))
                offset += layout.size
                align = max(align, layout.align)
            self.size, self.align = -(-offset // align) * align, align
        elif encoding[0] in _POINTERS:
            self.members, self.size, self.align = None, abi.word, abi.word
        elif encoding in _SCALARS:
            self.members = None
            self.size = self.align = _SCALARS[encoding][0]
            if encoding == "q" or encoding == "Q" or encoding == "d":
                self.align = abi.int64_align
        else:
            raise ValueError(f"no layout for the type {encoding!r}")

    def pack(self, abi, value):
        if self.members is None:
            fmt = abi.word_format if self.encoding[0] in _POINTERS else _SCALARS[self.encoding][1]
            if fmt in "bBhHiIqQ" and isinstance(value, bool):
                value = int(value)
            return struct.pack("<" + fmt, value)
        raw = bytearray(self.size)
        for (offset, layout), member in zip(self.members, value):
            raw[offset:offset + layout.size] = layout.pack(abi, member)
        return bytes(raw)

    def unpack(self, abi, raw):
        if self.members is None:
            fmt = abi.word_format if self.encoding[0] in _POINTERS else _SCALARS[self.encoding][1]
            value = struct.unpack_from("<" + fmt, raw)[0]
            return bool(value) if self.encoding == "B" else value
        return tuple(layout.unpack(abi, raw[offset:offset + layout.size])
                     for offset, layout in self.members)

    def floating_members(self):
        """The member type of a homogeneous floating-point aggregate, or None."""
        if self.members is None:
            return self.encoding if self.encoding in "fd" else None
        kinds = {layout.floating_members() for _, layout in self.members}
        return kinds.pop() if len(kinds) == 1 and None not in kinds and len(
            self.members) <= 4 else None


class Arm64:
    """Apple's arm64 procedure call standard: x0-x7 and v0-v7, structs over 16 bytes by
    reference and returned through x8, stack arguments at their natural alignment and variadic
    ones in 8-byte slots."""

    name = "arm64"
    cputype = 0x0100000C
    word = 8
    word_format = "Q"
    int64_align = 8
    return_instruction = struct.pack("<I", 0xD65F03C0)  # ret
    trap_size = 4
    disassembler = (capstone.CS_ARCH_ARM64, capstone.CS_MODE_ARM)

    def __init__(self, machine):
        self.machine = machine
        self.uc = machine.uc

    # The types of the case file's values, as this architecture's encodings spell them.
    value_types = {"bool": "B", "int": "i", "long": "q", "int64": "q", "uint64": "Q",
                   "float": "f", "double": "d", "time": "{CMTime=qiIq}", "string": "@",
                   "object": "@"}

    @staticmethod
    def make_cpu():
        return Uc(UC_ARCH_ARM64, UC_MODE_ARM)

    pc, sp, lr = a64.UC_ARM64_REG_PC, a64.UC_ARM64_REG_SP, a64.UC_ARM64_REG_LR
    _x = [getattr(a64, f"UC_ARM64_REG_X{i}") for i in range(29)]
    _d = [getattr(a64, f"UC_ARM64_REG_D{i}") for i in range(8)]
    _s = [getattr(a64, f"UC_ARM64_REG_S{i}") for i in range(8)]

    def layout(self, encoding):
        return Layout(self, encoding)

    def prepare_thread(self):
        # FPEN: the compiled code uses the floating-point registers.
        self.uc.reg_write(a64.UC_ARM64_REG_CPACR_EL1, 0x300000)

    def saved_registers(self):
        # Not the pc: a nested call from a trap's handler returns to that trap's own return.
        regs = self._x + [a64.UC_ARM64_REG_X29, a64.UC_ARM64_REG_X30, self.sp]
        return [(r, self.uc.reg_read(r)) for r in regs] + [
            (r, self.uc.reg_read(r)) for r in self._d]

    def restore_registers(self, saved):
        for register, value in saved:
            self.uc.reg_write(register, value)

    # --- Arguments ----------------------------------------------------------------------

    def _places(self, encodings, variadic_from=None):
        """Where each argument lies: ("x", n), ("v", n, kind), ("stack", offset, layout),
        ("xref", n, layout) for a struct passed by reference, or ("xs", n, count, layout)."""
        places, ngrn, nsrn, nsaa = [], 0, 0, 0
        for index, encoding in enumerate(encodings):
            layout = self.layout(encoding)
            variadic = variadic_from is not None and index >= variadic_from
            floating = layout.floating_members()
            if variadic:
                nsaa = -(-nsaa // 8) * 8
                places.append(("stack", nsaa, layout))
                nsaa += max(8, -(-layout.size // 8) * 8)
            elif layout.members is None and floating and nsrn < 8:
                places.append(("v", nsrn, floating))
                nsrn += 1
            elif layout.members is not None and floating:
                count = len(layout.members)
                if nsrn + count <= 8:
                    places.append(("vs", nsrn, count, layout))
                    nsrn += count
                else:
                    nsrn = 8
                    nsaa = -(-nsaa // layout.align) * layout.align
                    places.append(("stack", nsaa, layout))
                    nsaa += layout.size
            elif layout.members is not None and layout.size > 16:
                if ngrn < 8:
                    places.append(("xref", ngrn, layout))
                    ngrn += 1
                else:
                    places.append(("stackref", nsaa, layout))
                    nsaa += 8
            elif layout.members is not None:
                words = -(-layout.size // 8)
                if ngrn + words <= 8:
                    places.append(("xs", ngrn, words, layout))
                    ngrn += words
                else:
                    ngrn = 8
                    nsaa = -(-nsaa // 8) * 8
                    places.append(("stack", nsaa, layout))
                    nsaa += layout.size
            elif ngrn < 8:
                places.append(("x", ngrn, layout))
                ngrn += 1
            else:
                nsaa = -(-nsaa // layout.align) * layout.align
                places.append(("stack", nsaa, layout))
                nsaa += layout.size
        return places, nsaa

    def read_arguments(self, encodings, variadic_from=None):
        places, _ = self._places(encodings, variadic_from)
        sp = self.uc.reg_read(self.sp)
        return [self._read_place(place, sp) for place in places]

    def variadic_reader(self, fixed_count, fixed_encodings):
        """Reads one variadic argument after another, each of the type asked for."""
        _, offset = self._places(fixed_encodings)
        at = self.uc.reg_read(self.sp) + -(-offset // 8) * 8

        def next_argument(encoding):
            nonlocal at
            layout = self.layout(encoding)
            value = layout.unpack(self, bytes(self.uc.mem_read(at, layout.size)))
            at += max(8, -(-layout.size // 8) * 8)
            return value
        return next_argument

    def _read_place(self, place, sp):
        kind = place[0]
        if kind == "x":
            layout = place[2]
            raw = struct.pack("<Q", self.uc.reg_read(self._x[place[1]]))
            return layout.unpack(self, raw)
        if kind == "v":
            return self._read_float(place[1], place[2])
        if kind == "vs":
            layout = place[3]
            kind_of = layout.members[0][1].encoding
            return tuple(self._read_float(place[1] + i, kind_of) for i in range(place[2]))
        if kind == "xs":
            raw = b"".join(struct.pack("<Q", self.uc.reg_read(self._x[place[1] + i]))
                           for i in range(place[2]))
            return place[3].unpack(self, raw)
        if kind == "xref":
            address = self.uc.reg_read(self._x[place[1]])
            return place[2].unpack(self, bytes(self.uc.mem_read(address, place[2].size)))
        if kind == "stackref":
            address = struct.unpack("<Q", self.uc.mem_read(sp + place[1], 8))[0]
            return place[2].unpack(self, bytes(self.uc.mem_read(address, place[2].size)))
        layout = place[2]
        return layout.unpack(self, bytes(self.uc.mem_read(sp + place[1], layout.size)))

    def _read_float(self, index, kind):
        bits = self.uc.reg_read(self._d[index])
        if kind == "f":
            return struct.unpack("<f", struct.pack("<I", bits & 0xFFFFFFFF))[0]
        return struct.unpack("<d", struct.pack("<Q", bits))[0]

    def _write_float(self, index, kind, value):
        if kind == "f":
            bits = struct.unpack("<I", struct.pack("<f", value))[0]
        else:
            bits = struct.unpack("<Q", struct.pack("<d", value))[0]
        self.uc.reg_write(self._d[index], bits)

    def write_arguments(self, encodings, values, scratch):
        """Puts arguments where a callee of that signature reads them; `scratch` gives memory
        for structs passed by reference and for stack arguments."""
        places, stack_size = self._places(encodings)
        sp = self.uc.reg_read(self.sp)
        if stack_size:
            sp = (sp - stack_size) & ~15
            self.uc.reg_write(self.sp, sp)
        for place, value in zip(places, values):
            kind = place[0]
            if kind == "x":
                raw = place[2].pack(self, value).ljust(8, b"\0")
                self.uc.reg_write(self._x[place[1]], struct.unpack("<Q", raw)[0])
            elif kind == "v":
                self._write_float(place[1], place[2], value)
            elif kind == "vs":
                kind_of = place[3].members[0][1].encoding
                for i, member in enumerate(value):
                    self._write_float(place[1] + i, kind_of, member)
            elif kind == "xs":
                raw = place[3].pack(self, value).ljust(place[2] * 8, b"\0")
                for i in range(place[2]):
                    self.uc.reg_write(self._x[place[1] + i], struct.unpack_from("<Q", raw, i * 8)[0])
            elif kind in ("xref", "stackref"):
                address = scratch(place[2].pack(self, value))
                if kind == "xref":
                    self.uc.reg_write(self._x[place[1]], address)
                else:
                    self.uc.mem_write(sp + place[1], struct.pack("<Q", address))
            else:
                self.uc.mem_write(sp + place[1], place[2].pack(self, value))

    # --- Results ------------------------------------------------------------------------

    def result_is_indirect(self, encoding):
        if encoding == "v":
            return False
        layout = self.layout(encoding)
        return layout.members is not None and layout.size > 16 and not layout.floating_members()

    def prepare_indirect_result(self, encoding, scratch):
        """Gives x8 the memory of a result returned by reference; answers its address."""
        address = scratch(bytes(self.layout(encoding).size))
        self.uc.reg_write(a64.UC_ARM64_REG_X8, address)
        return address

    def write_result(self, encoding, value):
        if encoding == "v":
            return
        layout = self.layout(encoding)
        floating = layout.floating_members()
        if self.result_is_indirect(encoding):
            address = self.uc.reg_read(a64.UC_ARM64_REG_X8)
            self.uc.mem_write(address, layout.pack(self, value))
        elif layout.members is None and floating:
            self._write_float(0, floating, value)
        elif layout.members is not None and floating:
            for i, member in enumerate(value):
                self._write_float(i, floating, member)
        else:
            raw = layout.pack(self, value).ljust(16, b"\0")
            self.uc.reg_write(self._x[0], struct.unpack_from("<Q", raw)[0])
            self.uc.reg_write(self._x[1], struct.unpack_from("<Q", raw, 8)[0])

    def read_result(self, encoding, indirect_address=None):
        if encoding == "v":
            return None
        layout = self.layout(encoding)
        floating = layout.floating_members()
        if self.result_is_indirect(encoding):
            return layout.unpack(self, bytes(self.uc.mem_read(indirect_address, layout.size)))
        if layout.members is None and floating:
            return self._read_float(0, floating)
        if layout.members is not None and floating:
            return tuple(self._read_float(i, floating) for i in range(len(layout.members)))
        raw = struct.pack("<QQ", self.uc.reg_read(self._x[0]), self.uc.reg_read(self._x[1]))
        return layout.unpack(self, raw)

    def clear_results(self):
        """What objc_msgSend leaves for a nil receiver: zero in x0, x1 and d0-d3."""
        for register in self._x[:2] + self._d[:4]:
            self.uc.reg_write(register, 0)

    def argument_register(self, index):
        return self.uc.reg_read(self._x[index])


ARCHITECTURES = {Arm64.name: Arm64}
