"""Damaged copies of a library, made at test time, each of which the emulated run must report:
the overlay class's name changed, one import's bind removed, one page of code flipped. They keep
the harness honest: a check that passes them cannot fail.
"""
import struct

from image import Image, ImageError, slice_types, thin

HUD = b"RuvelProgressHUD"
SET_TYPE_POINTER = 0x51  # BIND_OPCODE_SET_TYPE_IMM | BIND_TYPE_POINTER: binds nothing
DO_BIND = 0x90
PAGE = 4096


def architectures_of(data, architectures):
    """The architectures of `data`'s slices, each an entry of the ABI table."""
    by_type = {(architecture.cputype, architecture.cpusubtype): architecture
               for architecture in architectures}
    types = slice_types(data)
    unknown = [f"{cputype:#x}/{subtype}" for cputype, subtype in types
               if (cputype, subtype) not in by_type]
    if unknown:
        raise ImageError(f"slices of CPU type/subtype {', '.join(unknown)} have no emulation")
    return [by_type[t] for t in types]


def _file_offset(image, vmaddr):
    for segment in image.segments:
        if segment.vmaddr <= vmaddr < segment.vmaddr + segment.filesize:
            return segment.fileoff + vmaddr - segment.vmaddr
    raise ImageError(f"{vmaddr:#x} is in no segment's file contents")


def _word(image, data, vmaddr):
    fmt = "<Q" if image.is64 else "<I"
    return struct.unpack_from(fmt, data, _file_offset(image, vmaddr))[0]


def renamed_class(image, data):
    """The class's name in its class_ro_t, one letter changed."""
    for entry in range(0, image.section("__DATA", "__objc_classlist").size, image.word):
        cls = _word(image, data, image.section("__DATA", "__objc_classlist").addr + entry)
        ro = _word(image, data, cls + 4 * image.word) & ~(image.word - 1)
        name = _word(image, data, ro + (24 if image.is64 else 16))
        at = _file_offset(image, name)
        if data[at:at + len(HUD) + 1] == HUD + b"\0":
            data[at + len(HUD) - 1] ^= 0x01
            return data
    raise ImageError("no class named RuvelProgressHUD to rename")


def removed_bind(image, data, symbol=b"_MSHookMessageEx"):
    """The lazy bind of one import the constructor calls, made into an opcode that binds
    nothing: its slot keeps the stub helper's address, as if dyld had skipped it."""
    lazy_offset, lazy_size = image.dyld_info[6], image.dyld_info[7]
    stream = bytes(data[lazy_offset:lazy_offset + lazy_size])
    at = stream.find(b"\x40" + symbol + b"\0")
    if at < 0:
        at = stream.find(b"\x41" + symbol + b"\0")
    if at < 0 or stream[at + len(symbol) + 2] != DO_BIND:
        raise ImageError(f"no lazy bind of {symbol.decode()} to remove")
    data[lazy_offset + at + len(symbol) + 2] = SET_TYPE_POINTER
    return data


def flipped_page(image, data):
    """Every bit of the page of code that holds the static constructor's first instruction."""
    init = image.section("__DATA", "__mod_init_func")
    constructor = _word(image, data, init.addr) & ~1
    text = image.section("__TEXT", "__text")
    start = max(text.addr, constructor & ~(PAGE - 1))
    end = min(text.addr + text.size, start + PAGE)
    first = _file_offset(image, start)
    for at in range(first, first + end - start):
        data[at] ^= 0xFF
    return data


def copies(data, architecture):
    """(what was damaged, the damaged slice) for each kind of damage."""
    slice_ = thin(data, architecture.cputype, cpusubtype=architecture.cpusubtype)
    image = Image(slice_, "damage")
    return [(name, bytes(make(image, bytearray(slice_)))) for name, make in (
        ("class name changed", renamed_class),
        ("a bind removed", removed_bind),
        ("a page of code flipped", flipped_page))]
