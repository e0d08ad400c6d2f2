"""Foundation's few classes as the libraries and the pane use them, emulated: strings (made at
run time and the compiler's constant ones), numbers, dictionaries read from and written to
property-list files, arrays, and the root class's messages; and how Foundation reads numbers
and truth out of text and formats a log line.
"""
import os
import plistlib
import re
from xml.parsers.expat import ExpatError

from machine import EmulationError

# UIView's ivars on iOS 8 end past 400 bytes on arm64; most are pointers, half as wide on armv7.
UIVIEW_INSTANCE_SIZES = {"arm64": 0x1B0, "armv7": 0xE0}


class FoundationObjects:
    """The Foundation half of the emulated world: needs `runtime`, `machine`, `events` and
    `files`."""

    # --- Values -------------------------------------------------------------------------

    def string(self, text):
        return self.runtime.new_object(self.NSString, text)

    def text_of(self, address):
        if address == 0:
            return None
        value = self.runtime.value_of(address)
        if isinstance(value, str):
            return value
        cls = self.runtime.class_of(address)
        if cls is self.constant_string:
            characters = self.machine.word(address + 2 * self.abi.word)
            length = self.machine.word(address + 3 * self.abi.word)
            return self.machine.read(characters, length).decode("utf-8", "replace")
        return None

    def is_string(self, address):
        return address != 0 and self.text_of(address) is not None

    def number(self, value):
        return self.runtime.new_object(self.NSNumber, ("number", value))

    def object_from_plist(self, value):
        if isinstance(value, dict):
            return self.runtime.new_object(self.NSDictionary, {
                key: self.object_from_plist(item) for key, item in value.items()})
        if isinstance(value, list):
            return self.runtime.new_object(self.NSArray,
                                           [self.object_from_plist(item) for item in value])
        if isinstance(value, str):
            return self.string(value)
        if isinstance(value, (bool, int, float)):
            return self.number(value)
        return self.runtime.new_object(self.NSData if isinstance(value, bytes) else self.NSDate,
                                       ("opaque", value))

    def array(self, elements):
        return self.runtime.new_object(self.NSArray, list(elements))

    def describe(self, address):
        if address == 0:
            return "(null)"
        text = self.text_of(address)
        if text is not None:
            return text
        value = self.runtime.value_of(address)
        if isinstance(value, tuple) and value[0] == "number":
            number = value[1]
            return str(int(number)) if isinstance(number, bool) else str(number)
        cls = self.runtime.class_of(address)
        return f"<{cls.name}: {address:#x}>"

    # --- Classes ------------------------------------------------------------------------

    def _define_classes(self):
        rt = self.runtime
        self.NSObject = rt.define_class("NSObject")
        self._root_methods(self.NSObject)
        self.NSString = rt.define_class("NSString", self.NSObject)
        self._string_methods(self.NSString)
        self.constant_string = rt.define_class("__NSCFConstantString", self.NSString)
        self.NSNumber = rt.define_class("NSNumber", self.NSObject)
        self._number_methods(self.NSNumber)
        self.NSDictionary = rt.define_class("NSDictionary", self.NSObject)
        self._dictionary_methods(self.NSDictionary)
        self.NSMutableDictionary = rt.define_class("NSMutableDictionary", self.NSDictionary)
        self._mutable_dictionary_methods(self.NSMutableDictionary)
        self.NSArray = rt.define_class("NSArray", self.NSObject)
        self._array_methods(self.NSArray)
        self.NSData = rt.define_class("NSData", self.NSObject)
        self.NSDate = rt.define_class("NSDate", self.NSObject)
        pool = rt.define_class("NSAutoreleasePool", self.NSObject)
        rt.implement(pool, "drain", "v@:", lambda receiver: None)
        self.UIView = rt.define_class("UIView", self.NSObject, UIVIEW_INSTANCE_SIZES[self.abi.name])
        defaults = rt.define_class("NSUserDefaults", self.NSObject)
        rt.implement(defaults, "boolForKey:", "B@:@", lambda receiver, key: False)

    def _root_methods(self, root):
        rt = self.runtime
        rt.implement(root.meta, "alloc", "@@:", lambda cls: rt.new_object(rt.class_at(cls)))
        for name in ("init", "retain", "autorelease"):
            rt.implement(root, name, "@@:", lambda receiver: receiver)
        rt.implement(root, "release", "v@:", lambda receiver: None)
        rt.implement(root, "class", "#@:", lambda receiver: rt.class_of(receiver).address)
        rt.implement(root, "isKindOfClass:", "B@:#", self._is_kind_of)
        rt.implement(root, "respondsToSelector:", "B@::", lambda receiver, selector: (
            rt.class_of(receiver).find(rt.selector_name(selector)) is not None))
        rt.implement(root, "isEqual:", "B@:@", lambda receiver, other: receiver == other)
        rt.implement(root, "description", "@@:",
                     lambda receiver: self.string(self.describe(receiver)))

    def _is_kind_of(self, receiver, cls_address):
        cls = self.runtime.class_of(receiver)
        while cls is not None:
            if cls.address == cls_address:
                return True
            cls = cls.superclass
        return False

    def _string_methods(self, cls):
        rt, long, bits = self.runtime, self.abi.long, 8 * self.abi.word
        rt.implement(cls, "UTF8String", "*@:",
                     lambda receiver: self.machine.c_string(self.text_of(receiver)))
        rt.implement(cls, "length", self.abi.unsigned_long + "@:",
                     lambda receiver: len(self.text_of(receiver)))
        rt.implement(cls, "isEqualToString:", "B@:@", lambda receiver, other: (
            self.text_of(receiver) == self.text_of(other)))
        rt.implement(cls, "isEqual:", "B@:@", lambda receiver, other: (
            self.is_string(other) and self.text_of(receiver) == self.text_of(other)))
        rt.implement(cls, "hasPrefix:", "B@:@", lambda receiver, prefix: (
            self.text_of(prefix) != "" and self.text_of(receiver).startswith(
                self.text_of(prefix))))
        rt.implement(cls, "description", "@@:", lambda receiver: receiver)
        rt.implement(cls, "boolValue", "B@:", lambda receiver: read_bool(self.text_of(receiver)))
        rt.implement(cls, "intValue", "i@:",
                     lambda receiver: read_integer(self.text_of(receiver), 32))
        rt.implement(cls, "integerValue", long + "@:",
                     lambda receiver: read_integer(self.text_of(receiver), bits))
        rt.implement(cls, "doubleValue", "d@:", lambda receiver: read_double(self.text_of(receiver)))
        rt.implement(cls, "floatValue", "f@:", lambda receiver: read_double(self.text_of(receiver)))

    def _number_methods(self, cls):
        rt, long, bits = self.runtime, self.abi.long, 8 * self.abi.word

        def value(receiver):
            return rt.value_of(receiver)[1]
        rt.implement(cls, "boolValue", "B@:", lambda receiver: value(receiver) != 0)
        rt.implement(cls, "intValue", "i@:", lambda receiver: to_integer(value(receiver), 32))
        rt.implement(cls, "integerValue", long + "@:",
                     lambda receiver: to_integer(value(receiver), bits))
        rt.implement(cls, "doubleValue", "d@:", lambda receiver: float(value(receiver)))
        rt.implement(cls, "floatValue", "f@:", lambda receiver: float(value(receiver)))

    def _dictionary_methods(self, cls):
        rt = self.runtime
        rt.implement(cls.meta, "dictionaryWithContentsOfFile:", "@@:@", self._read_dictionary)

        def entry(receiver, key):
            return rt.value_of(receiver).get(self.text_of(key), 0)
        rt.implement(cls, "objectForKeyedSubscript:", "@@:@", entry)
        rt.implement(cls, "objectForKey:", "@@:@", entry)
        rt.implement(cls, "count", self.abi.unsigned_long + "@:",
                     lambda receiver: len(rt.value_of(receiver)))

    def _read_dictionary(self, cls, path):
        path = self.text_of(path)
        self.events.add(read=path)
        try:
            with open(self.files.path(path), "rb") as file:
                value = plistlib.load(file)
        except (OSError, ValueError, OverflowError, ExpatError):
            # Missing, unreadable or malformed: Foundation answers nil.
            return 0
        if not isinstance(value, dict):
            return 0
        return self.runtime.new_object(self.runtime.class_at(cls), {
            key: self.object_from_plist(item) for key, item in value.items()})

    def _mutable_dictionary_methods(self, cls):
        rt = self.runtime

        def init(receiver):
            rt.objects[receiver] = {}
            return receiver

        def store(receiver, value, key):
            if value == 0 or not self.is_string(key):
                raise EmulationError("setObject:forKey: with a nil value or a key that is no "
                                     "string raises on a device")
            rt.value_of(receiver)[self.text_of(key)] = value
        rt.implement(cls, "init", "@@:", init)
        rt.implement(cls, "setObject:forKey:", "v@:@@", store)
        rt.implement(cls, "removeObjectForKey:", "v@:@",
                     lambda receiver, key: rt.value_of(receiver).pop(self.text_of(key), None))
        rt.implement(cls, "writeToFile:atomically:", "B@:@B", self._write_dictionary)

    def _write_dictionary(self, receiver, path, atomically):
        """As Foundation writes a dictionary: an XML property list, through a temporary file
        renamed over the old one when asked to be atomic."""
        path = self.text_of(path)
        self.events.add(write=path, atomically=bool(atomically))
        target = self.files.path(path)
        raw = plistlib.dumps(self.plist_from_object(receiver), fmt=plistlib.FMT_XML)
        written = target + ".emulated-write" if atomically else target
        with open(written, "wb") as file:
            file.write(raw)
        if atomically:
            os.replace(written, target)
        return True

    def plist_from_object(self, address):
        if self.is_string(address):
            return self.text_of(address)
        value = self.runtime.value_of(address)
        if isinstance(value, dict):
            return {key: self.plist_from_object(item) for key, item in value.items()}
        if isinstance(value, list):
            return [self.plist_from_object(item) for item in value]
        if isinstance(value, tuple):
            return value[1]
        raise EmulationError(f"a {self.runtime.class_of(address).name} in a property list")

    def _array_methods(self, cls):
        rt = self.runtime

        def element(receiver, index):
            elements = rt.value_of(receiver)
            if index >= len(elements):
                raise EmulationError(f"index {index} beyond an array of {len(elements)}")
            return elements[index]
        rt.implement(cls, "count", self.abi.unsigned_long + "@:",
                     lambda receiver: len(rt.value_of(receiver)))
        rt.implement(cls, "objectAtIndex:", "@@:" + self.abi.unsigned_long, element)
        rt.implement(cls, "objectAtIndexedSubscript:", "@@:" + self.abi.unsigned_long, element)


# --- Text and numbers, as Foundation reads them -----------------------------------------------

_DECIMAL = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")


def read_double(text):
    match = _DECIMAL.match(text.lstrip(" \t\n\v\f\r"))
    return float(match.group(0)) if match else 0.0


def read_integer(text, bits):
    match = re.match(r"[+-]?\d*", text.lstrip(" \t\n\v\f\r"))
    digits = match.group(0)
    value = int(digits) if digits.strip("+-") else 0
    return max(-(1 << (bits - 1)), min((1 << (bits - 1)) - 1, value))


def read_bool(text):
    rest = text.lstrip(" \t\n\v\f\r")
    rest = rest[1:] if rest[:1] in "+-" and rest else rest
    rest = rest.lstrip("0")
    return bool(rest) and (rest[0] in "YyTt" or "1" <= rest[0] <= "9")


def to_integer(value, bits):
    if isinstance(value, float):
        limit = 1 << (bits - 1)
        if value != value:
            return 0
        # Compared as floats first: an infinite value has no int.
        return limit - 1 if value >= limit else -limit if value <= -limit else int(value)
    value = int(value) & ((1 << bits) - 1)
    return value - (1 << bits) if value >> (bits - 1) else value


def to_unsigned(value, bits):
    """A double converted to an unsigned integer as the compiler's runtime does: saturated."""
    if value != value or value <= 0:
        return 0
    return (1 << bits) - 1 if value >= 1 << bits else int(value)


_CONVERSION = re.compile(r"%([-+ #0]*)(\d*)(?:\.(\d+))?(hh|h|ll|l|q|z|t)?([diouxXcsp@f%])")


def _integer_encoding(length, kind, abi):
    """The type a conversion reads: long, size_t and ptrdiff_t are a word wide, long long 64
    bits, anything shorter an int (promoted)."""
    signed = kind in "di"
    if length in ("ll", "q"):
        return "q" if signed else "Q"
    if length in ("l", "z", "t"):
        return abi.long if signed else abi.unsigned_long
    return "i" if signed else "I"


def format_log(fmt, next_argument, world):
    """printf-style formatting as CoreFoundation does it, %@ taking an object's description;
    each argument read from the variadic area in turn."""
    def convert(match):
        flags, width, precision, length, kind = match.groups()
        if kind == "%":
            return "%"
        if kind == "@":
            text = world.describe(next_argument("@"))
        elif kind == "s":
            text = world.machine.read_c_string(next_argument("^v")) or "(null)"
        elif kind == "f":
            text = f"%{flags}{width}.{precision or 6}f" % next_argument("d")
        elif kind == "p":
            text = f"{next_argument('^v'):#x}"
        elif kind == "c":
            text = chr(next_argument("i") & 0xFF)
        else:
            value = next_argument(_integer_encoding(length, kind, world.abi))
            text = f"%{flags}{width}{kind if kind != 'u' else 'd'}" % value
        return text.rjust(int(width)) if width and kind in "@s" else text
    return _CONVERSION.sub(convert, fmt)
