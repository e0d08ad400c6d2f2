"""The few armv7 instructions the relocation checker reads back out of linked code: movw/movt
(ARM A2/A1 and Thumb T3/T1), the pc-reading instruction of a pc-relative address, branches
(B/BL/BLX in both sets) and the linker's ARM-mode lazy stub. Thumb 32-bit instructions are two
little-endian halfwords, the first one first.
"""
import struct

MOVW, MOVT = "movw", "movt"
# The PIC stub the linker writes for an import: ldr ip, [pc, #4]; add ip, pc, ip; ldr pc, [ip].
STUB_CODE = (0xE59FC004, 0xE08FC00C, 0xE59CF000)
STUB_SIZE = 16


def _sign_extend(value, bits):
    return value - (1 << bits) if value & (1 << (bits - 1)) else value


def _halfwords(raw):
    return struct.unpack_from("<HH", raw)


def move_immediate(raw, thumb):
    """(MOVW or MOVT, imm16) of the instruction in raw (4 bytes), or None for anything else."""
    if thumb:
        first, second = _halfwords(raw)
        kind = {0xF240: MOVW, 0xF2C0: MOVT}.get(first & 0xFBF0)
        imm = ((first & 0xF) << 12 | (first >> 10 & 1) << 11 | (second >> 12 & 7) << 8 |
               second & 0xFF)
    else:
        word = struct.unpack_from("<I", raw)[0]
        kind = {0x03000000: MOVW, 0x03400000: MOVT}.get(word & 0x0FF00000)
        imm = (word >> 16 & 0xF) << 12 | word & 0xFFF
    return (kind, imm) if kind else None


def reads_pc(raw, thumb):
    """Whether the instruction is the `add rX, pc` (or ARM `ldr rX, [pc, rY]`) that completes
    a pc-relative address: its base register is the pc."""
    if thumb:
        return _halfwords(raw)[0] & 0xFF78 == 0x4478  # ADD (register) T2 with Rm = pc
    word = struct.unpack_from("<I", raw)[0]
    register_form = word >> 25 & 7 in (0b000, 0b011) and not word & 0x10
    return word >> 28 != 0xF and register_form and word >> 16 & 0xF == 15


def pc_base(address, thumb):
    """The pc an instruction at `address` reads."""
    return address + (4 if thumb else 8)


def branch_destination(raw, address, thumb):
    """(destination, whether it runs as Thumb) of a B/BL/BLX at address, or None."""
    return _thumb_branch(raw, address) if thumb else _arm_branch(raw, address)


def _arm_branch(raw, address):
    word = struct.unpack_from("<I", raw)[0]
    if word >> 25 & 7 != 0b101:
        return None
    offset = _sign_extend(word & 0xFFFFFF, 24) << 2
    if word >> 28 == 0xF:  # BLX (immediate): into Thumb, the H bit a halfword further
        return address + 8 + offset + (word >> 23 & 2), True
    return address + 8 + offset, False


def _thumb_branch(raw, address):
    first, second = _halfwords(raw)
    if first >> 11 != 0b11110 or second >> 14 != 0b11:
        if first >> 11 != 0b11110 or second >> 12 & 0b1101 != 0b1001:
            return None  # neither BL/BLX nor B.W (T4)
    sign = first >> 10 & 1
    i1 = 1 ^ (second >> 13 & 1) ^ sign
    i2 = 1 ^ (second >> 11 & 1) ^ sign
    offset = _sign_extend(sign << 24 | i1 << 23 | i2 << 22 | (first & 0x3FF) << 12 |
                          (second & 0x7FF) << 1, 25)
    if second >> 14 == 0b11 and not second & 0x1000:  # BLX: into ARM, from the aligned pc
        return ((address + 4) & ~3) + offset, False
    return address + 4 + offset, True


def stub_lazy_pointer(raw, address):
    """The lazy pointer an ARM-mode stub at address jumps through, or None if it is no stub."""
    if len(raw) < STUB_SIZE or struct.unpack_from("<3I", raw) != STUB_CODE:
        return None
    return (address + 12 + struct.unpack_from("<I", raw, 12)[0]) & 0xFFFFFFFF


# The linker's Thumb-to-ARM shim for a Thumb branch that cannot change state (b.w):
# ldr.w ip, [pc, #4]; add ip, pc; bx ip; .long target - (shim + 8).
SHIM_LOAD, SHIM_ADD, SHIM_JUMP = (0xF8DF, 0xC004), 0x44FC, 0x4760
SHIM_SIZE = 12


def shim_destination(raw, address):
    """(ARM-mode destination, whether its add is the right one) of a Thumb shim, or None."""
    if len(raw) < SHIM_SIZE:
        return None
    first, second, add, jump = struct.unpack_from("<4H", raw)
    if (first, second) != SHIM_LOAD or jump != SHIM_JUMP or add & 0xFF00 != 0x4400:
        return None
    return (address + 8 + struct.unpack_from("<I", raw, 8)[0]) & 0xFFFFFFFF, add == SHIM_ADD
