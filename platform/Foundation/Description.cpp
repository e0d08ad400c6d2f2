// Descriptions: describe() for C++ code, the root class's own description, and how objects read
// inside the descriptions of collections.
#include <string>
#include <string_view>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
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
  if (isKindOf(object, arrayClass()) || isKindOf(object, dictionaryClass())) {
    AutoreleasePool pool;
    return utf8(send<id>(object, "descriptionWithLocale:indent:"_sel, id{nil},
                         static_cast<NSUInteger>(level)));
  }
  if (isKindOf(object, stringClass())) return quotedIfNeeded(stringText(object));
  return describe(object);
}

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
  if (!responds(object, "description"_sel)) return foundation::addressDescription(object);
  // The description is usually autoreleased: it goes with this pool, after its text is read.
  AutoreleasePool pool;
  return utf8(send<id>(object, "description"_sel));
}

}  // namespace qv
