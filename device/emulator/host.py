"""The host app of one case: the classes of the library's hook table that the case's shape
keeps, each selector with a stock implementation that records its call, and the objects the
case's steps hand to the replacements (the back camera, its formats and ranges, an export
session).
"""
import struct

from abi import split_encoding
from machine import EmulationError
from world import CMTIME, CMTIME_VALID

PLATFORM_CLASSES = {"NSUserDefaults"}

# The case file's value types, by the encodings the hook table spells them with.
_NAMES_OF_ENCODINGS = {"B": "bool", "C": "bool", "c": "bool", "i": "int", "I": "int", "q": "long",
                       "Q": "uint64", "f": "float", "d": "double", CMTIME: "time", "@": "object"}


def replaced_methods(table, abi):
    """(class, is class method, selector, types) of every replaced row, in table order, the
    types as the architecture spells them."""
    return [(group["class"], row["kind"] == "class", row["selector"],
             abi.spell(row["types"], row["selector"]))
            for group in table["groups"] for row in group["rows"] if row["kind"] != "added"]


class Shape:
    """Which classes and selectors a host has, and which it only inherits."""

    def __init__(self, table, spec, abi):
        self.methods = replaced_methods(table, abi)
        if spec == "every" or spec is None:
            spec = {}
        elif spec == "none":
            spec = {"omit": [group["class"] for group in table["groups"]]}
        self.omitted = set(spec.get("omit", []))
        self.missing = {tuple(pair) for pair in spec.get("omit_selectors", [])}
        self.inherited = {tuple(pair) for pair in spec.get("inherited", [])}
        every = dict.fromkeys(group["class"] for group in table["groups"])
        self.classes = [name for name in every
                        if name not in self.omitted and name not in PLATFORM_CLASSES]


class Host:
    def __init__(self, world, table, spec):
        self.world, self.runtime, self.machine = world, world.runtime, world.machine
        self.abi = world.abi
        self.step = None  # the call step being taken
        self.classes = {}
        shape = Shape(table, spec, self.abi)
        for name in shape.classes:
            self._define(name, shape)
        world.stock_functions["MGGetBoolAnswer"] = self._stock_gestalt
        self._define_media_classes()
        self.device = 0

    # --- Host classes -------------------------------------------------------------------

    def _define(self, name, shape):
        base = None
        if any(cls == name for cls, _ in shape.inherited):
            base = self.runtime.define_class(name + "Base", self.world.NSObject)
        cls = self.runtime.define_class(name, base or self.world.NSObject)
        self.classes[name] = cls
        for owner, is_class, selector, types in shape.methods:
            if owner != name or (name, selector) in shape.missing:
                continue
            target = base if (name, selector) in shape.inherited else cls
            target = target.meta if is_class else target
            imp = self.machine.trap(f"stock {target.label()}[{selector}]",
                                    self._stock(target, selector, types))
            self.runtime.add_method(target, selector, imp, types)

    def _stock(self, cls, selector, types):
        result_type, table_arguments = split_encoding(types)

        def enter():
            step = self.step if self.step and self.step.selector == selector else None
            names = step.argument_names if step else [
                _NAMES_OF_ENCODINGS.get(t, "object") for t in table_arguments[2:]]
            encodings = ["@", ":"] + [self.abi.value_types[n] for n in names]
            arguments = self.abi.read_arguments(encodings, result_type=result_type)[2:]
            owner = step.class_name if step else cls.name
            kind = "+" if cls.is_meta else "-"
            self.world.events.add(original=f"{kind}[{owner} {selector}]", args=[
                self.typed(name, value) for name, value in zip(names, arguments)])
            if step and "make_time" in step.stock:
                self._make_time(*step.stock["make_time"])
            answer = step.stock.get("answers") if step else None
            self.abi.write_result(result_type, self.value(answer, result_type))
        return enter

    def _make_time(self, value, timescale):
        """What the host's configuration does: a frame duration made with CMTimeMake, which
        reaches the library's replacement while it is hooked."""
        made = self.machine.call(self.world.import_trap("_CMTimeMake"), [value, timescale],
                                 ["q", "i"], CMTIME)
        no_high = self.machine.read(self.noHigh, 1)[0] != 0 if self.noHigh else None
        self.world.events.add(made_time={"time": list(made)}, noHigh=no_high)

    def _stock_gestalt(self):
        question = self.abi.read_arguments(["@"])[0]
        self.world.events.add(original="MGGetBoolAnswer",
                              args=[{"string": self.world.text_of(question)}])
        asked = self.step and self.step.selector == "MGGetBoolAnswer"
        answer = self.step.stock.get("answers") if asked else None
        self.abi.write_result("B", self.value(answer, "B"))

    noHigh = 0  # the library's exported flag, once it is mapped

    # --- Media objects ------------------------------------------------------------------

    def _define_media_classes(self):
        rt, world = self.runtime, self.world
        device = rt.define_class("AVCaptureDevice", world.NSObject)
        rt.implement(device.meta, "defaultDeviceWithMediaType:", "@@:@", lambda cls, media: (
            self.device if world.text_of(media) == "vide" else 0))
        rt.implement(device, "formats", "@@:", lambda receiver: rt.value_of(receiver))
        self.Device = device
        fmt = rt.define_class("AVCaptureDeviceFormat", world.NSObject)
        rt.implement(fmt, "mediaType", "@@:", lambda receiver: rt.value_of(receiver)["media"])
        rt.implement(fmt, "videoSupportedFrameRateRanges", "@@:",
                     lambda receiver: rt.value_of(receiver)["ranges"])
        rt.implement(fmt, "formatDescription", "^v@:",
                     lambda receiver: rt.value_of(receiver)["description"])
        self.Format = fmt
        span = rt.define_class("AVFrameRateRange", world.NSObject)
        rt.implement(span, "minFrameRate", "d@:", lambda receiver: float(rt.value_of(receiver)[0]))
        rt.implement(span, "maxFrameRate", "d@:", lambda receiver: float(rt.value_of(receiver)[1]))
        rt.implement(span, "minFrameDuration", CMTIME + "@:",
                     lambda receiver: (1, int(rt.value_of(receiver)[1]), CMTIME_VALID, 0))
        rt.implement(span, "maxFrameDuration", CMTIME + "@:",
                     lambda receiver: (1, int(rt.value_of(receiver)[0]), CMTIME_VALID, 0))
        self.Range = span
        session = rt.define_class("AVAssetExportSession", world.NSObject)
        rt.implement(session, "setMinVideoFrameDuration:", "v@:" + CMTIME,
                     lambda receiver, time: world.events.add(
                         send="setMinVideoFrameDuration:", to="session",
                         args=[{"time": list(time)}]))
        self.session = self.label(rt.new_object(session), "session")

    def set_camera(self, formats):
        if formats is None or formats == "none":
            self.device = 0
            return
        rt, world = self.runtime, self.world
        objects = []
        for i, spec in enumerate(formats):
            ranges = [self.label(rt.new_object(self.Range, tuple(pair)), f"range {i}.{j}")
                      for j, pair in enumerate(spec["ranges"])]
            description = rt.new_object(world.NSObject, (spec["width"], spec["height"]))
            objects.append(self.label(rt.new_object(self.Format, {
                "media": world.string(spec["media"]), "ranges": world.array(ranges),
                "description": description}), f"format {i}"))
        self.device = self.label(rt.new_object(self.Device, world.array(objects)), "device")

    def label(self, address, name):
        self.world.labels[address] = name
        self.world.labels[name] = address
        return address

    # --- Typed values -------------------------------------------------------------------

    def value(self, typed, encoding):
        """The emulated value of a typed value of the case file (zero when absent)."""
        if typed is None:
            return 0.0 if encoding in "fd" else (False if encoding == "B" else (
                (0, 0, 0, 0) if encoding == CMTIME else 0))
        (kind, value), = typed.items()
        if kind == "string":
            return self.world.string(value)
        if kind == "object":
            if value not in self.world.labels:
                raise EmulationError(f"no object labelled {value!r}")
            return self.world.labels[value]
        if kind == "time":
            return (value[0], value[1], CMTIME_VALID, 0)
        if kind in ("float", "double"):
            return float(value)
        return value

    def typed(self, name, value):
        """A value as the case file writes it, for the events."""
        if name == "object" or name == "string":
            if value == 0:
                return None
            if self.world.is_string(value):
                return {"string": self.world.text_of(value)}
            label = self.world.labels.get(value)
            cls = self.runtime.class_of(value)
            return {"object": label if label else f"an unnamed {cls.name}"}
        if name == "time":
            return {"time": list(value)}
        if name == "float":
            return {"float": struct.unpack("<f", struct.pack("<f", value))[0]}
        if name == "bool":
            return {"bool": bool(value)}
        return {name: value}
