"""The image's own Objective-C classes, realised from __objc_classlist as the runtime realises
them when dyld maps the image: name, superclass (a bound import), instance start and size, the
ivar offsets slid past the superclass's instances, and the base methods.
"""
import struct

from machine import EmulationError
from runtime import RO_META, ObjCClass


class ClassReader:
    def __init__(self, machine, runtime):
        self.machine, self.runtime = machine, runtime
        self.word = machine.abi.word
        self.data_mask = ~(self.word - 1)  # class_t's data word keeps flags in its low bits

    def _pointer(self, address, index):
        return self.machine.word(address + index * self.word)

    def read_ro(self, ro):
        """class_ro_t: flags, instanceStart, instanceSize, (reserved on 64-bit), ivarLayout,
        name, baseMethods, baseProtocols, ivars, weakIvarLayout, baseProperties."""
        flags, start, size = struct.unpack("<III", self.machine.read(ro, 12))
        first_pointer = ro + (16 if self.word == 8 else 12)
        pointers = [self.machine.word(first_pointer + i * self.word) for i in range(7)]
        _, name, methods, _, ivars, _, _ = pointers
        return flags, start, size, self.machine.read_c_string(name), methods, ivars

    def realise(self, address):
        meta_address, super_address = self._pointer(address, 0), self._pointer(address, 1)
        ro = self._pointer(address, 4) & self.data_mask
        flags, start, size, name, methods, ivars = self.read_ro(ro)
        if flags & RO_META:
            raise EmulationError(f"__objc_classlist names the metaclass {name}")
        superclass = self.runtime.class_at(super_address, f"the superclass of {name}")
        if superclass is None:
            raise EmulationError(f"{name} has no superclass bound: a root class of its own")
        cls = ObjCClass(name, address, superclass, False, size)
        meta_ro = self._pointer(meta_address, 4) & self.data_mask
        meta_flags, _, meta_size, _, meta_methods, _ = self.read_ro(meta_ro)
        meta_super = self.runtime.class_at(self._pointer(meta_address, 1),
                                           f"the metaclass superclass of {name}")
        if not meta_flags & RO_META or meta_super is not superclass.meta:
            raise EmulationError(f"{name}'s metaclass is not the metaclass of {superclass.name}'s "
                                 f"subclass")
        cls.meta = ObjCClass(name, meta_address, meta_super, True, meta_size)
        self._slide_ivars(cls, start, superclass.instance_size, ivars)
        self._read_methods(cls, methods)
        self._read_methods(cls.meta, meta_methods)
        self.runtime.adopt_class(cls)
        return cls

    def _slide_ivars(self, cls, start, super_size, ivars):
        delta = max(0, super_size - start)
        delta = -(-delta // self.word) * self.word
        cls.instance_size += delta
        for offset_cell, name, type_, alignment, size in self._ivar_list(ivars):
            offset = struct.unpack("<i", self.machine.read(offset_cell, 4))[0] + delta
            self.machine.write(offset_cell, struct.pack("<i", offset))
            handle = self.machine.allocate(4 * self.word)
            cls.ivars[name] = (offset, type_, size, handle)
            self.runtime.ivars_by_handle[handle] = cls.ivars[name]
            if offset + size > cls.instance_size:
                raise EmulationError(f"{cls.name}'s ivar {name} ends past its instance size")

    def _ivar_list(self, ivars):
        if ivars == 0:
            return []
        entry_size, count = struct.unpack("<II", self.machine.read(ivars, 8))
        entries = []
        for i in range(count):
            at = ivars + 8 + i * entry_size
            offset_cell, name, type_ = (self._pointer(at, k) for k in range(3))
            alignment, size = struct.unpack("<II", self.machine.read(at + 3 * self.word, 8))
            entries.append((offset_cell, self.machine.read_c_string(name),
                            self.machine.read_c_string(type_), alignment, size))
        return entries

    def _read_methods(self, cls, methods):
        if methods == 0:
            return
        entry_size, count = struct.unpack("<II", self.machine.read(methods, 8))
        for i in range(count):
            at = methods + 8 + i * (entry_size & ~3)
            name, types, imp = (self._pointer(at, k) for k in range(3))
            self.runtime.add_method(cls, self.machine.read_c_string(name), imp,
                                    self.machine.read_c_string(types))


def realise_classes(machine, runtime, loaded):
    from loader import pointer_list
    reader = ClassReader(machine, runtime)
    return [reader.realise(address)
            for address in pointer_list(machine, loaded, "__DATA", "__objc_classlist")]
