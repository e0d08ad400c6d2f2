"""The settings pane's own code, run as shipped: the bundle's executable mapped like a library,
its principal class realised on an emulated PSListController, and its three methods called
on real settings files (XML and binary, with other keys and an unknown one, missing and
malformed). Each check states what a person changing a setting relies on.
"""
import os
import plistlib
import tempfile

from classes import realise_classes
from loader import map_image
from machine import EmulationError, Machine
from session import SETTINGS_PATH, SandboxFiles, SYSTEMS
from world import Events, World

PANE_FOLDER = "Library/PreferenceBundles/HalvenorSettings.bundle/"
NOTIFICATION = "com.Tovi.Halvenor.prefs"
# PSListController's instance size and its _specifiers ivar, by architecture: its ivars are
# pointers, half as wide on armv7.
PS_LIST_CONTROLLER_SIZES = {"arm64": 0x1A0, "armv7": 0xD0}
SPECIFIERS_OFFSETS = {"arm64": 0x160, "armv7": 0xB0}


class Pane:
    """One fresh run of the bundle: its controller, on a PSListController of Preferences."""

    def __init__(self, architecture, image, files, folder):
        self.events = Events()
        self.machine = Machine(architecture)
        self.files = SandboxFiles(folder)
        self.world = World(self.machine, self.events, SYSTEMS["QuorvaneiOS8"], self.files)
        self._define_preferences(files)
        loaded = map_image(self.machine, image, "HalvenorSettings", self.world.resolve)
        realise_classes(self.machine, self.world.runtime, loaded)
        info = plistlib.loads(files[PANE_FOLDER + "Info.plist"])
        cls = self.world.runtime.lookup(info["NSPrincipalClass"])
        if cls is None or cls.superclass is not self.PSListController:
            raise EmulationError(f"the principal class {info['NSPrincipalClass']} is no "
                                 f"PSListController the bundle declares")
        self.controller = self.world.runtime.new_object(cls)
        self.loads = 0

    def _define_preferences(self, files):
        rt, world, abi = self.world.runtime, self.world, self.machine.abi
        self.PSListController = rt.define_class("PSListController", world.NSObject,
                                                PS_LIST_CONTROLLER_SIZES[abi.name])
        handle, offset = self.machine.allocate(32), SPECIFIERS_OFFSETS[abi.name]
        self.PSListController.ivars["_specifiers"] = (offset, "@", abi.word, handle)
        rt.ivars_by_handle[handle] = self.PSListController.ivars["_specifiers"]
        world.data["_OBJC_CLASS_$_PSListController"] = self.PSListController.address
        world.data["_OBJC_METACLASS_$_PSListController"] = self.PSListController.meta.address
        world.cell("OBJC_IVAR_$_PSListController._specifiers",
                   offset.to_bytes(abi.word, "little"))
        specifier = rt.define_class("PSSpecifier", world.NSObject)
        rt.implement(specifier, "propertyForKey:", "@@:@", lambda receiver, key: (
            rt.value_of(receiver).get(world.text_of(key), 0)))
        items = plistlib.loads(files[PANE_FOLDER + "Qel.plist"])["items"]
        self.specifiers = {item["key"]: rt.new_object(specifier, {
            name: world.object_from_plist(value) for name, value in item.items()})
            for item in items if "key" in item}

        def load(receiver, name, target):
            self.loads += 1
            if world.text_of(name) != "Qel" or target != receiver:
                raise EmulationError("the pane loads another specifier list than Qel")
            return world.array(self.specifiers.values())
        rt.implement(self.PSListController, "loadSpecifiersFromPlistName:target:", "@@:@@", load)

    def send(self, selector, arguments, types="@"):
        cls = self.world.runtime.class_of(self.controller)
        method = cls.find(selector)
        if method is None or selector not in cls.methods:
            raise EmulationError(f"the pane's class does not implement {selector}")
        return self.machine.call(method.imp, [self.controller, self.world.runtime.selector(
            selector)] + arguments, ["@", ":"] + ["@"] * len(arguments), types)

    def read(self, key):
        return self.send("readPreferenceValue:", [self.specifiers[key]])

    def default(self, key):
        return self.world.runtime.value_of(self.specifiers[key])["default"]

    def write(self, key, value):
        self.send("setPreferenceValue:specifier:", [value, self.specifiers[key]], "v")


OTHER_KEYS = {"EnableSlalom": True, "rate": 0.5, "aFPS": "90", "mailMax": 1,
              "SomethingElse": [1, "two"]}


def _write_settings(files, form, values=None, raw=None):
    path = files.path(SETTINGS_PATH)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(raw if raw is not None else plistlib.dumps(values, fmt=form))


def check(architecture, image, files):
    """The pane's behaviour, as failures in one line each (none when it holds)."""
    with tempfile.TemporaryDirectory(prefix="quorvane-pane-") as folder:
        return _check(architecture, image, files, folder)


def _check(architecture, image, files, root):
    failures, runs = [], iter(range(1000))

    def expect(condition, what):
        if not condition:
            failures.append(what)

    def fresh(form=None, values=None, raw=None):
        pane = Pane(architecture, image, files, os.path.join(root, str(next(runs))))
        if form is not None or raw is not None:
            _write_settings(pane.files, form, values, raw)
        return pane

    def on_disk(pane):
        with open(pane.files.path(SETTINGS_PATH), "rb") as file:
            return plistlib.load(file)

    for name, form in (("XML", plistlib.FMT_XML), ("binary", plistlib.FMT_BINARY)):
        pane = fresh(form, dict(OTHER_KEYS, MogulFramerate=120))
        pane.write("MogulFramerate", pane.world.string("240"))
        written = on_disk(pane)
        expect(written.get("MogulFramerate") == "240", f"{name}: the new value is not written")
        for key, value in OTHER_KEYS.items():
            expect(written.get(key) == value and type(written.get(key)) is type(value),
                   f"{name}: {key} lost its value or type ({written.get(key)!r})")
        kinds = [next(iter(e)) for e in pane.events.items if next(iter(e)) in ("write", "post")]
        expect(kinds == ["write", "post"], f"{name}: not written before it is posted: {kinds}")
        expect({"write": SETTINGS_PATH, "atomically": True} in pane.events.items,
               f"{name}: the file is not written atomically")
        expect({"post": NOTIFICATION} in pane.events.items, f"{name}: no {NOTIFICATION}")

    pane = fresh(plistlib.FMT_XML, {"MogulFramerate": 120, "rate": [0.5]})
    expect(pane.world.runtime.value_of(pane.read("MogulFramerate")) == ("number", 120),
           "a present value is not read")
    expect(pane.read("rate") == pane.default("rate"),
           "a value of another type does not give the default")
    expect(pane.read("aFPS") == pane.default("aFPS"), "an absent key does not give the default")
    first, second = (pane.send("specifiers", []) for _ in range(2))
    expect(first == second and pane.loads == 1, "the specifiers are not loaded once")

    for name, raw in (("missing", None), ("malformed", b"<plist><dict><key>rate")):
        pane = fresh(raw=raw) if raw else fresh()
        expect(pane.read("rate") == pane.default("rate"), f"a {name} file does not give the default")
        pane.write("rate", pane.world.string("0.5"))
        expect(on_disk(pane) == {"rate": "0.5"}, f"a {name} file is not replaced by a valid "
                                                 f"one with that key: {on_disk(pane)!r}")
    return failures
