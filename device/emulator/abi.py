"""How values cross a call on each CPU the package ships: which register or stack slot an
argument takes, how a result comes back, how a struct is passed. Types are Objective-C type
encodings ("q", "d", "@", "{CMTime=qiIq}"); values are Python ints, floats and tuples (a struct's
members in order). One class per architecture; ARCHITECTURES is the table the loader picks from.

The Linux build and the hook tables spell types as arm64 iOS does, but for BOOL (gcc's runtime
has it as unsigned char, "C"). Each architecture's `spell` turns such a type string into its own
spelling; it is the one place where the two spellings meet.
"""
import struct

import capstone
from unicorn import UC_ARCH_ARM, UC_ARCH_ARM64, UC_MODE_ARM, Uc
from unicorn import arm64_const as a64
from unicorn import arm_const as a32

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


def encoding_parts(types):
    """A type string's result and arguments in one list."""
    result, arguments = split_encoding(types)
    return [result] + arguments


def struct_name(encoding):
    return encoding[1:encoding.index("=")] if encoding[0] == "{" else None


def _respelt_struct(encoding, member):
    """A struct's encoding with `member(encoding)` applied to each scalar member, nested
    structs included."""
    members = [_respelt_struct(m, member) if m[0] == "{" else member(m)
               for m in struct_members(encoding)]
    return "{" + struct_name(encoding) + "=" + "".join(members) + "}"


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
    cputype, cpusubtype = 0x0100000C, 0
    word = 8
    word_format = "Q"
    int64_align = 8
    return_instruction = struct.pack("<I", 0xD65F03C0)  # ret
    trap_size = 4
    disassembler = (capstone.CS_ARCH_ARM64, capstone.CS_MODE_ARM)
    # Where the emulation puts things: far from each other and above 4 GiB, as on a device.
    page = 0x4000
    image_slide, trap_base = 0x1_0000_0000, 0x2_0000_0000
    heap_base, stack_base = 0x3_0000_0000, 0x4_0000_0000
    has_stret = False  # every result comes back through objc_msgSend
    # long and unsigned long (NSInteger, size_t, CFIndex) in the emulation's own signatures.
    long, unsigned_long = "q", "Q"

    def __init__(self, machine):
        self.machine = machine
        self.uc = machine.uc

    # The types of the case file's values, as this architecture's encodings spell them.
    value_types = {"bool": "B", "int": "i", "long": "q", "int64": "q", "uint64": "Q",
                   "float": "f", "double": "d", "time": "{CMTime=qiIq}", "string": "@",
                   "object": "@"}

    @staticmethod
    def spell(types, selector=None):
        """The Linux build's type string as arm64 spells it: BOOL as bool."""
        return "".join("B" if part == "C" else part for part in encoding_parts(types))

    @staticmethod
    def make_cpu():
        return Uc(UC_ARCH_ARM64, UC_MODE_ARM)

    pc, sp, lr = a64.UC_ARM64_REG_PC, a64.UC_ARM64_REG_SP, a64.UC_ARM64_REG_LR
    _x = [getattr(a64, f"UC_ARM64_REG_X{i}") for i in range(29)]
    _d = [getattr(a64, f"UC_ARM64_REG_D{i}") for i in range(8)]
    _s = [getattr(a64, f"UC_ARM64_REG_S{i}") for i in range(8)]

    def layout(self, encoding):
        return Layout(self, encoding)

    def current_disassembler(self):
        return self.disassembler

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

    def read_arguments(self, encodings, variadic_from=None, result_type="v"):
        """The arguments of a call being made to a trap; a struct result's x8 is apart."""
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

    def write_arguments(self, encodings, values, scratch, result_type="v"):
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

    def set_argument_register(self, index, value):
        self.uc.reg_write(self._x[index], value)



class Arm32:
    """Apple's armv7 calling convention (APCS with the soft-float calling ABI): every argument,
    floats and doubles too, is a run of 4-byte words, the first four in r0-r3 and the rest on
    the stack. A value over 4 bytes takes no even register and no 8-byte slot (64-bit types are
    4-byte aligned) and may start in r3 and go on on the stack; variadic arguments are laid out
    alike. Results: up to 4 bytes in r0, 8 in r0:r1; a struct in r0 only when it is
    integer-like (one member, itself an integer or pointer, of 4 bytes or less), any other
    through memory whose address the caller passes as a hidden first argument in r0."""

    name = "armv7"
    cputype, cpusubtype = 12, 9  # CPU_TYPE_ARM, CPU_SUBTYPE_ARM_V7
    word = 4
    word_format = "I"
    int64_align = 4
    return_instruction = struct.pack("<I", 0xE12FFF1E)  # bx lr
    trap_size = 4
    disassembler = (capstone.CS_ARCH_ARM, capstone.CS_MODE_ARM)
    page = 0x1000  # armv7 images' segments lie on 4 KiB pages
    image_slide, trap_base = 0x1000_0000, 0x2000_0000
    heap_base, stack_base = 0x3000_0000, 0x4000_0000
    has_stret = True  # results through memory come back through objc_msgSend_stret
    long, unsigned_long = "i", "I"
    registers = 4  # r0-r3 carry the first argument words

    value_types = {"bool": "c", "int": "i", "long": "i", "int64": "q", "uint64": "Q",
                   "float": "f", "double": "d", "time": "{CMTime=qiIq}", "string": "@",
                   "object": "@"}

    # The geometry structs, whose members are CGFloat: double on arm64, float here.
    _CGFLOAT_STRUCTS = ("CGPoint", "CGSize", "CGRect", "CGVector", "CGAffineTransform",
                        "UIEdgeInsets", "UIOffset")

    def __init__(self, machine):
        self.machine = machine
        self.uc = machine.uc

    # Methods whose 64-bit unsigned argument is one of its own (unsigned long long), not
    # NSUInteger: the frame rate the tweak's own setter takes.
    _UINT64_SELECTORS = ("hv_setFPS:",)

    @classmethod
    def spell(cls, types, selector=None):
        """The Linux build's type string (of the method `selector`) as armv7 spells it: BOOL is
        signed char, NSInteger int, NSUInteger unsigned int, and the geometry structs' CGFloat
        members float. The Linux build spells long and long long alike ("q", "Q"): in the
        methods' own arguments and results they are NSInteger and NSUInteger but for the
        selectors above; a struct's 64-bit fields (CMTime's), doubles and floats keep their
        width."""
        wide = selector in cls._UINT64_SELECTORS
        return "".join(cls._spell_part(part, wide) for part in encoding_parts(types))

    @classmethod
    def _spell_part(cls, part, wide):
        if part in ("B", "C"):
            return "c"
        if part == "q":
            return "i"
        if part == "Q":
            return "Q" if wide else "I"
        if struct_name(part) in cls._CGFLOAT_STRUCTS:
            return _respelt_struct(part, lambda member: "f" if member == "d" else member)
        return part

    @staticmethod
    def make_cpu():
        return Uc(UC_ARCH_ARM, UC_MODE_ARM)

    pc, sp, lr = a32.UC_ARM_REG_PC, a32.UC_ARM_REG_SP, a32.UC_ARM_REG_LR
    _r = [getattr(a32, f"UC_ARM_REG_R{i}") for i in range(13)]

    def layout(self, encoding):
        return Layout(self, encoding)

    def current_disassembler(self):
        """ARM or Thumb, as the CPU's T bit says: a wrong Thumb bit shows as such."""
        thumb = self.uc.reg_read(a32.UC_ARM_REG_CPSR) & (1 << 5)
        return (capstone.CS_ARCH_ARM, capstone.CS_MODE_THUMB if thumb else capstone.CS_MODE_ARM)

    def prepare_thread(self):
        # Coprocessors 10 and 11 open and the VFP on: the compiled code moves doubles through
        # the d registers even though calls carry them in core registers.
        cpacr = self.uc.reg_read(a32.UC_ARM_REG_C1_C0_2)
        self.uc.reg_write(a32.UC_ARM_REG_C1_C0_2, cpacr | (0xF << 20))
        self.uc.reg_write(a32.UC_ARM_REG_FPEXC, 0x40000000)

    def saved_registers(self):
        regs = self._r + [self.sp, self.lr]
        return [(r, self.uc.reg_read(r)) for r in regs]

    def restore_registers(self, saved):
        for register, value in saved:
            self.uc.reg_write(register, value)

    # --- Arguments ----------------------------------------------------------------------
    # The argument area as one run of words: word n < 4 is r<n>, word n >= 4 is at
    # sp + 4 * (n - 4).

    def _read_words(self, first, count, sp):
        raw = b""
        for n in range(first, first + count):
            if n < self.registers:
                raw += struct.pack("<I", self.uc.reg_read(self._r[n]))
            else:
                raw += bytes(self.uc.mem_read(sp + 4 * (n - self.registers), 4))
        return raw

    def _write_words(self, first, raw, sp):
        for i in range(0, len(raw), 4):
            n, word = first + i // 4, raw[i:i + 4]
            if n < self.registers:
                self.uc.reg_write(self._r[n], struct.unpack("<I", word)[0])
            else:
                self.uc.mem_write(sp + 4 * (n - self.registers), word)

    def _words(self, layout):
        return -(-layout.size // 4)

    def _places(self, encodings, result_type):
        """(first word, layout) of each argument, and the words they take in all; a result
        through memory takes word 0."""
        first = 1 if self.result_is_indirect(result_type) else 0
        places = []
        for encoding in encodings:
            layout = self.layout(encoding)
            places.append((first, layout))
            first += self._words(layout)
        return places, first

    def _pack(self, layout, value):
        """A value as the words it takes; a scalar under 4 bytes widened as its type is (the
        caller extends it)."""
        if layout.members is None and layout.size < 4:
            signed = _SCALARS[layout.encoding][1].islower()
            return struct.pack("<i" if signed else "<I", int(value))
        return layout.pack(self, value).ljust(4 * self._words(layout), b"\0")

    def read_arguments(self, encodings, variadic_from=None, result_type="v"):
        places, _ = self._places(encodings, result_type)
        sp = self.uc.reg_read(self.sp)
        return [layout.unpack(self, self._read_words(first, self._words(layout), sp))
                for first, layout in places]

    def variadic_reader(self, fixed_count, fixed_encodings):
        """Reads one variadic argument after another, each of the type asked for."""
        _, at = self._places(fixed_encodings, "v")
        sp = self.uc.reg_read(self.sp)

        def next_argument(encoding):
            nonlocal at
            layout = self.layout(encoding)
            value = layout.unpack(self, self._read_words(at, self._words(layout), sp))
            at += self._words(layout)
            return value
        return next_argument

    def write_arguments(self, encodings, values, scratch, result_type="v"):
        places, words = self._places(encodings, result_type)
        sp = self.uc.reg_read(self.sp)
        if words > self.registers:
            sp = (sp - 4 * (words - self.registers)) & ~7
            self.uc.reg_write(self.sp, sp)
        for (first, layout), value in zip(places, values):
            self._write_words(first, self._pack(layout, value), sp)

    # --- Results ------------------------------------------------------------------------

    def result_is_indirect(self, encoding):
        if encoding == "v":
            return False
        layout = self.layout(encoding)
        return layout.members is not None and not self._integer_like(layout)

    def _integer_like(self, layout):
        if layout.size > 4:
            return False
        if layout.members is None:
            return layout.encoding not in "fd"
        return len(layout.members) == 1 and self._integer_like(layout.members[0][1])

    def prepare_indirect_result(self, encoding, scratch):
        """Gives r0 the memory of a result returned by reference; answers its address."""
        address = scratch(bytes(self.layout(encoding).size))
        self.uc.reg_write(self._r[0], address)
        return address

    def write_result(self, encoding, value):
        if encoding == "v":
            return
        layout = self.layout(encoding)
        if self.result_is_indirect(encoding):
            self.uc.mem_write(self.uc.reg_read(self._r[0]), layout.pack(self, value))
            return
        raw = self._pack(layout, value)
        self.uc.reg_write(self._r[0], struct.unpack_from("<I", raw)[0])
        if len(raw) > 4:
            self.uc.reg_write(self._r[1], struct.unpack_from("<I", raw, 4)[0])

    def read_result(self, encoding, indirect_address=None):
        if encoding == "v":
            return None
        layout = self.layout(encoding)
        if self.result_is_indirect(encoding):
            return layout.unpack(self, bytes(self.uc.mem_read(indirect_address, layout.size)))
        raw = struct.pack("<II", self.uc.reg_read(self._r[0]), self.uc.reg_read(self._r[1]))
        return layout.unpack(self, raw)

    def clear_results(self):
        """What objc_msgSend leaves for a nil receiver: zero in r0 and r1."""
        for register in self._r[:2]:
            self.uc.reg_write(register, 0)

    def argument_register(self, index):
        return self.uc.reg_read(self._r[index])

    def set_argument_register(self, index, value):
        self.uc.reg_write(self._r[index], value)


ARCHITECTURES = {Arm64.name: Arm64, Arm32.name: Arm32}
