"""No weak definition reaches the old linker: it resolves the relocations inside and around the
atoms it coalesces to the wrong places (a pointer to a template constant becomes a pointer to
an unrelated static, a tail call lands in data).

Each weak definition of one assembly file is rewritten on its own, by where it lives:
- code and read-only data (`__TEXT`, `__DATA,__const`: inline functions, template constants,
  vtables, constexpr members): a local symbol of the file. Each object keeps its own copy,
  which nothing can tell apart from a shared one, since nothing writes it.
- writable data that starts zero (the statics and guards of inline functions, inline
  variables such as a hook's saved original): a common symbol, which the linker makes one
  zero-filled definition of, shared by every object. The build compiles with default
  visibility, so the compiler reaches these through non-lazy slots, which a common may fill.
- anything else (writable data with a non-zero start) fails: copies would part, and a common
  cannot hold a value.
"""
import re

WEAK = re.compile(r"^\s*\.(weak_definition|weak_def_can_be_hidden)\s+(\S+)\s*$")
ATTRIBUTE = re.compile(r"^\s*\.(globl|private_extern|weak_definition|weak_def_can_be_hidden)"
                       r"\s+(\S+)")
SECTION = re.compile(r"^\s*\.section\s+([^,\s]+),([^,\s]+)")
LABEL = re.compile(r"^([A-Za-z_.$][\w.$]*):")
ALIGN = re.compile(r"^\s*\.p2align\s+(\d+)")
ZERO = re.compile(r"^\s*\.(long|short|byte|space|zero)\s+(\d+)\s*(?:@.*)?$")
ZERO_SIZES = {"long": 4, "short": 2, "byte": 1}
READ_ONLY_DATA = {("__DATA", "__const")}


class WeakError(Exception):
    pass


def _weak_names(lines):
    return {match.group(2) for match in map(WEAK.match, lines) if match}


def _definitions(lines, names):
    """{name: (label line, section)} of each weak name's definition."""
    found, section = {}, None
    for at, line in enumerate(lines):
        header = SECTION.match(line)
        if header:
            section = header.groups()
        label = LABEL.match(line)
        if label and label.group(1) in names:
            found[label.group(1)] = (at, section)
    missing = names - set(found)
    if missing:
        raise WeakError(f"a weak symbol defined nowhere in the file: {sorted(missing)[0]}")
    return found


def _zero_size(lines, label_at):
    """The size of a zero definition after its label, or None if it holds anything else."""
    size, at = 0, label_at + 1
    while at < len(lines) and lines[at].strip() and not LABEL.match(lines[at]):
        match = ZERO.match(lines[at])
        if not match or (match.group(1) in ZERO_SIZES and match.group(2) != "0"):
            return None
        size += int(match.group(2)) if match.group(1) in ("space", "zero") else \
            ZERO_SIZES[match.group(1)]
        at += 1
    return size, at


def _alignment(lines, label_at):
    match = ALIGN.match(lines[label_at - 1]) if label_at else None
    return int(match.group(1)) if match else 0


def _is_read_only(section):
    return section is not None and (section[0] == "__TEXT" or section in READ_ONLY_DATA)


def rewrite(text):
    """The assembly with each weak definition made local or common, as above."""
    lines = text.split("\n")
    names = _weak_names(lines)
    if not names:
        return text
    dropped, commons = set(), []
    for name, (label_at, section) in sorted(_definitions(lines, names).items()):
        if _is_read_only(section):
            continue
        zero = _zero_size(lines, label_at)
        if zero is None:
            raise WeakError(f"{name}: writable weak data that starts non-zero, in "
                            f"{','.join(section or ('no section',))}")
        size, end = zero
        alignment = _alignment(lines, label_at)
        dropped.update(range(label_at - (1 if alignment else 0), end))
        commons += [f"\t.private_extern\t{name}", f"\t.comm\t{name},{size},{alignment}"]
    kept = [line for at, line in enumerate(lines) if at not in dropped and not (
        ATTRIBUTE.match(line) and ATTRIBUTE.match(line).group(2) in names)]
    return "\n".join(kept + commons + [""])
