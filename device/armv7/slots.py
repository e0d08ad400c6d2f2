#!/usr/bin/env python3
"""Rewrites the non-lazy pointer slots of clang's armv7 assembly into plain data words.

The old Mach-O linker, the only one that links armv7, drops the binds of slots in
__nl_symbol_ptr: an imported slot stays zero on the device. Written as `.long S` in an ordinary
data section, each slot becomes a data relocation, which the linker turns into a bind (an
import) or a rebase (a symbol of the image). Each slot's label becomes a non-temporary local
(`l_…` for `L_…`), so that references to it name it rather than an offset in the section,
which the linker resolves to the section's first word.

    slots.py IN.s OUT.s
"""
import re
import sys

SLOT_SECTION = re.compile(r"^\s*\.section\s+__DATA,__nl_symbol_ptr,non_lazy_symbol_pointers\s*$")
SLOT_LABEL = re.compile(r"^(L(\S*)\$non_lazy_ptr):\s*$")
INDIRECT = re.compile(r"^\s*\.indirect_symbol\s+(\S+)\s*$")
ZERO = re.compile(r"^\s*\.long\s+0\s*$")
REFERENCE = re.compile(r"\bL(\S*?\$non_lazy_ptr)\b")
# The rewritten slots' home: pointers the image never writes, rebased or bound by dyld.
DATA_SECTION = "\t.section\t__DATA,__const"


class RewriteError(Exception):
    pass


def _slots(lines, start):
    """The slots of one __nl_symbol_ptr section from `start`: [(label, symbol)], and its end."""
    slots, at = [], start
    while at < len(lines):
        line = lines[at]
        label = SLOT_LABEL.match(line)
        if label:
            indirect = INDIRECT.match(lines[at + 1]) if at + 1 < len(lines) else None
            zero = ZERO.match(lines[at + 2]) if at + 2 < len(lines) else None
            if not (indirect and zero):
                raise RewriteError(f"line {at + 1}: slot {label.group(1)} is not "
                                   ".indirect_symbol S followed by .long 0")
            slots.append((label.group(1), indirect.group(1)))
            at += 3
        elif line.strip() == "" or line.strip().startswith(".p2align"):
            at += 1
        else:
            break  # the section ends where its slots do, as at .subsections_via_symbols
    return slots, at


def rewrite(text):
    """The assembly with every non-lazy slot as `l_…: .long S` in __DATA,__const."""
    lines = text.split("\n")
    out, at, count = [], 0, 0
    while at < len(lines):
        if not SLOT_SECTION.match(lines[at]):
            out.append(lines[at])
            at += 1
            continue
        slots, at = _slots(lines, at + 1)
        out += [DATA_SECTION, "\t.p2align\t2"]
        for label, symbol in slots:
            out += [f"l{label[1:]}:", f"\t.long\t{symbol}"]
        count += len(slots)
    rewritten = "\n".join(out)
    if count:
        rewritten = REFERENCE.sub(lambda m: f"l{m.group(1)}", rewritten)
    if "__nl_symbol_ptr" in rewritten or ".indirect_symbol" in rewritten:
        raise RewriteError("a non-lazy slot is left that the rewrite does not know")
    return rewritten


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: slots.py IN.s OUT.s")
    source, target = argv
    with open(source) as file:
        text = file.read()
    try:
        rewritten = rewrite(text)
    except RewriteError as error:
        sys.exit(f"slots.py: {source}: {error}")
    with open(target, "w") as file:
        file.write(rewritten)


if __name__ == "__main__":
    main(sys.argv[1:])
