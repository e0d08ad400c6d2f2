"""The emulated CPU and its memory: the image's segments, a heap, a stack, and a page of traps.

A trap is one return instruction whose execution first runs a Python handler: every imported
function, every method the emulation implements and every callable it hands to the image is one.
A handler reads its arguments through the ABI, writes its result, and the return instruction
goes back to the caller; or it answers an address, and the call goes on there (a tail call, as
objc_msgSend makes one). Calls into the image from Python run a nested emulation that ends at a
trap of its own.
"""
import struct

import capstone
from unicorn import UC_HOOK_CODE, UC_HOOK_MEM_INVALID, UC_PROT_EXEC, UC_PROT_READ, UC_PROT_WRITE
from unicorn import UcError

# Where each of them lies is the architecture's (abi.py); their sizes are the same on each.
HEAP_SIZE, STACK_SIZE, TRAP_COUNT = 0x400_0000, 0x10_0000, 0x4000


class EmulationError(Exception):
    """The run failed: an unhandled import or message, a fault, or a wrong answer."""


class Machine:
    def __init__(self, abi_class):
        self.uc = abi_class.make_cpu()
        self.abi = abi_class(self)
        self.abi.prepare_thread()
        self.heap_base = self.heap_next = abi_class.heap_base
        self.trap_base = abi_class.trap_base
        self.uc.mem_map(self.heap_base, HEAP_SIZE, UC_PROT_READ | UC_PROT_WRITE)
        self.uc.mem_map(abi_class.stack_base, STACK_SIZE, UC_PROT_READ | UC_PROT_WRITE)
        self.uc.mem_map(self.trap_base, TRAP_COUNT * abi_class.trap_size,
                        UC_PROT_READ | UC_PROT_EXEC)
        self.uc.mem_write(self.trap_base, abi_class.return_instruction * TRAP_COUNT)
        self.uc.reg_write(self.abi.sp, abi_class.stack_base + STACK_SIZE - 0x100)
        self.traps, self.trap_names = [], []
        self.failure = None
        self.images = []  # (name, base, size)
        self.counting = None  # (begin, end) of the image whose instructions are counted
        self.instructions = 0
        self.return_trap = self.trap("return to the emulator", lambda: None)
        self.uc.hook_add(UC_HOOK_CODE, self._on_trap, begin=self.trap_base,
                         end=self.trap_base + TRAP_COUNT * abi_class.trap_size - 1)
        self.uc.hook_add(UC_HOOK_MEM_INVALID, self._on_bad_access)

    # --- Memory -------------------------------------------------------------------------

    def allocate(self, size, align=16):
        address = -(-self.heap_next // align) * align
        if address + size > self.heap_base + HEAP_SIZE:
            raise EmulationError("the emulated heap is full")
        self.heap_next = address + max(size, 1)
        self.uc.mem_write(address, bytes(size))
        return address

    def store(self, raw):
        address = self.allocate(len(raw))
        self.uc.mem_write(address, raw)
        return address

    def c_string(self, text):
        return self.store(text.encode() + b"\0")

    def read(self, address, size):
        return bytes(self.uc.mem_read(address, size))

    def write(self, address, raw):
        self.uc.mem_write(address, raw)

    def word(self, address):
        return struct.unpack("<" + self.abi.word_format, self.read(address, self.abi.word))[0]

    def write_word(self, address, value):
        self.write(address, struct.pack("<" + self.abi.word_format, value))

    def u32(self, address):
        return struct.unpack("<I", self.read(address, 4))[0]

    def read_c_string(self, address, limit=4096):
        if address == 0:
            return None
        raw = bytearray()
        while len(raw) < limit:
            chunk = self.read(address + len(raw), 64)
            end = chunk.find(b"\0")
            if end >= 0:
                raw += chunk[:end]
                return raw.decode("utf-8", "replace")
            raw += chunk
        raise EmulationError(f"no end to the C string at {address:#x}")

    # --- Traps --------------------------------------------------------------------------

    def trap(self, name, handler):
        """A callable address whose call runs `handler()`."""
        if len(self.traps) == TRAP_COUNT:
            raise EmulationError("out of traps")
        self.traps.append(handler)
        self.trap_names.append(name)
        return self.trap_base + (len(self.traps) - 1) * self.abi.trap_size

    def trap_name(self, address):
        index = self.trap_index(address)
        return self.trap_names[index] if index is not None else None

    def trap_index(self, address):
        index, rest = divmod(address - self.trap_base, self.abi.trap_size)
        return index if rest == 0 and 0 <= index < len(self.traps) else None

    def _on_trap(self, uc, address, size, _):
        index = self.trap_index(address)
        if index is None or self.failure is not None:
            return
        try:
            target = self.traps[index]()
        except EmulationError as error:
            self._fail(str(error))
            return
        except Exception as error:  # a fault of the emulation itself, named where it happened
            self._fail(f"{self.trap_names[index]}: {type(error).__name__}: {error}")
            return
        if target is not None:
            uc.reg_write(self.abi.pc, target)

    def _fail(self, message):
        if self.failure is None:
            self.failure = message
        self.uc.emu_stop()

    def _on_bad_access(self, uc, access, address, size, value, _):
        self._fail(f"a bad memory access at {address:#x} ({size} bytes)")
        return False

    # --- Calls --------------------------------------------------------------------------

    def call(self, address, arguments=(), argument_types=(), result_type="v"):
        """Calls emulated code with a C signature; answers its result."""
        saved = self.abi.saved_registers()
        indirect = None
        if self.abi.result_is_indirect(result_type):
            indirect = self.abi.prepare_indirect_result(result_type, self.store)
        self.abi.write_arguments(list(argument_types), list(arguments), self.store, result_type)
        self.uc.reg_write(self.abi.lr, self.return_trap)
        self._run(address)
        result = self.abi.read_result(result_type, indirect)
        self.abi.restore_registers(saved)
        return result

    def _run(self, address):
        try:
            self.uc.emu_start(address, self.return_trap)
        except UcError as error:
            self._fail(f"the CPU stopped: {error}")
        if self.failure is not None:
            raise EmulationError(self.describe_failure())

    def describe_failure(self):
        pc = self.uc.reg_read(self.abi.pc)
        lr = self.uc.reg_read(self.abi.lr)
        return (f"{self.failure}; pc {self.where(pc)} ({self.instruction_at(pc)}), "
                f"lr {self.where(lr)}")

    def where(self, address):
        name = self.trap_name(address)
        if name is not None:
            return f"{address:#x} [{name}]"
        for image, base, size in self.images:
            if base <= address < base + size:
                return f"{address:#x} ({image}+{address - base:#x})"
        return f"{address:#x}"

    def instruction_at(self, address):
        try:
            raw = self.read(address, 4)
        except UcError:
            return "unreadable"
        disassembler = capstone.Cs(*self.abi.current_disassembler())
        for instruction in disassembler.disasm(raw, address):
            return f"{instruction.mnemonic} {instruction.op_str}".strip()
        return f"undecodable {raw.hex()}"

    # --- Counting -----------------------------------------------------------------------

    def count_instructions(self, begin, end):
        def count(uc, address, size, _):
            self.instructions += 1
        self.uc.hook_add(UC_HOOK_CODE, count, begin=begin, end=end - 1)
