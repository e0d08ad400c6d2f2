"""The order of an armv7 object's sections, as the old linker can read them.

The linker finds the section of an address by the sections' order in the object, and takes
that order for the order of their addresses. The assembler numbers sections as they first
appear but puts zero-fill sections after all others, and keeps an empty section at the
address of whatever follows it. So a zero-fill directive is moved to the end of the file, and
a switch to a section that nothing follows is left out: otherwise references into the
sections after them come out zero.
"""
import re

SECTION = re.compile(r"^\s*\.section\s+[^,\s]+,[^,\s]+")
CSTRINGS = re.compile(r"^\s*\.section\s+__TEXT,__cstring,cstring_literals\s*$")
STRINGS_SECTION = "\t.section\t__TEXT,__const"
LABEL = re.compile(r"^(L[\w.$]*):")
ZEROFILL = re.compile(r"^\s*\.zerofill\b")
END = ".subsections_via_symbols"


def _strings_as_atoms(lines):
    """C strings moved to read-only data, each under a label of its own: the linker misplaces
    some of the strings it merges, and resolves a temporary label (L...) to the first word of
    the atom it lies in, so each string becomes an atom with a local symbol (l...)."""
    names, in_strings = set(), False
    for line in lines:
        if SECTION.match(line):
            in_strings = bool(CSTRINGS.match(line))
        label = LABEL.match(line)
        if in_strings and label:
            names.add(label.group(1))
    if not names:
        return lines
    pattern = re.compile(r"(?<![\w.$])(" + "|".join(map(re.escape, sorted(names))) + r")(?![\w.$])")
    moved = [STRINGS_SECTION if CSTRINGS.match(line) else line for line in lines]
    return [pattern.sub(lambda m: "l" + m.group(1)[1:], line) for line in moved]


def _empty_switch(lines, at):
    following = next((line for line in lines[at + 1:] if line.strip()), "")
    return bool(SECTION.match(following)) or following.strip() in ("", END)


def ordered(text):
    """The assembly with its zero-fill sections last and no empty section."""
    lines = _strings_as_atoms(text.split("\n"))
    zerofills = [line for line in lines if ZEROFILL.match(line)]
    kept = [line for at, line in enumerate(lines) if not ZEROFILL.match(line) and
            not (SECTION.match(line) and _empty_switch(lines, at))]
    if not zerofills:
        return "\n".join(kept)
    end = next((at for at, line in enumerate(kept) if line.strip() == END), len(kept))
    return "\n".join(kept[:end] + zerofills + kept[end:])
