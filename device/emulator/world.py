"""What the libraries import, emulated at a high level: the Objective-C runtime's functions, the
hooking library, CoreFoundation's log and Darwin notification center, the AVFoundation and
CoreMedia functions the start path and the replacements use, libdispatch, posix_spawn and waitpid
(recorded, never run), and the C++ runtime; Foundation's classes are in foundation.py.

Each import is named here with what it does; an import that is not is bound to a trap that fails
the run with its name when it is called, and an imported data symbol that is not is refused when
the image is bound.
"""
import math
import struct

from unicorn import UC_HOOK_MEM_READ

from abi import split_encoding
from foundation import FoundationObjects, format_log, to_integer, to_unsigned
from machine import EmulationError
from runtime import Runtime

CMTIME = "{CMTime=qiIq}"
CMTIME_VALID = 1


class Events:
    """What the libraries did, in order, as the runs compare it."""

    def __init__(self):
        self.items = []

    def add(self, **event):
        self.items.append(event)


class World(FoundationObjects):
    def __init__(self, machine, events, system, files):
        self.machine, self.events, self.files = machine, events, files
        self.runtime = Runtime(machine)
        self.abi = machine.abi
        self.system = system  # the emulated system's version numbers
        self.touched = set()  # the imports the run called or read
        self.functions, self.data, self.cells = {}, {}, set()
        self.import_traps = {}  # import name -> trap address
        self.hooked_functions = {}  # trap address -> replacement
        self.method_replacements = {}  # (class, is metaclass, selector) -> replacement
        self.stock_functions = {}  # import name -> Python function(*arguments)
        self.observers = []  # (callback, name) the libraries registered
        self.pending = []  # (function, context) queued with dispatch
        self.spawned = []
        self.labels = {}
        self.c_names = {}
        self._define_classes()
        self._define_imports()

    # --- Binding ------------------------------------------------------------------------

    def resolve(self, fixup):
        symbol = fixup.symbol
        if symbol in self.data:
            if symbol not in self.cells:
                self.touched.add(symbol)  # a class: its realisation reads it
            return self.data[symbol]
        if fixup.kind != "lazy" and symbol not in self.functions:
            raise EmulationError(f"the image binds {symbol} from {fixup.library}, which the "
                                 f"emulation does not provide")
        return self.import_trap(symbol)

    def import_trap(self, symbol):
        if symbol not in self.import_traps:
            self.import_traps[symbol] = self.machine.trap(symbol, self._import_entry(symbol))
        return self.import_traps[symbol]

    def _import_entry(self, symbol):
        def enter():
            self.touched.add(symbol)
            trap = self.import_traps[symbol]
            if trap in self.hooked_functions:
                return self.hooked_functions[trap]
            if symbol not in self.functions:
                raise EmulationError(f"{symbol[1:]} is called, and the emulation does not "
                                     f"handle it")
            return self.functions[symbol]()
        return enter

    def function(self, name, types, implementation):
        """An import whose C signature is `types` ("B@": BOOL of an object)."""
        result_type, argument_types = split_encoding(types)

        def enter():
            arguments = self.abi.read_arguments(argument_types, result_type=result_type)
            self.abi.write_result(result_type, implementation(*arguments))
        self.functions["_" + name] = enter

    def raw_function(self, name, implementation):
        """An import that reads its own arguments and may answer a tail-call address."""
        self.functions["_" + name] = implementation

    def cell(self, name, raw):
        """An imported data symbol of its own, counted as touched once the image reads it."""
        address = self.machine.store(raw)
        self.data["_" + name] = address
        self.cells.add("_" + name)

        def read(uc, access, at, size, value, _):
            self.touched.add("_" + name)
        self.machine.uc.hook_add(UC_HOOK_MEM_READ, read, begin=address,
                                 end=address + len(raw) - 1)

    # --- Imports ------------------------------------------------------------------------

    def _define_imports(self):
        self._objc_imports()
        self._substrate_imports()
        self._core_foundation_imports()
        self._media_imports()
        self._system_imports()
        self._cxx_imports()
        self._compiler_runtime_imports()

    def _objc_imports(self):
        rt, machine, abi = self.runtime, self.machine, self.abi

        def message(first):
            """objc_msgSend and objc_msgSend_stret: the receiver and the selector in argument
            registers from `first` on (after the result's memory, for the stret entry)."""
            def send():
                return rt.dispatch(abi.argument_register(first),
                                   abi.argument_register(first + 1), stret=first == 1)
            return send

        def message_super(first):
            """objc_msgSendSuper(_stret): an objc_super {receiver, class to start from} where
            the receiver goes, which the method gets as self."""
            def send():
                pointer = abi.argument_register(first)
                receiver, start = machine.word(pointer), machine.word(pointer + abi.word)
                abi.set_argument_register(first, receiver)
                return rt.dispatch(receiver, abi.argument_register(first + 1),
                                   rt.class_at(start), stret=first == 1)
            return send
        self.raw_function("objc_msgSend", message(0))
        self.raw_function("objc_msgSendSuper", message_super(0))
        if abi.has_stret:
            self.raw_function("objc_msgSend_stret", message(1))
            self.raw_function("objc_msgSendSuper_stret", message_super(1))

        def class_named(name):
            cls = rt.lookup(machine.read_c_string(name))
            return cls.address if cls else 0
        self.function("objc_getClass", "#*", class_named)
        self.function("objc_lookUpClass", "#*", class_named)
        self.function("object_getClass", "#@",
                      lambda obj: rt.class_of(obj).address if obj else 0)
        self.function("class_getName", "*#", self._class_name)
        self.function("class_getSuperclass", "##", lambda cls: (
            rt.class_at(cls).superclass.address if cls and rt.class_at(cls).superclass else 0))
        self.function("class_isMetaClass", "B#", lambda cls: bool(cls) and rt.class_at(cls).is_meta)
        self.function("class_respondsToSelector", "B#:", lambda cls, sel: bool(cls) and (
            rt.class_at(cls).find(rt.selector_name(sel)) is not None))
        self.function("class_getInstanceMethod", "^v#:", self._instance_method)
        self.function("class_addMethod", "B#:^v*", self._add_method)
        self.function("class_getInstanceVariable", "^v#*", self._instance_variable)
        self.function("ivar_getOffset", abi.long + "^v", lambda ivar: rt.ivars_by_handle[ivar][0])
        self.function("method_getImplementation", "^v^v", lambda m: rt.method_at(m).imp)
        self.function("method_getTypeEncoding", "*^v",
                      lambda m: self._c_name(rt.method_at(m).types))
        self.function("method_getNumberOfArguments", "I^v",
                      lambda m: len(split_encoding(rt.method_at(m).types)[1]))
        self.function("object_getIvar", "@@^v",
                      lambda obj, ivar: machine.word(obj + rt.ivars_by_handle[ivar][0]))
        self.function("object_setIvar", "v@^v@", lambda obj, ivar, value: machine.write_word(
            obj + rt.ivars_by_handle[ivar][0], value))
        for name in ("objc_retain", "objc_autorelease"):
            self.function(name, "@@", lambda obj: obj)
        self.function("objc_release", "v@", lambda obj: None)
        self.function("objc_autoreleasePoolPush", "^v", lambda: machine.allocate(16))
        self.function("objc_autoreleasePoolPop", "v^v", lambda token: None)
        self.function("sel_registerName", ":*", lambda name: rt.selector(
            machine.read_c_string(name)))
        self.function("sel_getName", "*:", lambda sel: sel)  # a selector is its C string
        self.data["_OBJC_METACLASS_$_NSObject"] = self.NSObject.meta.address
        self.data["_OBJC_CLASS_$_NSObject"] = self.NSObject.address
        self.data["_OBJC_CLASS_$_UIView"] = self.UIView.address
        self.data["_OBJC_METACLASS_$_UIView"] = self.UIView.meta.address
        self.cell("_objc_empty_cache", bytes(16))

    def _c_name(self, text):
        if text not in self.c_names:
            self.c_names[text] = self.machine.c_string(text)
        return self.c_names[text]

    def _class_name(self, cls):
        return self._c_name(self.runtime.class_at(cls).name) if cls else 0

    def _instance_method(self, cls, sel):
        if not cls:
            return 0
        method = self.runtime.class_at(cls).find(self.runtime.selector_name(sel))
        return self.runtime.method_handle(method) if method else 0

    def _add_method(self, cls_address, sel, imp, types):
        cls = self.runtime.class_at(cls_address) if cls_address else None
        selector, types = self.runtime.selector_name(sel), self.machine.read_c_string(types)
        self.events.add(add_method=cls.name if cls else None, meta=bool(cls and cls.is_meta),
                        selector=selector, types=types)
        if cls is None or selector in cls.methods:
            return False
        self.runtime.add_method(cls, selector, imp, types)
        return True

    def _instance_variable(self, cls, name):
        name = self.machine.read_c_string(name)
        found = self.runtime.class_at(cls) if cls else None
        while found is not None:
            if name in found.ivars:
                return found.ivars[name][3]
            found = found.superclass
        return 0

    def _substrate_imports(self):
        self.function("MSHookFunction", "v^v^v^v", self._hook_function)
        self.function("MSHookMessageEx", "v#:^v^v", self._hook_message)

    def _hook_function(self, function, replacement, slot):
        name = self.machine.trap_name(function)
        if name is None or name not in self.import_traps:
            raise EmulationError(f"MSHookFunction of {function:#x}, which is no import")
        self.events.add(hook_function=name[1:])
        self.hooked_functions[function] = replacement
        stock = self.stock_functions.get(name[1:])
        if stock is None:
            raise EmulationError(f"MSHookFunction of {name[1:]}, which has no stock version")
        if slot:
            self.machine.write_word(slot, self.machine.trap(f"stock {name[1:]}", stock))

    def _hook_message(self, cls_address, sel, replacement, slot):
        """As the hooking library does: a method the class defines gets the replacement and
        the slot its old implementation; an inherited one gets the replacement added to the
        class and a forwarder to the superclass's implementation in the slot."""
        cls, selector = self.runtime.class_at(cls_address), self.runtime.selector_name(sel)
        self.events.add(hook_message=cls.name, meta=cls.is_meta, selector=selector)
        method = cls.find(selector)
        if method is None:
            return
        self.method_replacements[(cls.name, cls.is_meta, selector)] = replacement
        if selector in cls.methods:
            old = method.imp
            method.imp = replacement
        else:
            old = self.machine.trap(f"forwarder {cls.label()}[{selector}]",
                                    lambda: cls.superclass.find(selector).imp)
            self.runtime.add_method(cls, selector, replacement, method.types)
        if slot:
            self.machine.write_word(slot, old)

    def _core_foundation_imports(self):
        self.raw_function("CFLog", self._log)
        self.function("CFEqual", "B@@", self._equal)
        self.darwin_center = self.runtime.new_object(self.NSObject)
        self.function("CFNotificationCenterGetDarwinNotifyCenter", "^v",
                      lambda: self.darwin_center)
        self.function("CFNotificationCenterAddObserver", "v^v^v^v@^v" + self.abi.long,
                      self._add_observer)
        self.function("CFNotificationCenterPostNotification", "v^v@^v^vB", self._post)
        self.function("CFStringCreateWithCString", "@^v*I",
                      lambda allocator, text, encoding: self.string(
                          self.machine.read_c_string(text)))
        self.function("CFStringCreateWithBytes", f"@^v^v{self.abi.long}IB",
                      self._string_from_bytes)
        self.data["___CFConstantStringClassReference"] = self.constant_string.address
        self.cell("kCFCoreFoundationVersionNumber", struct.pack("<d", self.system["cf"]))
        self.cell("NSFoundationVersionNumber", struct.pack("<d", self.system["foundation"]))
        self.function("NSClassFromString", "#@", lambda name: (
            getattr(self.runtime.lookup(self.text_of(name)), "address", 0)))
        self.function("NSStringFromSelector", "@:",
                      lambda sel: self.string(self.runtime.selector_name(sel)))
        word = self.abi.word_format
        for name, text in (("AVMediaTypeVideo", "vide"),
                           ("AVAssetExportPresetPassthrough", "AVAssetExportPresetPassthrough"),
                           ("NSFontAttributeName", "NSFont"),
                           ("UIApplicationDidChangeStatusBarOrientationNotification",
                            "UIApplicationDidChangeStatusBarOrientationNotification")):
            self.cell(name, struct.pack("<" + word, self.string(text)))

    def _string_from_bytes(self, allocator, characters, length, encoding, external):
        try:
            return self.string(self.machine.read(characters, length).decode("utf-8"))
        except UnicodeDecodeError:
            return 0

    def _equal(self, first, second):
        if first == second:
            return True
        if self.is_string(first) and self.is_string(second):
            return self.text_of(first) == self.text_of(second)
        return False

    def _post(self, center, name, sender, user_info, immediately):
        self.events.add(post=self.text_of(name))

    def _add_observer(self, center, observer, callback, name, suspension_object, behaviour):
        # The fifth argument is the object (NULL); the behaviour is the sixth.
        self.events.add(observe=self.text_of(name), suspension=behaviour)
        self.observers.append((callback, name))

    def _log(self):
        level, fmt = self.abi.read_arguments(["i", "@"])
        line = format_log(self.text_of(fmt), self.abi.variadic_reader(2, ["i", "@"]), self)
        self.events.add(log=line, level=level)

    def _media_imports(self):
        # The host's answers: whatever the case's host gives as the stock function.
        self.raw_function("MGGetBoolAnswer", lambda: self.stock_functions["MGGetBoolAnswer"]())
        self.function("CMTimeMake", CMTIME + "qi", self._time_make_stock)
        self.stock_functions["CMTimeMake"] = self._recording_time_make
        self.function("CMTimeCompare", "i" + CMTIME + CMTIME, compare_times)
        self.function("CMVideoFormatDescriptionGetDimensions", "{CMVideoDimensions=ii}^v",
                      lambda description: self.runtime.value_of(description))

    @staticmethod
    def _time_make_stock(value, timescale):
        return (value, timescale, CMTIME_VALID, 0)

    def _recording_time_make(self):
        value, timescale = self.abi.read_arguments(["q", "i"], result_type=CMTIME)
        self.events.add(original="CMTimeMake", args=[{"int64": value}, {"int": timescale}])
        self.abi.write_result(CMTIME, self._time_make_stock(value, timescale))

    def _system_imports(self):
        machine, word = self.machine, self.abi.word_format
        size, long = self.abi.unsigned_long, self.abi.long  # size_t, long
        self.functions["dyld_stub_binder"] = self._lazy_binding  # its name has no underscore
        home = machine.c_string("HOME=/var/mobile")
        environment = machine.store(struct.pack("<" + word * 2, home, 0))
        environ_cell = machine.store(struct.pack("<" + word, environment))
        self.function("_NSGetEnviron", "^v", lambda: environ_cell)
        self.function("__cxa_atexit", "i^v^v^v", lambda function, argument, image: 0)
        errno_cell = machine.allocate(8)
        self.function("__error", "^v", lambda: errno_cell)
        self.function("__stack_chk_fail", "v", self._stack_smashed)
        self.cell("__stack_chk_guard", struct.pack("<" + word, 0x5EED5EED5EED5EED & (
            (1 << 8 * self.abi.word) - 1)))
        self.cell("_dispatch_main_q", bytes(128))
        self.cell("_NSConcreteStackBlock", bytes(32))
        self.function("abort", "v", self._abort)
        self.function("access", "i*i", lambda path, mode: 0 if machine.read_c_string(path) in (
            "/bin/sh",) else -1)
        self.function("dispatch_async_f", "v^v^v^v",
                      lambda queue, context, work: self.pending.append((work, context)))
        self.function("dispatch_after_f", "vQ^v^v^v",
                      lambda when, queue, context, work: self.pending.append((work, context)))
        self.function("dispatch_get_global_queue", "^v" + long + size,
                      lambda priority, flags: machine.store(bytes(64)))
        self.function("dispatch_time", "QQq", lambda when, delta: when + delta)
        self.function("memcpy", "^v^v^v" + size, self._copy)
        self.function("memset", "^v^vi" + size, lambda destination, byte, count: (
            machine.write(destination, bytes([byte & 0xFF]) * count), destination)[1])
        self.function("memcmp", "i^v^v" + size, lambda a, b, count: (
            (machine.read(a, count) > machine.read(b, count)) -
            (machine.read(a, count) < machine.read(b, count))))
        self.function("strlen", size + "*", lambda text: len(machine.read_c_string(text, 1 << 20)))
        self.function("posix_spawn", "i^v*^v^v^v^v", self._spawn)
        self.function("waitpid", "ii^vi", self._wait)

    def _copy(self, destination, source, size):
        self.machine.write(destination, self.machine.read(source, size))
        return destination

    @staticmethod
    def _stack_smashed():
        raise EmulationError("__stack_chk_fail: the stack guard was overwritten")

    @staticmethod
    def _lazy_binding():
        raise EmulationError("dyld_stub_binder is called, but every import was bound at load")

    @staticmethod
    def _abort():
        raise EmulationError("abort() was called")

    def _spawn(self, pid, path, actions, attributes, argv, environment):
        arguments, at = [], argv
        while self.machine.word(at):
            arguments.append(self.machine.read_c_string(self.machine.word(at)))
            at += self.abi.word
        path = self.machine.read_c_string(path)
        if path != "/bin/sh" or arguments[:2] != ["sh", "-c"] or len(arguments) != 3:
            raise EmulationError(f"posix_spawn of {path} {arguments}: not a shell command")
        self.events.add(system=arguments[2])
        self.spawned.append(arguments[2])
        if pid:
            self.machine.write(pid, struct.pack("<i", 4242 + len(self.spawned)))
        return 0

    def _wait(self, pid, status, options):
        if not self.spawned or pid != 4242 + len(self.spawned):
            raise EmulationError(f"waitpid({pid}) for no child the library started")
        if status:
            self.machine.write(status, struct.pack("<i", 0))
        return pid

    def _cxx_imports(self):
        machine = self.machine
        for name in ("_ZNSt3__15mutex4lockEv", "_ZNSt3__15mutex6unlockEv",
                     "_ZNSt3__15mutexD1Ev", "_ZdlPv"):
            self.function(name, "v^v", lambda pointer: None)
        self.function("_Znwm", "^v" + self.abi.unsigned_long, lambda size: machine.allocate(size))
        self.function("__cxa_guard_acquire", "i^v", lambda guard: 1 - machine.read(guard, 1)[0])
        self.function("__cxa_guard_release", "v^v", lambda guard: machine.write(guard, b"\1"))

    def _compiler_runtime_imports(self):
        """What armv7 code calls for conversions that arm64 does in one instruction, and sine
        and cosine at once; out-of-range conversions saturate, NaN gives zero."""
        self.function("__fixdfdi", "qd", lambda value: to_integer(value, 64))
        self.function("__fixunsdfdi", "Qd", lambda value: to_unsigned(value, 64))
        self.function("__floatdidf", "dq", float)
        self.function("__floatundidf", "dQ", float)
        self.function("__floatundisf", "fQ", float)
        self.function("__sincosf_stret", "{__float2=ff}f",
                      lambda angle: (math.sin(angle), math.cos(angle)))
        self.function("trunc", "dd", lambda value: math.trunc(value) if math.isfinite(value)
                      else value)
        self.function("roundf", "ff", round_half_away)

    # --- Running queued work -------------------------------------------------------------

    def drain(self):
        while self.pending:
            work, context = self.pending.pop(0)
            self.machine.call(work, [context], ["^v"])


def round_half_away(value):
    """C's round: halfway cases away from zero."""
    if not math.isfinite(value):
        return value
    return math.copysign(math.floor(abs(value) + 0.5), value)


def compare_times(first, second):
    (v1, t1, f1, _), (v2, t2, f2, _) = first, second
    if not (f1 & CMTIME_VALID and f2 & CMTIME_VALID):
        return (f1 & CMTIME_VALID) - (f2 & CMTIME_VALID)
    left, right = v1 * t2, v2 * t1
    return (left > right) - (left < right)
