"""One case of the emulated run on one library: a fresh CPU and memory, the case's host and
settings file, the image mapped and bound, its classes realised, its constructor run, then the
case's steps. Answers the events, in the form the Linux reference prints them.
"""
import os
import plistlib
import tempfile

from classes import realise_classes
from host import Host
from loader import map_image, pointer_list, run_constructors
from machine import EmulationError, Machine
from world import Events, World

SETTINGS_PATH = "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist"
NOTIFICATION = "com.Tovi.Halvenor.prefs"

# The oldest system each library loads on, as the version numbers it reads.
SYSTEMS = {"QuorvaneiOS8": {"cf": 1140.10, "foundation": 1140.11},
           "QuorvaneiOS7": {"cf": 847.20, "foundation": 1047.20}}


class SandboxFiles:
    """The device's file system, under a folder of its own."""

    def __init__(self, root):
        self.root = root
        os.makedirs(self.path(os.path.dirname(SETTINGS_PATH)), exist_ok=True)  # as on a device

    def path(self, device_path):
        return os.path.join(self.root, device_path.lstrip("/"))

    def write(self, device_path, spec):
        path = self.path(device_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if spec is None:
            if os.path.exists(path):
                os.remove(path)
            return
        (form, content), = spec.items()
        if form == "raw":
            raw = content.encode()
        else:
            values = {key: _plist_value(value) for key, value in content.items()}
            raw = plistlib.dumps(values, fmt=plistlib.FMT_XML if form == "xml"
                                 else plistlib.FMT_BINARY)
        with open(path, "wb") as file:
            file.write(raw)


def _plist_value(typed):
    (kind, value), = typed.items()
    return {"bool": bool, "integer": int, "real": float, "string": str}[kind](value)


class CallStep:
    def __init__(self, spec, abi):
        self.spec = spec
        self.target = next(key for key in ("function", "method", "class_method", "export")
                           if key in spec)
        where = spec[self.target]
        self.class_name, self.selector = (where if isinstance(where, list) else (None, where))
        self.arguments = spec.get("args", [])
        self.argument_names = [_kind(argument) for argument in self.arguments]
        self.returns = spec.get("returns")
        self.stock = spec.get("stock", {})
        self.abi = abi

    def encodings(self):
        return [self.abi.value_types[name] for name in self.argument_names]

    def result_encoding(self):
        return self.abi.value_types[self.returns] if self.returns else "v"


def _kind(typed):
    return "object" if typed is None else next(iter(typed))


class Session:
    def __init__(self, abi_class, image, library, table, case):
        self.library, self.table, self.case = library, table, case
        self.events = Events()
        self.machine = Machine(abi_class)
        self.abi = self.machine.abi
        self.folder = tempfile.TemporaryDirectory(prefix="quorvane-emulation-")
        self.files = SandboxFiles(self.folder.name)
        self.world = World(self.machine, self.events, SYSTEMS[library], self.files)
        self.host = Host(self.world, table, case.get("host"))
        self.image = image
        self.constructor_instructions = 0

    def run(self):
        try:
            self.files.write(SETTINGS_PATH, self.case.get("settings"))
            self._start()
            for step in self.case.get("steps", []):
                self._take(step)
        finally:
            self.folder.cleanup()
        return self.events.items

    def _start(self):
        loaded = map_image(self.machine, self.image, self.library, self.world.resolve)
        self.loaded = loaded
        if "_noHigh" in self.image.exports:
            self.host.noHigh = loaded.export("_noHigh")
        for selref in pointer_list(self.machine, loaded, "__DATA", "__objc_selrefs"):
            raise EmulationError(f"the image has selector references ({selref:#x}), which "
                                 f"the emulation does not unique")
        realise_classes(self.machine, self.world.runtime, loaded)
        self.machine.count_instructions(loaded.base, loaded.end)
        run_constructors(self.machine, loaded)
        self.constructor_instructions = self.machine.instructions
        self.constructor_imports = set(self.world.touched)
        self.world.drain()

    # --- Steps --------------------------------------------------------------------------

    def _take(self, step):
        if "camera" in step:
            self.host.set_camera(step["camera"])
        elif "settings" in step:
            self.files.write(SETTINGS_PATH, step["settings"])
        elif "notify" in step:
            self._notify()
        elif "call" in step:
            self._call(CallStep(step["call"], self.abi))
        else:
            raise EmulationError(f"a step of no known kind: {sorted(step)}")
        self.world.drain()

    def _notify(self):
        for callback, name in self.world.observers:
            if self.world.text_of(name) == NOTIFICATION:
                self.machine.call(callback, [self.world.darwin_center, 0, name, 0, 0],
                                  ["^v", "^v", "@", "^v", "^v"])

    def _call(self, step):
        target = self._target(step)
        if target is None:
            return
        address, receiver = target
        self.host.step = step
        if step.spec.get("self"):
            self.world.runtime.answers[receiver] = {
                selector: (self.abi.value_types[_kind(typed)], next(iter(typed.values())))
                for selector, typed in step.spec["self"].items()}
        arguments = [self.host.value(typed, encoding)
                     for typed, encoding in zip(step.arguments, step.encodings())]
        encodings = step.encodings()
        if receiver is not None:
            arguments = [receiver, self.world.runtime.selector(step.selector)] + arguments
            encodings = ["@", ":"] + encodings
        result = self.machine.call(address, arguments, encodings, step.result_encoding())
        self.host.step = None
        if step.returns:
            self.events.add(result=self.host.typed(step.returns, result))

    def _target(self, step):
        """The replacement to call and its receiver, or None when this library's table hooks
        nothing of the kind."""
        world = self.world
        if step.target == "export":
            return self.loaded.export("_" + step.selector), None
        if step.target == "function":
            if step.selector not in self.table["functions"]:
                return None
            trap = world.import_trap("_" + step.selector)
            if trap not in world.hooked_functions:
                raise EmulationError(f"{step.selector} was not hooked")
            return world.hooked_functions[trap], None
        meta = step.target == "class_method"
        if not any(group["class"] == step.class_name and row["selector"] == step.selector and
                   (row["kind"] == "class") == meta
                   for group in self.table["groups"] for row in group["rows"]):
            return None
        key = (step.class_name, meta, step.selector)
        if key not in world.method_replacements:
            raise EmulationError(f"{step.class_name} {step.selector} was not hooked")
        cls = world.runtime.lookup(step.class_name)
        receiver = cls.address if meta else self.host.label(
            world.runtime.new_object(cls), "self")
        return world.method_replacements[key], receiver
