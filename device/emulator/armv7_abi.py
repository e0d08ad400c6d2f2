"""Apple's armv7 calling convention on the emulated CPU: where each argument and result lies."""
import struct

import capstone
from unicorn import UC_ARCH_ARM, UC_MODE_ARM, Uc
from unicorn import arm_const as a32

from type_encodings import SCALARS, Layout, encoding_parts, respelt_struct, struct_name


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
            return respelt_struct(part, lambda member: "f" if member == "d" else member)
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
            signed = SCALARS[layout.encoding][1].islower()
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
