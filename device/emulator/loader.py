"""Maps an image as dyld does: each segment at the slide with its own protections, every rebase
applied, every import bound at once (binds, lazy binds and weak binds alike), then the image's
Objective-C classes realised by the runtime and its static constructors run in order.
"""
from unicorn import UC_PROT_EXEC, UC_PROT_READ, UC_PROT_WRITE

from machine import EmulationError

VM_PROT_READ, VM_PROT_WRITE, VM_PROT_EXECUTE = 1, 2, 4


def _protection(vm):
    uc = 0
    if vm & VM_PROT_READ:
        uc |= UC_PROT_READ
    if vm & VM_PROT_WRITE:
        uc |= UC_PROT_WRITE
    if vm & VM_PROT_EXECUTE:
        uc |= UC_PROT_EXEC
    return uc


class LoadedImage:
    def __init__(self, image, name, slide):
        self.image, self.name, self.slide = image, name, slide
        mapped = [s for s in image.segments if s.vmsize and s.name != "__PAGEZERO"]
        self.base = min(s.vmaddr for s in mapped) + slide
        self.end = max(s.vmaddr + s.vmsize for s in mapped) + slide
        self.text = image.section("__TEXT", "__text")

    def address(self, vmaddr):
        return vmaddr + self.slide

    def export(self, name):
        if name not in self.image.exports:
            raise EmulationError(f"{self.name} exports no {name}")
        return self.address(self.image.exports[name])

    def section_range(self, segment, name):
        section = self.image.section(segment, name)
        return (self.address(section.addr), section.size) if section else (0, 0)


def check_segments(image, name, page):
    """Each segment on a page of its own, none over another: the device's loader maps them one
    after another, so an overlap would let a later one replace an earlier one's pages."""
    mapped = sorted((s for s in image.segments if s.vmsize and s.name != "__PAGEZERO"),
                    key=lambda s: s.vmaddr)
    for segment in mapped:
        if segment.vmaddr % page:
            raise EmulationError(f"{name}: segment {segment.name} at {segment.vmaddr:#x} is not "
                                 f"on a {page:#x}-byte page")
        if segment.filesize > segment.vmsize:
            raise EmulationError(f"{name}: segment {segment.name} has {segment.filesize:#x} "
                                 f"bytes of file for {segment.vmsize:#x} of memory")
    for first, second in zip(mapped, mapped[1:]):
        if first.vmaddr + first.vmsize > second.vmaddr:
            raise EmulationError(
                f"{name}: segment {first.name} ({first.vmaddr:#x}-"
                f"{first.vmaddr + first.vmsize:#x}) overlaps {second.name}, which starts at "
                f"{second.vmaddr:#x}")


def map_image(machine, image, name, resolve):
    """Maps and fixes up `image` at the architecture's slide; `resolve(fixup)` answers each
    import's address."""
    if image.word != machine.abi.word or image.cputype != machine.abi.cputype:
        raise EmulationError(f"{name}: an image of CPU type {image.cputype:#x} on an "
                             f"{machine.abi.name} machine")
    slide, page = machine.abi.image_slide, machine.abi.page
    check_segments(image, name, page)
    loaded = LoadedImage(image, name, slide)
    for segment in image.segments:
        if segment.vmsize == 0 or segment.name == "__PAGEZERO":
            continue
        size = -(-segment.vmsize // page) * page
        start = segment.vmaddr + slide
        machine.uc.mem_map(start, size, _protection(segment.initprot) | UC_PROT_READ)
        machine.write(start, image.data[segment.fileoff:segment.fileoff + segment.filesize])
    machine.images.append((name, loaded.base, loaded.end - loaded.base))
    for fixup in image.fixups:
        address = fixup.address + slide
        if fixup.symbol is None:
            machine.write_word(address, machine.word(address) + slide)
        else:
            machine.write_word(address, resolve(fixup) + fixup.addend)
    return loaded


def pointer_list(machine, loaded, segment, section):
    start, size = loaded.section_range(segment, section)
    return [machine.word(start + i) for i in range(0, size, machine.abi.word)]


def run_constructors(machine, loaded):
    """Runs __mod_init_func in order, counting the image's instructions."""
    for constructor in pointer_list(machine, loaded, "__DATA", "__mod_init_func"):
        if not loaded.base <= constructor < loaded.end:
            raise EmulationError(f"a constructor at {constructor:#x} lies outside the image")
        machine.call(constructor)
