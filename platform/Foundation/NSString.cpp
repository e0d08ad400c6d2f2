// NSString: immutable UTF-8 text. Lengths count UTF-16 code units, as the platform does.
// Literals ("text"_ns) are instances of an immortal subclass whose retain and release do
// nothing.
#include <climits>
#include <cstdarg>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/NumberValue.h"
#include "platform/Foundation/NumericText.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace foundation {
namespace {

struct StringState {
  std::string text;
  NSUInteger utf16Length = 0;
};

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at `at`, or 0 when it is malformed (overlong,
// a surrogate, beyond U+10FFFF, cut short).
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

struct Utf8Check {
  bool wellFormed = true;
  NSUInteger utf16Length = 0;
};

Utf8Check check(std::string_view text) {
  Utf8Check result;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequenceLength(text, at);
    if (length == 0) return {false, 0};
    result.utf16Length += length == 4 ? 2 : 1;  // beyond the BMP: a surrogate pair
    at += length;
  }
  return result;
}

std::string repaired(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = sequenceLength(text, at);
    if (length == 0) {
      out += replacementCharacter;
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

// Fills a fresh string with `text`, repaired if need be; answers whether it was well formed.
bool assign(id string, std::string text) {
  StringState& state = stateOf<StringState>(string);
  Utf8Check checked = check(text);
  const bool wellFormed = checked.wellFormed;
  if (!wellFormed) {
    text = repaired(text);
    checked = check(text);
  }
  state.text = std::move(text);
  state.utf16Length = checked.utf16Length;
  return wellFormed;
}

id newString(Class cls, std::string text) {
  id string = send<id>(cls, "alloc"_sel);
  assign(string, std::move(text));
  return string;
}

Class immortalStringClass();

// Nearly every string is of one of the two classes made here: they are tested before the walk
// up the class hierarchy, which every string comparison would otherwise pay.
const std::string* textIfString(id object) {
  const Class cls = object_getClass(object);
  const bool string = cls != Nil && (cls == immortalStringClass() || cls == stringClass() ||
                                     isKindOf(object, stringClass()));
  return string ? &stateOf<StringState>(object).text : nullptr;
}

const std::string& argumentText(id self, SEL selector, id argument) {
  const std::string* text = textIfString(argument);
  if (text == nullptr) {
    raise("NSInvalidArgumentException",
          methodName(self, selector) + ": " + (argument == nil ? "nil argument" : "not a string"));
  }
  return *text;
}

// Class methods.

id stringEmpty(id cls, SEL) {
  return autorelease(newString(reinterpret_cast<Class>(cls), {}));
}

id stringWithUTF8String(id cls, SEL, const char* bytes) {
  return autorelease(send<id>(send<id>(cls, "alloc"_sel), "initWithUTF8String:"_sel, bytes));
}

id stringWithFormat(id cls, SEL selector, id format, ...) {
  const std::string& pattern = argumentText(cls, selector, format);
  va_list arguments;
  va_start(arguments, format);
  std::string text;
  try {
    text = formatString(pattern.c_str(), arguments);
  } catch (...) {
    va_end(arguments);
    throw;
  }
  va_end(arguments);
  return autorelease(newString(reinterpret_cast<Class>(cls), std::move(text)));
}

// Instance methods.

id initWithUTF8String(id self, SEL, const char* bytes) {
  // As on the platform, a NULL or malformed argument fails the initializer.
  if (bytes == nullptr || !assign(self, bytes)) {
    release(self);
    return nil;
  }
  return self;
}

const char* utf8String(id self, SEL) {
  return stateOf<StringState>(self).text.c_str();
}
NSUInteger length(id self, SEL) {
  return stateOf<StringState>(self).utf16Length;
}
id description(id self, SEL) {
  return self;
}
NSUInteger hash(id self, SEL) {
  return std::hash<std::string_view>{}(stateOf<StringState>(self).text);
}

BOOL isEqualToString(id self, SEL, id other) {
  const std::string* text = textIfString(other);
  return self == other || (text != nullptr && *text == stateOf<StringState>(self).text);
}

// An empty prefix or suffix is never found, as on the platform.
BOOL hasPrefix(id self, SEL, id prefix) {
  const std::string* text = textIfString(prefix);
  return text != nullptr && !text->empty() && stateOf<StringState>(self).text.starts_with(*text);
}

BOOL hasSuffix(id self, SEL, id suffix) {
  const std::string* text = textIfString(suffix);
  return text != nullptr && !text->empty() && stateOf<StringState>(self).text.ends_with(*text);
}

id stringByAppendingString(id self, SEL selector, id other) {
  const std::string& tail = argumentText(self, selector, other);
  return autoreleasedString(stateOf<StringState>(self).text + tail);
}

id componentsSeparatedByString(id self, SEL selector, id separator) {
  const std::string& cut = argumentText(self, selector, separator);
  const std::string& text = stateOf<StringState>(self).text;
  std::vector<Ref<>> parts;
  std::size_t start = 0;
  for (std::size_t found; !cut.empty() && (found = text.find(cut, start)) != std::string::npos;
       start = found + cut.size()) {
    parts.push_back(adopt(newString(stringClass(), text.substr(start, found - start))));
  }
  parts.push_back(adopt(newString(stringClass(), text.substr(start))));
  return autorelease(makeArray(std::vector<id>(parts.begin(), parts.end())).leak());
}

BOOL boolValue(id self, SEL) {
  return readBool(stateOf<StringState>(self).text);
}

template <typename Int>
Int integerValue(id self, SEL) {
  using Limits = std::numeric_limits<Int>;
  return static_cast<Int>(
      readInteger(stateOf<StringState>(self).text, Limits::min(), Limits::max()));
}

double doubleValue(id self, SEL) {
  return readDouble(stateOf<StringState>(self).text);
}
float floatValue(id self, SEL) {
  return toFloat(doubleValue(self, nullptr));
}

// The immortal literal class.

id immortalRetain(id self, SEL) {
  return self;
}
void immortalRelease(id, SEL) {}
NSUInteger immortalRetainCount(id, SEL) {
  return ULONG_MAX;
}
void immortalDealloc(id, SEL) {}

Class immortalStringClass() {
  static const Class cls = ClassBuilder("__NSCFConstantString", stringClass())
                               .method("retain", &immortalRetain)
                               .method("release", &immortalRelease)
                               .method("autorelease", &immortalRetain)
                               .method("retainCount", &immortalRetainCount)
                               .method("dealloc", &immortalDealloc)
                               .registerClass();
  return cls;
}

Class makeStringClass() {
  ClassBuilder builder("NSString", NSObjectClass());
  return addValueMethods(builder.state<StringState>("_text"), "isEqualToString:", &isEqualToString,
                         &hash, &description)
      .classMethod("string", &stringEmpty)
      .classMethod("stringWithUTF8String:", &stringWithUTF8String)
      .method("initWithUTF8String:", &initWithUTF8String)
      .method("UTF8String", &utf8String)
      .method("length", &length)
      .method("hasPrefix:", &hasPrefix)
      .method("hasSuffix:", &hasSuffix)
      .method("stringByAppendingString:", &stringByAppendingString)
      .method("componentsSeparatedByString:", &componentsSeparatedByString)
      .method("boolValue", &boolValue)
      .method("intValue", &integerValue<int>)
      .method("integerValue", &integerValue<long>)
      .method("longLongValue", &integerValue<long long>)
      .method("floatValue", &floatValue)
      .method("doubleValue", &doubleValue)
      .registerClass();
}

}  // namespace

Class stringClass() {
  static const Class cls = [] {
    Class made = makeStringClass();
    // The variadic method has no C++ signature to derive its encoding from.
    class_addMethod(object_getClass(asId(made)), sel_registerName("stringWithFormat:"),
                    toIMP(&stringWithFormat), "@@:@");
    return made;
  }();
  return cls;
}

const std::string& stringText(id string) {
  return stateOf<StringState>(string).text;
}

id autoreleasedString(std::string text) {
  return autorelease(newString(stringClass(), std::move(text)));
}

}  // namespace foundation

Ref<> makeString(std::string_view utf8) {
  return adopt(foundation::newString(foundation::stringClass(), std::string(utf8)));
}

std::string utf8(id string) {
  const std::string* text = foundation::textIfString(string);
  return text != nullptr ? *text : std::string();
}

namespace detail {
id immortalString(const char* utf8) {
  return foundation::newString(foundation::immortalStringClass(), utf8 != nullptr ? utf8 : "");
}
}  // namespace detail

}  // namespace qv
