#!/usr/bin/env python3
"""The Mach-O export list of a library, from the version script its ELF build uses.

Both builds publish the same names: the device's carry the leading underscore of Mach-O C
symbols, and a class exported as the GNU runtime's `__objc_class_name_X` is the Apple runtime's
class and metaclass symbols instead. One list, two spellings, so the builds cannot drift apart.

    exports.py QuorvaneiOS8.map            prints the device's names, one a line
"""
import re
import sys

GNU_CLASS = "__objc_class_name_"


def global_names(map_text):
    """The names under `global:` in a version script, in order."""
    text = re.sub(r"/\*.*?\*/", "", map_text, flags=re.S)
    block = re.search(r"global:(.*?)(?:local:|\})", text, flags=re.S)
    if block is None:
        raise ValueError("the version script has no global: section")
    return [name.strip() for name in block.group(1).split(";") if name.strip()]


def device_exports(map_text):
    names = []
    for name in global_names(map_text):
        if name.startswith(GNU_CLASS):
            cls = name[len(GNU_CLASS):]
            names += ["_OBJC_CLASS_$_" + cls, "_OBJC_METACLASS_$_" + cls]
        else:
            names.append("_" + name)
    return names


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: exports.py LIBRARY.map")
    with open(argv[1], encoding="utf-8") as source:
        print("\n".join(device_exports(source.read())))


if __name__ == "__main__":
    main(sys.argv)
