// Foundation's value classes made and read through their messages.
#include "port/Foundation/Foundation.h"

#include "port/CoreFoundation/CoreFoundation.h"

namespace qv {

namespace {

Ref<> allocInit(const char* className, SEL initializer, auto... arguments) {
  return adopt(
      send<id>(send<id>(objc_getClass(className), "alloc"_sel), initializer, arguments...));
}

}  // namespace

// NSString refuses malformed UTF-8: such text makes nil here.
Ref<> makeString(std::string_view utf8) {
  return adopt(bridge<id>(
      CFStringCreateWithBytes(nullptr, reinterpret_cast<const std::uint8_t*>(utf8.data()),
                              static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false)));
}

std::string utf8(id string) {
  const char* text = send<const char*>(string, "UTF8String"_sel);
  return text != nullptr ? std::string(text) : std::string();
}

std::string describe(id object) {
  return object != nil ? utf8(send<id>(object, "description"_sel)) : "(null)";
}

Ref<> makeNumber(bool value) {
  return allocInit("NSNumber", "initWithBool:"_sel, static_cast<BOOL>(value));
}
Ref<> makeNumber(long long value) {
  return allocInit("NSNumber", "initWithLongLong:"_sel, value);
}
Ref<> makeNumber(unsigned long long value) {
  return allocInit("NSNumber", "initWithUnsignedLongLong:"_sel, value);
}
Ref<> makeNumber(float value) {
  return allocInit("NSNumber", "initWithFloat:"_sel, value);
}
Ref<> makeNumber(double value) {
  return allocInit("NSNumber", "initWithDouble:"_sel, value);
}
Ref<> makeNumber(int value) {
  return allocInit("NSNumber", "initWithInt:"_sel, value);
}
Ref<> makeNumber(long value) {
  return allocInit("NSNumber", "initWithLong:"_sel, value);
}
Ref<> makeNumber(unsigned long value) {
  return allocInit("NSNumber", "initWithUnsignedLong:"_sel, value);
}

Ref<> makeArray(const std::vector<id>& elements) {
  return allocInit("NSArray", "initWithObjects:count:"_sel, elements.data(),
                   static_cast<NSUInteger>(elements.size()));
}

Ref<> makeDictionary(const std::vector<std::pair<id, id>>& entries) {
  std::vector<id> keys;
  std::vector<id> values;
  for (const auto& [key, value] : entries) {
    keys.push_back(key);
    values.push_back(value);
  }
  return allocInit("NSDictionary", "initWithObjects:forKeys:count:"_sel, values.data(), keys.data(),
                   static_cast<NSUInteger>(entries.size()));
}

std::vector<id> arrayElements(id array) {
  std::vector<id> elements;
  if (!isKindOf(array, objc_getClass("NSArray"))) return elements;
  const auto count = send<NSUInteger>(array, "count"_sel);
  for (NSUInteger i = 0; i < count; ++i) {
    elements.push_back(send<id>(array, "objectAtIndex:"_sel, i));
  }
  return elements;
}

namespace detail {

id immortalString(const char* utf8) {
  return bridge<id>(CFStringCreateWithCString(nullptr, utf8, kCFStringEncodingUTF8));
}

}  // namespace detail

}  // namespace qv
