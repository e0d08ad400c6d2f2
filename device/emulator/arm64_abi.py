"""Apple's arm64 calling convention on the emulated CPU: where each argument and result lies."""
import struct

import capstone
from unicorn import UC_ARCH_ARM64, UC_MODE_ARM, Uc
from unicorn import arm64_const as a64

from type_encodings import Layout, encoding_parts


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
