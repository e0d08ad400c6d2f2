"""The ad-hoc code signature iOS 7 and 8 kernels accept: an embedded-signature SuperBlob holding
a CodeDirectory of version 0x20001 with SHA-1 hashes of every 4 KiB page up to the signature,
and an empty requirements set whose hash fills special slot -2. The linker's signature has
SHA-256 hashes only, which those kernels cannot check, so it is replaced. The old linker of the
armv7 slices writes no signature: an LC_CODE_SIGNATURE is added in the header padding and the
signature at the end of __LINKEDIT. A universal file's slices are each signed so and laid out
again as lipo lays them out.

All blob fields are big-endian, as the kernel reads them; the Mach-O fields are little-endian.
"""
import hashlib
import os
import struct
import tempfile

import macho

CSMAGIC_EMBEDDED_SIGNATURE = 0xFADE0CC0
CSMAGIC_CODEDIRECTORY = 0xFADE0C02
CSMAGIC_REQUIREMENTS = 0xFADE0C01
CSSLOT_CODEDIRECTORY = 0
CSSLOT_REQUIREMENTS = 2
CS_ADHOC = 0x2
CODE_DIRECTORY_VERSION = 0x20001
CS_HASHTYPE_SHA1 = 1
HASH_SIZE = 20
PAGE_SHIFT = 12
PAGE_SIZE = 1 << PAGE_SHIFT
# Slot -1 is the Info.plist's hash (all zeros: a dylib has none), slot -2 the requirements'.
SPECIAL_SLOTS = 2
# Linkers start and end the signature on a 16-byte boundary.
SIGNATURE_ALIGNMENT = 16
# __LINKEDIT's vmsize in whole segment pages, as the other segments have it: 16 KiB on arm64,
# 4 KiB on armv7.
SEGMENT_PAGE = 0x4000
SEGMENT_PAGE_32 = 0x1000
# lipo's alignment (log2) of arm64 and armv7 slices in a universal file for iOS.
FAT_SLICE_ALIGN = 14

# magic, length, version, flags, hashOffset, identOffset, nSpecialSlots, nCodeSlots, codeLimit,
# hashSize, hashType, platform, pageSize (log2), spare2: the whole header of version 0x20001.
CODE_DIRECTORY = struct.Struct(">9I4BI")
BLOB = struct.Struct(">II")  # magic, length
SUPER_BLOB = struct.Struct(">III")  # magic, length, count
BLOB_INDEX = struct.Struct(">II")  # slot type, offset
EMPTY_REQUIREMENTS = struct.pack(">III", CSMAGIC_REQUIREMENTS, 12, 0)


def page_hashes(code, code_limit):
    """SHA-1 of each page of code[:code_limit], the last page cut at the limit."""
    return [hashlib.sha1(code[start:min(start + PAGE_SIZE, code_limit)]).digest()
            for start in range(0, code_limit, PAGE_SIZE)]


def _code_directory_length(code_limit, identifier):
    code_slots = -(-code_limit // PAGE_SIZE)
    return (CODE_DIRECTORY.size + len(identifier.encode()) + 1 +
            (SPECIAL_SLOTS + code_slots) * HASH_SIZE)


def signature_length(code_limit, identifier):
    """The SuperBlob's length for a file signed up to code_limit, before alignment."""
    header = SUPER_BLOB.size + 2 * BLOB_INDEX.size
    return header + _code_directory_length(code_limit, identifier) + len(EMPTY_REQUIREMENTS)


def code_directory(code, code_limit, identifier):
    ident = identifier.encode() + b"\0"
    hashes = page_hashes(code, code_limit)
    special = hashlib.sha1(EMPTY_REQUIREMENTS).digest() + bytes(HASH_SIZE)  # slots -2, -1
    hash_offset = CODE_DIRECTORY.size + len(ident) + len(special)
    header = CODE_DIRECTORY.pack(CSMAGIC_CODEDIRECTORY,
                                 _code_directory_length(code_limit, identifier),
                                 CODE_DIRECTORY_VERSION, CS_ADHOC, hash_offset,
                                 CODE_DIRECTORY.size, SPECIAL_SLOTS, len(hashes), code_limit,
                                 HASH_SIZE, CS_HASHTYPE_SHA1, 0, PAGE_SHIFT, 0)
    return header + ident + special + b"".join(hashes)


def signature(code, code_limit, identifier):
    """The SuperBlob signing code[:code_limit] ad hoc under identifier."""
    directory = code_directory(code, code_limit, identifier)
    first = SUPER_BLOB.size + 2 * BLOB_INDEX.size
    length = first + len(directory) + len(EMPTY_REQUIREMENTS)
    return (SUPER_BLOB.pack(CSMAGIC_EMBEDDED_SIGNATURE, length, 2) +
            BLOB_INDEX.pack(CSSLOT_CODEDIRECTORY, first) +
            BLOB_INDEX.pack(CSSLOT_REQUIREMENTS, first + len(directory)) + directory +
            EMPTY_REQUIREMENTS)


def _align(value, alignment):
    return -(-value // alignment) * alignment


def _segment_page(image):
    """The page __LINKEDIT's vmsize is rounded to: arm64 maps 16 KiB pages, armv7 4 KiB ones
    (the old linker's and dyld's segment alignment there)."""
    return SEGMENT_PAGE if image.is_64 else SEGMENT_PAGE_32


def _signable(image, label):
    """The signature command and __LINKEDIT of an image the signer can rewrite."""
    command = image.code_signature
    linkedit = image.segment("__LINKEDIT")
    if linkedit is None or linkedit.fileoff > command.dataoff:
        raise macho.MachOError(f"{label}: the code signature is not inside __LINKEDIT")
    if command.dataoff + command.datasize != len(image.data) or \
            linkedit.fileoff + linkedit.filesize != len(image.data):
        raise macho.MachOError(f"{label}: the code signature and __LINKEDIT do not end the file")
    if command.dataoff % SIGNATURE_ALIGNMENT:
        raise macho.MachOError(f"{label}: the code signature starts off a 16-byte boundary")
    return command, linkedit


def _with_signature_command(image, label):
    """An image the linker left unsigned, with an LC_CODE_SIGNATURE added after its load
    commands in the header padding, and zeros to the 16-byte boundary after __LINKEDIT where
    the signature will start: (bytes, the command's offset, __LINKEDIT). The command's and
    __LINKEDIT's sizes are the signing's to fill in."""
    linkedit = image.segment("__LINKEDIT")
    if linkedit is None:
        raise macho.MachOError(f"{label}: has no __LINKEDIT segment to hold a code signature")
    if linkedit.fileoff + linkedit.filesize != len(image.data):
        raise macho.MachOError(f"{label}: __LINKEDIT does not end the file")
    at, first = image.commands_end, image.first_content_offset()
    needed = macho.LINKEDIT_DATA.size
    if first - at >= needed and any(image.data[at:at + needed]):
        raise macho.MachOError(f"{label}: the header padding after the load commands is not "
                               "zeros: something lies where LC_CODE_SIGNATURE would go")
    if first - at < needed:
        raise macho.MachOError(
            f"{label}: no room for an LC_CODE_SIGNATURE: {max(first - at, 0)} bytes of header "
            f"padding between the load commands and the first section at {first:#x}, {needed} "
            "needed; link it with more header padding")
    code_limit = _align(len(image.data), SIGNATURE_ALIGNMENT)
    out = bytearray(image.data) + bytes(code_limit - len(image.data))
    struct.pack_into("<II", out, 16, image.ncmds + 1, image.sizeofcmds + needed)  # the header's
    macho.LINKEDIT_DATA.pack_into(out, at, macho.LC_CODE_SIGNATURE, needed, code_limit, 0)
    return out, at, linkedit


def _signed_image(data, identifier, label):
    """A thin image's bytes signed ad hoc with a SHA-1 CodeDirectory: the linker's signature
    replaced, or a signature added where the linker wrote none."""
    image = macho.MachO(data, label)
    if image.code_signature is None:
        out, command_offset, linkedit = _with_signature_command(image, label)
        code_limit = len(out)
    else:
        command, linkedit = _signable(image, label)
        command_offset, code_limit = command.command_offset, command.dataoff
        out = bytearray(data[:code_limit])
    datasize = _align(signature_length(code_limit, identifier), SIGNATURE_ALIGNMENT)
    # The hashes cover the load commands, so the sizes change before hashing.
    struct.pack_into("<I", out, command_offset + 12, datasize)
    filesize = code_limit + datasize - linkedit.fileoff
    struct.pack_into(linkedit.word, out, linkedit.vmsize_offset,
                     _align(filesize, _segment_page(image)))
    struct.pack_into(linkedit.word, out, linkedit.filesize_offset, filesize)
    blob = signature(out, code_limit, identifier)
    return bytes(out + blob + bytes(datasize - len(blob)))


def signed(data, identifier, label="file"):
    """The bytes of a Mach-O file signed ad hoc with SHA-1 CodeDirectories: a thin arm64 or
    armv7 image, or a universal file whose every slice is signed under the same identifier and
    laid out again at its alignment (at least lipo's 2^14 for ARM slices)."""
    if not macho.is_fat(data):
        return _signed_image(data, identifier, label)
    parts = []
    for arch, image in macho.slices(data, label):
        name = macho.arch_name(arch.cputype, arch.cpusubtype)
        thin = macho.MachO(image, f"{label} ({name})")
        if (thin.cputype, thin.cpusubtype) != (arch.cputype, arch.cpusubtype):
            raise macho.MachOError(f"{label}: the {name} slice's own header names {thin.arch}")
        image = _signed_image(image, identifier, f"{label} ({name})")
        parts.append((arch._replace(align=max(arch.align, FAT_SLICE_ALIGN)), image))
    return macho.fat_file(parts)


def sign_file(path, identifier=None):
    """Signs the file in place, every slice of a universal one; the identifier is the file's
    name without its extension. The file is replaced whole or not at all."""
    identifier = identifier or os.path.splitext(os.path.basename(path))[0]
    with open(path, "rb") as source:
        result = signed(source.read(), identifier, label=str(path))
    folder = os.path.dirname(os.path.abspath(path))
    with tempfile.NamedTemporaryFile(dir=folder, prefix=".sign-", delete=False) as out:
        try:
            out.write(result)
            out.flush()
            os.fsync(out.fileno())
            os.chmod(out.name, os.stat(path).st_mode & 0o7777)
        except BaseException:
            out.close()
            os.unlink(out.name)
            raise
    try:
        os.replace(out.name, path)
    except BaseException:
        os.unlink(out.name)
        raise


def _blob_at(blob, offset, magic, what):
    if offset + BLOB.size > len(blob):
        raise ValueError(f"the {what} lies outside the signature")
    found, length = BLOB.unpack_from(blob, offset)
    if found != magic:
        raise ValueError(f"the {what}'s magic is {found:#x}, not {magic:#x}")
    if offset + length > len(blob):
        raise ValueError(f"the {what} runs past the signature")
    return blob[offset:offset + length]


def _slots(blob):
    magic, length, count = SUPER_BLOB.unpack_from(blob)
    if magic != CSMAGIC_EMBEDDED_SIGNATURE:
        raise ValueError(f"the signature's magic is {magic:#x}, not an embedded signature")
    if length > len(blob) or SUPER_BLOB.size + count * BLOB_INDEX.size > length:
        raise ValueError("the signature's SuperBlob is longer than its region")
    return dict(BLOB_INDEX.unpack_from(blob, SUPER_BLOB.size + i * BLOB_INDEX.size)
                for i in range(count))


def _directory_problems(directory, code, code_limit, identifier, requirements):
    (_, _, version, flags, hash_offset, ident_offset, special, slots, limit, hash_size,
     hash_type, _, page_shift, _) = CODE_DIRECTORY.unpack_from(directory)
    expected = {"version": (version, CODE_DIRECTORY_VERSION), "flags": (flags, CS_ADHOC),
                "hashType": (hash_type, CS_HASHTYPE_SHA1), "hashSize": (hash_size, HASH_SIZE),
                "pageSize": (page_shift, PAGE_SHIFT), "codeLimit": (limit, code_limit)}
    problems = [f"CodeDirectory {field} is {found:#x}, expected {want:#x}"
                for field, (found, want) in expected.items() if found != want]
    name = directory[ident_offset:].split(b"\0", 1)[0].decode("utf-8", "replace")
    if name != identifier:
        problems.append(f"CodeDirectory identifier is {name!r}, expected {identifier!r}")
    if problems or hash_offset + slots * HASH_SIZE > len(directory) or special < 2:
        return problems or ["CodeDirectory hash slots lie outside it"]
    recorded = [directory[hash_offset + i * HASH_SIZE:hash_offset + (i + 1) * HASH_SIZE]
                for i in range(slots)]
    actual = page_hashes(code, code_limit)
    if len(recorded) != len(actual):
        problems.append(f"CodeDirectory has {len(recorded)} page hashes for {len(actual)} pages")
    problems += [f"page {i} (offset {i * PAGE_SIZE:#x}) does not match its SHA-1 hash"
                 for i, (want, found) in enumerate(zip(actual, recorded)) if want != found]
    slot = directory[hash_offset - CSSLOT_REQUIREMENTS * HASH_SIZE:
                     hash_offset - (CSSLOT_REQUIREMENTS - 1) * HASH_SIZE]
    if requirements is None or slot != hashlib.sha1(requirements).digest():
        problems.append("special slot -2 does not hold the requirements' hash")
    return problems


def signature_problems(data, identifier, label="file"):
    """Why the file's signature is not the SHA-1 ad-hoc one for identifier: [] when it is. A
    universal file's every slice is checked, its problems named by the slice's architecture."""
    if not macho.is_fat(data):
        return _image_signature_problems(data, identifier, label)
    problems = []
    for arch, image in macho.slices(data, label):
        name = macho.arch_name(arch.cputype, arch.cpusubtype)
        if arch.offset % (1 << arch.align):
            problems.append(f"{name}: the slice at {arch.offset:#x} is not on its "
                            f"2^{arch.align} boundary")
        try:
            found = _image_signature_problems(image, identifier, f"{label} ({name})")
        except macho.MachOError as error:
            found = [str(error)]
        problems += [f"{name}: {problem}" for problem in found]
    return problems


def _image_signature_problems(data, identifier, label):
    image = macho.MachO(data, label)
    command = image.code_signature
    if command is None:
        return ["no LC_CODE_SIGNATURE"]
    if command.dataoff + command.datasize != len(data):
        return ["the code signature does not end the file"]
    blob = data[command.dataoff:]
    try:
        slots = _slots(blob)
        if CSSLOT_CODEDIRECTORY not in slots:
            return ["the signature has no CodeDirectory"]
        directory = _blob_at(blob, slots[CSSLOT_CODEDIRECTORY], CSMAGIC_CODEDIRECTORY,
                             "CodeDirectory")
        requirements = (_blob_at(blob, slots[CSSLOT_REQUIREMENTS], CSMAGIC_REQUIREMENTS,
                                 "requirements set")
                        if CSSLOT_REQUIREMENTS in slots else None)
        return _directory_problems(directory, data, command.dataoff, identifier, requirements)
    except (ValueError, struct.error) as error:
        return [str(error)]
