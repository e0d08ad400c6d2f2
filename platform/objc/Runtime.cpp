#include <objc/runtime.h>

#include <bit>
#include <cstdio>
#include <string>

#include "platform/Seams.h"
#include "platform/objc/Object.h"

namespace qv {

void raise(const std::string& name, const std::string& reason) {
  throw ObjCException(name, reason);
}

bool responds(id receiver, SEL selector) {
  return receiver != nil && class_respondsToSelector(object_getClass(receiver), selector);
}

std::string methodName(id receiver, SEL selector) {
  Class cls = object_getClass(receiver);
  const bool isClass = class_isMetaClass(cls);
  const char* name =
      isClass ? class_getName(reinterpret_cast<Class>(receiver)) : class_getName(cls);
  return std::string(isClass ? "+[" : "-[") + name + " " + sel_getName(selector) + "]";
}

namespace {

// One character per argument or result, after qualifiers and offsets: integers of one size and
// signedness share a letter, and a struct reads as its name.
std::string canonicalEncoding(std::string_view types) {
  std::string canonical;
  std::size_t i = 0;
  while (i < types.size()) {
    while (i < types.size() &&
           std::string_view("rnNoORV").find(types[i]) != std::string_view::npos) {
      ++i;
    }
    if (i >= types.size()) break;
    const char c = types[i];
    if (c >= '0' && c <= '9') {
      ++i;
      continue;
    }
    if (c == '{' || c == '(') {
      const char close = c == '{' ? '}' : ')';
      std::size_t end = i + 1;
      int depth = 1;
      std::size_t nameEnd = std::string_view::npos;
      while (end < types.size() && depth > 0) {
        if (types[end] == c) ++depth;
        if (types[end] == close) --depth;
        if (types[end] == '=' && depth == 1 && nameEnd == std::string_view::npos) nameEnd = end;
        ++end;
      }
      if (nameEnd == std::string_view::npos) nameEnd = end - 1;
      canonical += c;
      canonical += types.substr(i + 1, nameEnd - i - 1);
      canonical += close;
      i = end;
      continue;
    }
    if (c == '^') {
      // Every pointer type travels the same way.
      canonical += '^';
      ++i;
      while (i < types.size() && types[i] == '^') ++i;
      if (i < types.size() && types[i] == '{') {
        int depth = 0;
        do {
          if (types[i] == '{') ++depth;
          if (types[i] == '}') --depth;
          ++i;
        } while (i < types.size() && depth > 0);
      } else if (i < types.size()) {
        ++i;
      }
      continue;
    }
    if (c == '@' && i + 1 < types.size() && types[i + 1] == '?') {
      canonical += "@?";
      i += 2;
      continue;
    }
    switch (c) {
      case 'B':
      case 'C':
      case 'c':
        canonical += 'C';  // BOOL in all its spellings
        break;
      case 'l':
        canonical += sizeof(long) == 8 ? 'q' : 'i';
        break;
      case 'L':
        canonical += sizeof(long) == 8 ? 'Q' : 'I';
        break;
      default:
        canonical += c;
    }
    ++i;
  }
  return canonical;
}

}  // namespace

bool encodingsCompatible(std::string_view declared, std::string_view called) {
  return canonicalEncoding(declared) == canonicalEncoding(called);
}

namespace detail {

void checkSignature(id receiver, SEL selector, const std::string& callTypes) {
  Method method = class_getInstanceMethod(object_getClass(receiver), selector);
  if (method == nullptr) return;  // unknown selector: forwarding raises
  const char* declared = method_getTypeEncoding(method);
  if (declared == nullptr || encodingsCompatible(declared, callTypes)) return;
  const std::string line = "Calling " + methodName(receiver, selector) +
                           " with incorrect signature: method has '" + declared + "', call has '" +
                           callTypes + "'";
  std::fprintf(stderr, "%s\n", line.c_str());
  throw SignatureMismatch(line);
}

}  // namespace detail

namespace {
MethodFilter& methodFilter() {
  static MethodFilter keep;
  return keep;
}
}  // namespace

void setMethodFilter(MethodFilter keep) {
  methodFilter() = std::move(keep);
}

ClassBuilder::ClassBuilder(const char* name, Class superclass)
    : name_(name), cls_(objc_allocateClassPair(superclass, name, 0)) {}

ClassBuilder& ClassBuilder::addIvar(const char* name, std::size_t size, std::size_t align,
                                    const std::string& types) {
  // Lookups by name find the superclass's ivar first, so a second one of the name would leave
  // the subclass's state laid over its superclass's.
  if (cls_ != Nil && class_getInstanceVariable(class_getSuperclass(cls_), name) != nullptr) {
    objc_disposeClassPair(cls_);  // never registered: nothing else holds it
    cls_ = Nil;
    raise("NSInternalInconsistencyException",
          "class " + name_ + ": its superclass already has an ivar " + name);
  }
  if (cls_ != Nil) {
    class_addIvar(cls_, name, size, static_cast<unsigned char>(std::countr_zero(align)),
                  types.c_str());
  }
  return *this;
}

ClassBuilder& ClassBuilder::addMethod(Class target, const char* selector, IMP implementation,
                                      const std::string& types) {
  const MethodFilter& keep = methodFilter();
  if (target != Nil && (!keep || keep(name_, selector, class_isMetaClass(target)))) {
    class_addMethod(target, sel_registerName(selector), implementation, types.c_str());
  }
  return *this;
}

std::string ClassBuilder::byteArrayEncoding(std::size_t size) {
  std::string types = "[";  // built in steps: gcc 12 misreads the one-expression form
  types += std::to_string(size);
  types += "C]";
  return types;
}

Class ClassBuilder::registerClass() {
  if (cls_ == Nil) raise("NSInternalInconsistencyException", "class " + name_ + " already exists");
  objc_registerClassPair(cls_);
  if (stateIvar_ != nullptr) {
    layout_.offset = ivar_getOffset(class_getInstanceVariable(cls_, stateIvar_));
    *stateOffset_ = layout_.offset;
    detail::registerStateLayout(cls_, layout_);
  }
  return cls_;
}

}  // namespace qv
