"""The checks of each object relocation against the linked armv7 image, and of the sections the
image must have: each problem is one line, naming the object, section and offset it is at."""
import arm
import objects
from placement import Location, Pointer, signed

IMAGE_INFO, IMAGE_INFO_STANDIN = "__objc_imageinfo", "__objc_imageinfq"


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
        addend = signed(section.word(address) - minuend + subtrahend)
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
        addend = signed(bases[1] + offset - target[1])
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
        shim a Thumb branch that cannot change state goes through; the problem is a branch that
        is gone or a broken shim."""
        found = arm.branch_destination(self.linked.bytes_at(slot, 4) or bytes(4), slot, thumb)
        if found is None:
            return None, None, f"the branch at {slot:#x} is gone"
        if not found[1]:
            return (*found, None)
        shim = arm.shim_destination(self.linked.bytes_at(found[0], arm.SHIM_SIZE) or b"",
                                    found[0])
        if shim is None:
            return (*found, None)
        broken = None if shim[1] else (f"the Thumb shim at {found[0]:#x} for branch at "
                                       f"{slot:#x} does not add its pc to its offset")
        return shim[0], False, broken

    def branch_problem(self, slot, thumb, target):
        destination, into_thumb, problem = self.linked_branch(slot, thumb)
        if problem:
            return problem
        if destination not in target.addresses:
            return f"branch at {slot:#x}: " + _value_problem(destination, target)
        if into_thumb != target.thumb:
            return f"branch at {slot:#x} enters {target.what} in the wrong instruction set"
        return None

    def stub_problem(self, slot, thumb, pointer):
        stub, into_thumb, problem = self.linked_branch(slot, thumb)
        if problem:
            return problem
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
