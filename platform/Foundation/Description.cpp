// Descriptions: describe() for C++ code, the root class's own description, and how objects read
// inside the descriptions of collections.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/NumberValue.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace foundation {
namespace {

std::string addressDescription(id object) {
  return formatString("<%s: %p>", object_getClassName(object), static_cast<void*>(object));
}

id instanceDescription(id self, SEL) {
  return autoreleasedString(addressDescription(self));
}

id classDescription(id self, SEL) {
  return autoreleasedString(class_getName(reinterpret_cast<Class>(self)));
}

bool isBareWordCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("_$+/:.-").find(c) != std::string_view::npos;
}

// Strings in collections read as in the old property-list syntax: bare when they are one
// word of safe characters, quoted and escaped otherwise.
std::string quotedIfNeeded(const std::string& text) {
  bool bare = !text.empty();
  for (char c : text) bare = bare && (isBareWordCharacter(c) || (c & 0x80) != 0);
  if (bare) return text;
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

std::string indentation(int level) {
  return std::string(4 * static_cast<std::size_t>(level), ' ');
}

std::string nestedDescription(id object, int level) {
  if (isKindOf(object, arrayClass())) return arrayDescription(object, level);
  if (isKindOf(object, dictionaryClass())) return dictionaryDescription(object, level);
  if (isKindOf(object, stringClass())) return quotedIfNeeded(stringText(object));
  return describe(object);
}

namespace {

// The descriptions of Foundation's own value classes, read without a message. Subclasses
// may describe themselves differently and go through the message.
std::optional<std::string> ownDescription(id object) {
  const Class cls = object_getClass(object);
  if (cls == stringClass() || class_getSuperclass(cls) == stringClass()) {
    return stringText(object);  // the class itself or its literals
  }
  if (cls == numberClass()) return numberValue(object).text();
  if (cls == dataClass()) return dataDescription(object);
  if (cls == dateClass()) return dateDescription(object);
  if (cls == arrayClass() || cls == mutableArrayClass()) return arrayDescription(object, 0);
  if (cls == dictionaryClass() || cls == mutableDictionaryClass()) {
    return dictionaryDescription(object, 0);
  }
  return std::nullopt;
}

}  // namespace

void addRootDescriptions() {
  const Class root = NSObjectClass();
  // Added, never replacing a description the root class may have of its own.
  class_addMethod(root, sel_registerName("description"), toIMP(&instanceDescription), "@@:");
  class_addMethod(object_getClass(asId(root)), sel_registerName("description"),
                  toIMP(&classDescription), "@@:");
}

}  // namespace foundation

std::string describe(id object) {
  if (object == nil) return "(null)";
  if (auto text = foundation::ownDescription(object)) return std::move(*text);
  if (!responds(object, "description"_sel)) return foundation::addressDescription(object);
  // The description is usually autoreleased: it goes with this pool, after its text is read.
  AutoreleasePool pool;
  return utf8(send<id>(object, "description"_sel));
}

}  // namespace qv
