"""Objective-C type encodings ("q", "d", "@", "{CMTime=qiIq}"): a method's encoding taken apart,
a struct's members respelt, and where a type's bytes lie on an architecture (Layout), with the
values as Python ints, floats and tuples (a struct's members in order)."""
import struct

# Scalar encodings: (size, struct format). Pointers and objects take the architecture's word.
SCALARS = {
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


def respelt_struct(encoding, member):
    """A struct's encoding with `member(encoding)` applied to each scalar member, nested
    structs included."""
    members = [respelt_struct(m, member) if m[0] == "{" else member(m)
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
        elif encoding in SCALARS:
            self.members = None
            self.size = self.align = SCALARS[encoding][0]
            if encoding == "q" or encoding == "Q" or encoding == "d":
                self.align = abi.int64_align
        else:
            raise ValueError(f"no layout for the type {encoding!r}")

    def pack(self, abi, value):
        if self.members is None:
            fmt = abi.word_format if self.encoding[0] in _POINTERS else SCALARS[self.encoding][1]
            if fmt in "bBhHiIqQ" and isinstance(value, bool):
                value = int(value)
            return struct.pack("<" + fmt, value)
        raw = bytearray(self.size)
        for (offset, layout), member in zip(self.members, value):
            raw[offset:offset + layout.size] = layout.pack(abi, member)
        return bytes(raw)

    def unpack(self, abi, raw):
        if self.members is None:
            fmt = abi.word_format if self.encoding[0] in _POINTERS else SCALARS[self.encoding][1]
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
