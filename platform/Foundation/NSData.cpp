// NSData: an immutable byte buffer.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"

namespace qv::foundation {
namespace {

struct DataState {
  std::vector<unsigned char> bytes;
};

std::vector<unsigned char>& bytesOf(id data) {
  return stateOf<DataState>(data).bytes;
}

id initWithBytesLength(id self, SEL selector, const void* bytes, NSUInteger length) {
  if (bytes == nullptr && length > 0) {
    const std::string name = methodName(self, selector);
    release(self);
    raise("NSInvalidArgumentException",
          name + ": NULL bytes with a length of " + std::to_string(length));
  }
  const auto* first = static_cast<const unsigned char*>(bytes);
  bytesOf(self).assign(first, first + length);
  return self;
}

id dataWithBytesLength(id cls, SEL, const void* bytes, NSUInteger length) {
  return autorelease(
      send<id>(send<id>(cls, "alloc"_sel), "initWithBytes:length:"_sel, bytes, length));
}

id dataEmpty(id cls, SEL) {
  return autorelease(send<id>(send<id>(cls, "alloc"_sel), "init"_sel));
}

const void* bytes(id self, SEL) {
  return bytesOf(self).data();
}
NSUInteger length(id self, SEL) {
  return bytesOf(self).size();
}
BOOL isEqualToData(id self, SEL, id other) {
  return self == other || (isKindOf(other, dataClass()) && bytesOf(self) == bytesOf(other));
}

NSUInteger hash(id self, SEL) {
  const auto& data = bytesOf(self);
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

id description(id self, SEL) {
  return autoreleasedString(dataDescription(self));
}

}  // namespace

// "<01020304 05>": hexadecimal, a space after every four bytes.
std::string dataDescription(id data) {
  static constexpr char digits[] = "0123456789abcdef";
  const auto& bytes = bytesOf(data);
  std::string text = "<";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0xF];
  }
  return text + ">";
}

Class dataClass() {
  static const Class cls =
      addValueMethods(ClassBuilder("NSData", NSObjectClass())
                          .state<DataState>("_bytes")
                          .classMethod("data", &dataEmpty)
                          .classMethod("dataWithBytes:length:", &dataWithBytesLength)
                          .method("initWithBytes:length:", &initWithBytesLength)
                          .method("bytes", &bytes)
                          .method("length", &length),
                      "isEqualToData:", &isEqualToData, &hash, &description)
          .registerClass();
  return cls;
}

}  // namespace qv::foundation
