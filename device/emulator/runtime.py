"""The Objective-C runtime, emulated at a high level: classes as handles in emulated memory
(an isa and a superclass, as the image's code reads them), method lists kept on the Python side,
selectors interned as C strings, objects as blocks of memory whose first word is their isa.

Methods are implemented either by the image (an address in it) or by the emulation (a trap that
runs a Python function). A message to a method that neither implements fails the run, naming
the method: nothing is answered with zero unseen.
"""
from abi import split_encoding
from machine import EmulationError

# class_ro_t flags
RO_META = 1 << 0


class Method:
    def __init__(self, selector, imp, types):
        self.selector, self.imp, self.types = selector, imp, types
        self.address = None  # the Method handle the image may hold


class ObjCClass:
    def __init__(self, name, address, superclass, is_meta, instance_size):
        self.name, self.address, self.superclass = name, address, superclass
        self.is_meta, self.instance_size = is_meta, instance_size
        self.methods = {}  # selector name -> Method, in the order they were added
        self.ivars = {}  # name -> (offset, type, size, handle)
        self.meta = None

    def find(self, selector):
        cls = self
        while cls is not None:
            if selector in cls.methods:
                return cls.methods[selector]
            cls = cls.superclass
        return None

    def label(self):
        return ("+" if self.is_meta else "-") + self.name


class Runtime:
    def __init__(self, machine):
        self.machine = machine
        self.word = machine.abi.word
        self.selectors, self.selector_names = {}, {}
        self.classes, self.by_name = {}, {}
        self.methods_by_handle = {}
        self.ivars_by_handle = {}
        self.objects = {}  # address -> the Python value of an emulated Foundation object
        self.answers = {}  # address -> {selector: typed answer} that one object gives

    # --- Selectors ----------------------------------------------------------------------

    def selector(self, name):
        if not name:
            raise EmulationError(f"a selector registered with the name {name!r}")
        if name not in self.selectors:
            address = self.machine.c_string(name)
            self.selectors[name], self.selector_names[address] = address, name
        return self.selectors[name]

    def selector_name(self, address):
        if address in self.selector_names:
            return self.selector_names[address]
        name = self.machine.read_c_string(address)
        if name is None:
            raise EmulationError("a nil selector")
        if name == "":
            raise EmulationError(f"the selector at {address:#x} has an empty name: it is no "
                                 f"selector")
        self.selector_names[address] = name
        return name

    # --- Classes ------------------------------------------------------------------------

    def define_class(self, name, superclass=None, instance_size=None, address=None):
        """A class made by the emulation, with its metaclass, at `address` if given."""
        size = instance_size if instance_size is not None else (
            superclass.instance_size if superclass else self.word)
        meta_super = superclass.meta if superclass else None
        meta = self._class_at(self.machine.allocate(5 * self.word), name, meta_super, True, 0)
        cls = self._class_at(address or self.machine.allocate(5 * self.word), name, superclass,
                             False, size)
        cls.meta = meta
        if superclass is None:
            meta.superclass = cls  # a root's metaclass inherits from the root class
        root_meta = meta
        while root_meta.superclass is not None and root_meta.superclass.is_meta:
            root_meta = root_meta.superclass
        self._write_class(cls, meta.address)
        self._write_class(meta, root_meta.address)
        self.by_name[name] = cls
        return cls

    def _class_at(self, address, name, superclass, is_meta, size):
        cls = ObjCClass(name, address, superclass, is_meta, size)
        self.classes[address] = cls
        return cls

    def _write_class(self, cls, isa):
        self.machine.write_word(cls.address, isa)
        self.machine.write_word(cls.address + self.word,
                                cls.superclass.address if cls.superclass else 0)

    def adopt_class(self, cls):
        """A class the image defines, realised by the caller."""
        self.classes[cls.address] = cls
        self.classes[cls.meta.address] = cls.meta
        self.by_name[cls.name] = cls

    def class_at(self, address, what="class"):
        if address == 0:
            return None
        if address not in self.classes:
            raise EmulationError(f"{address:#x} is no class the runtime knows ({what})")
        return self.classes[address]

    def class_of(self, address):
        """object_getClass: the isa of an object or of a class."""
        return self.class_at(self.machine.word(address), f"isa of {address:#x}")

    def lookup(self, name):
        return self.by_name.get(name)

    # --- Methods ------------------------------------------------------------------------

    def implement(self, cls, selector, types, function, name=None):
        """Gives `cls` a method run by `function(receiver, *arguments)`."""
        imp = self.machine.trap(name or f"{cls.label()}[{selector}]",
                                self._method_entry(types, function))
        return self.add_method(cls, selector, imp, types)

    def _method_entry(self, types, function):
        result_type, argument_types = split_encoding(types)
        abi = self.machine.abi

        def enter():
            receiver, _, *arguments = abi.read_arguments(argument_types, result_type=result_type)
            abi.write_result(result_type, function(receiver, *arguments))
        return enter

    def add_method(self, cls, selector, imp, types):
        method = Method(selector, imp, types)
        cls.methods[selector] = method
        return method

    def method_handle(self, method):
        if method.address is None:
            method.address = self.machine.allocate(3 * self.word)
            self.methods_by_handle[method.address] = method
        return method.address

    def method_at(self, handle):
        if handle not in self.methods_by_handle:
            raise EmulationError(f"{handle:#x} is no Method handle")
        return self.methods_by_handle[handle]

    # --- Objects ------------------------------------------------------------------------

    def new_object(self, cls, value=None, size=None):
        address = self.machine.allocate(max(size or cls.instance_size, self.word))
        self.machine.write_word(address, cls.address)
        if value is not None:
            self.objects[address] = value
        return address

    def value_of(self, address):
        return self.objects.get(address)

    # --- Messages -----------------------------------------------------------------------

    def dispatch(self, receiver, selector_address, start=None, stret=False):
        """The address a message goes on to (a tail call), or None once answered here.
        `stret`: sent through objc_msgSend_stret, the result's memory in the first register."""
        abi = self.machine.abi
        if receiver == 0:
            if not stret:  # the stret entry leaves a nil receiver's result memory as it was
                abi.clear_results()
            return None
        selector = self.selector_name(selector_address)
        if selector in self.answers.get(receiver, {}):
            result_type, value = self.answers[receiver][selector]
            self._check_entry(selector, result_type, stret)
            abi.write_result(result_type, value)
            return None
        cls = start or self.class_of(receiver)
        method = cls.find(selector)
        if method is None:
            raise EmulationError(f"{cls.label()[0]}[{cls.name} {selector}]: a message the "
                                 f"emulation does not handle")
        self._check_entry(f"{cls.label()[0]}[{cls.name} {selector}]",
                          split_encoding(method.types)[0], stret)
        return method.imp

    def _check_entry(self, what, result_type, stret):
        """A result through memory must be sent through the stret entry, and only such a
        result: the other entry leaves the callee writing through a register that holds self."""
        abi = self.machine.abi
        if abi.has_stret and abi.result_is_indirect(result_type) != stret:
            entry, other = ("objc_msgSend_stret", "objc_msgSend") if stret else (
                "objc_msgSend", "objc_msgSend_stret")
            raise EmulationError(f"{what} returns {result_type}, sent through {entry}: it "
                                 f"needs {other}")
