"""How values cross a call on each CPU the package ships: which register or stack slot an
argument takes, how a result comes back, how a struct is passed. Types are Objective-C type
encodings ("q", "d", "@", "{CMTime=qiIq}"); values are Python ints, floats and tuples (a struct's
members in order). One class per architecture (arm64_abi.py, armv7_abi.py); ARCHITECTURES is
the table the loader picks from. The encodings themselves, and where a type's bytes lie, are
type_encodings.py's.

The Linux build and the hook tables spell types as arm64 iOS does, but for BOOL (gcc's runtime
has it as unsigned char, "C"). Each architecture's `spell` turns such a type string into its own
spelling; it is the one place where the two spellings meet.
"""
from arm64_abi import Arm64
from armv7_abi import Arm32
from type_encodings import split_encoding

# The emulation's modules take the encodings' parser from here, with the architectures.
__all__ = ["ARCHITECTURES", "Arm32", "Arm64", "split_encoding"]

ARCHITECTURES = {Arm64.name: Arm64, Arm32.name: Arm32}
