"""The .tbd lists of what each system library may give the device build (tbd/): TAPI documents,
read as plain mappings. A list names its symbols per target (arm64-ios, armv7-ios), since a
32-bit image imports helpers a 64-bit one does not.
"""
import os

import yaml


class TbdError(Exception):
    pass


class _Loader(yaml.SafeLoader):
    """Reads TAPI documents (tagged !tapi-tbd) as plain mappings."""


_Loader.add_multi_constructor(
    "!", lambda loader, suffix, node: loader.construct_mapping(node, deep=True))

OBJC_PREFIXES = {"objc-classes": ("_OBJC_CLASS_$_", "_OBJC_METACLASS_$_"),
                 "objc-eh-types": ("_OBJC_EHTYPE_$_",), "objc-ivars": ("_OBJC_IVAR_$_",)}
TARGETS = {"arm64": "arm64-ios", "armv7": "armv7-ios"}


def section_symbols(section):
    """The symbol names one exports section lists, Objective-C names spelt as the linker sees."""
    names = set()
    for kind in ("symbols", "weak-symbols", "thread-local-symbols"):
        names.update(section.get(kind) or [])
    for kind, prefixes in OBJC_PREFIXES.items():
        names.update(prefix + name for name in section.get(kind) or [] for prefix in prefixes)
    return names


def read(path, arch=None):
    """[(install name, symbols)] of one .tbd: for `arch` alone, or of every target when None."""
    target = TARGETS.get(arch) if arch else None
    if arch and target is None:
        raise TbdError(f"no .tbd target for the architecture {arch}")
    libraries = []
    with open(path, encoding="utf-8") as source:
        for document in yaml.load_all(source, Loader=_Loader):
            if not isinstance(document, dict) or "install-name" not in document:
                raise TbdError(f"{os.path.basename(path)}: not a TAPI stub with an install-name")
            symbols = set()
            for section in (document.get("exports") or []) + (document.get("reexports") or []):
                if target is None or target in (section.get("targets") or []):
                    symbols |= section_symbols(section)
            libraries.append((document["install-name"], symbols))
    return libraries


def read_folder(folder, arch=None):
    """{install name: symbols} of every .tbd in folder."""
    libraries = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".tbd"):
            for install_name, symbols in read(os.path.join(folder, name), arch):
                libraries.setdefault(install_name, set()).update(symbols)
    if not libraries:
        raise TbdError(f"{folder} holds no .tbd file")
    return libraries
