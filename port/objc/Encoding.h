// Type encodings of C++ types, as the runtime writes them in method type strings.
//
// Encodings follow the device's conventions: on 64-bit targets `long` is 'q' and `unsigned long`
// 'Q' (NSInteger, NSUInteger), so a type string written by hand ("v@:@q") and one derived from a
// C++ signature agree; on 32-bit devices `long` is 'l' and NSInteger is `int` ('i'), and a hand
// string is read in the 64-bit spelling (targetEncoding). Struct types declare their encoding
// with QV_OBJC_STRUCT_ENCODING.
#pragma once

#include <objc/runtime.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

namespace qv {

template <typename T, typename Enable = void>
struct Encoding;  // a type without an encoding cannot cross a message send

#define QV_OBJC_ENCODING(Type, text)                \
  template <>                                       \
  struct Encoding<Type> {                           \
    static constexpr std::string_view value = text; \
  }

QV_OBJC_ENCODING(void, "v");
QV_OBJC_ENCODING(bool, "B");
QV_OBJC_ENCODING(char, "c");
QV_OBJC_ENCODING(signed char, "c");
QV_OBJC_ENCODING(unsigned char, "C");
QV_OBJC_ENCODING(short, "s");
QV_OBJC_ENCODING(unsigned short, "S");
QV_OBJC_ENCODING(int, "i");
QV_OBJC_ENCODING(unsigned int, "I");
#if defined(__LP64__)
QV_OBJC_ENCODING(long, "q");
QV_OBJC_ENCODING(unsigned long, "Q");
#else
QV_OBJC_ENCODING(long, "l");
QV_OBJC_ENCODING(unsigned long, "L");
#endif
QV_OBJC_ENCODING(long long, "q");
QV_OBJC_ENCODING(unsigned long long, "Q");
QV_OBJC_ENCODING(float, "f");
QV_OBJC_ENCODING(double, "d");
QV_OBJC_ENCODING(id, "@");
QV_OBJC_ENCODING(Class, "#");
QV_OBJC_ENCODING(SEL, ":");
QV_OBJC_ENCODING(const char*, "*");
QV_OBJC_ENCODING(char*, "*");

// Any other pointer is an untyped pointer, as "^v" in the platform's type strings.
// (Exact specializations above, such as id and SEL, take precedence.)
template <typename T>
struct Encoding<T*> {
  static constexpr std::string_view value = "^v";
};

// Callables stand where the platform passes blocks.
template <typename R, typename... A>
struct Encoding<std::function<R(A...)>> {
  static constexpr std::string_view value = "@?";
};

#define QV_OBJC_STRUCT_ENCODING(Type, text) QV_OBJC_ENCODING(Type, text)

template <typename R, typename... Args>
std::string methodEncoding() {
  std::string types{Encoding<std::remove_cvref_t<R>>::value};
  types += "@:";
  ((types += Encoding<std::remove_cvref_t<Args>>::value), ...);
  return types;
}

// A type string as a template argument: "v@:@q".
template <std::size_t N>
struct EncodingText {
  char text[N];
  constexpr EncodingText(const char (&types)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = types[i];
  }
};

namespace detail {
constexpr bool spellsBOOL(std::string_view encoding) {
  return encoding == "B" || encoding == "C" || encoding == "c";
}

// A 32-bit target's letter as the 64-bit spelling writes the same declared type: NSInteger and
// long are 'q' there, CGFloat 'd'.
constexpr char widened(char letter) {
  switch (letter) {
    case 'i':
    case 'l':
      return 'q';
    case 'I':
    case 'L':
      return 'Q';
    case 'f':
      return 'd';
    default:
      return letter;
  }
}

// Whether `declared`, in the 64-bit spelling, names the type this target spells `part`.
constexpr bool spellsSame(std::string_view declared, std::string_view part) {
  if (declared == part) return true;
  if (spellsBOOL(declared) && spellsBOOL(part)) return true;
  if (sizeof(void*) == 8 || declared.size() != part.size()) return false;
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (declared[i] != part[i] && declared[i] != widened(part[i])) return false;
  }
  return true;
}
}  // namespace detail

// Whether a plain type string ("v@:@q", no offsets or qualifiers) declares a method implemented
// as R(id, SEL, Args...) for the target being compiled: each type in its place, BOOL in any of
// the spellings runtimes give it, and on 32-bit targets in the 64-bit spelling. A compile-time
// check of the methods a hook table adds; 64-bit targets check the exact types.
template <typename R, typename... Args>
constexpr bool declaredAs(std::string_view declared) {
  const std::string_view parts[] = {Encoding<std::remove_cvref_t<R>>::value, "@", ":",
                                    Encoding<std::remove_cvref_t<Args>>::value...};
  std::size_t at = 0;
  for (const std::string_view part : parts) {
    if (at >= declared.size()) return false;
    // BOOL is one character in every spelling.
    const std::string_view piece = declared.substr(at, detail::spellsBOOL(part) ? 1 : part.size());
    if (!detail::spellsSame(piece, part)) return false;
    at += piece.size();
  }
  return at == declared.size();
}

// The type string a method declared as `Types` and implemented as R(id, SEL, Args...) is added
// with: the declaration itself on 64-bit targets; on 32-bit ones, the implementation's types as
// that target spells them (NSInteger 'i', CGFloat 'f', BOOL 'c').
template <EncodingText Types, typename R, typename... Args>
const char* addedTypes() {
  static_assert(declaredAs<R, Args...>(Types.text),
                "the added method's implementation does not take its declared types");
  if constexpr (sizeof(void*) == 8) {
    return Types.text;
  } else {
    static const std::string types = methodEncoding<R, Args...>();
    return types.c_str();
  }
}

// Whether two method type strings describe the same call: offsets and qualifiers are ignored,
// and integer types of the same size and signedness match ('q' and 'l' on LP64; BOOL written as
// 'B', 'C' or 'c').
bool encodingsCompatible(std::string_view declared, std::string_view called);

}  // namespace qv
