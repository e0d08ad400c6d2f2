// The object runtime on the device: ownership, pools, the builder that completes the library's
// declared classes, and the messages' helpers.
#include <objc/runtime.h>

#include <array>
#include <string>

#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"
#include "port/objc/AutoreleasePool.h"
#include "port/objc/Object.h"

extern "C" {
id objc_retain(id object);
void objc_release(id object);
id objc_autorelease(id object);
void* objc_autoreleasePoolPush();
void objc_autoreleasePoolPop(void* token);
}

namespace qv {

id retain(id object) {
  return objc_retain(object);
}

void release(id object) {
  objc_release(object);
}

id autorelease(id object) {
  return objc_autorelease(object);
}

AutoreleasePool::AutoreleasePool()
    : token_(reinterpret_cast<std::uintptr_t>(objc_autoreleasePoolPush())) {}

AutoreleasePool::~AutoreleasePool() {
  objc_autoreleasePoolPop(reinterpret_cast<void*>(token_));
}

void AutoreleasePool::drain() {
  objc_autoreleasePoolPop(reinterpret_cast<void*>(token_));
  token_ = reinterpret_cast<std::uintptr_t>(objc_autoreleasePoolPush());
}

Class NSObjectClass() {
  return objc_getClass("NSObject");
}

Ref<> make(Class cls) {
  return adopt(send<id>(send<id>(cls, "alloc"_sel), "init"_sel));
}

bool isKindOf(id object, Class cls) {
  return send<BOOL>(object, "isKindOfClass:"_sel, cls);
}

bool responds(id receiver, SEL selector) {
  return receiver != nil && class_respondsToSelector(object_getClass(receiver), selector);
}

std::string methodName(id receiver, SEL selector) {
  Class cls = object_getClass(receiver);
  const char kind = cls != Nil && class_isMetaClass(cls) ? '+' : '-';
  return std::string(1, kind) + "[" + (cls != Nil ? class_getName(cls) : "nil") + " " +
         sel_getName(selector) + "]";
}

void raise(const std::string& name, const std::string& reason) {
  sendVarargs<void, id, id>(objc_getClass("NSException"), "raise:format:"_sel,
                            makeString(name).get(), "%@"_ns, makeString(reason).get());
  __builtin_trap();  // raise:format: does not return
}

namespace detail {

namespace {

// The library's few methods that take blocks, found by selector. Written at start-up on the
// main thread, before any of them can be called; read-only after.
struct RememberedImplementation {
  SEL selector;
  void (*implementation)();
};
std::array<RememberedImplementation, 16> rememberedImplementations{};
std::size_t rememberedCount = 0;

}  // namespace

void rememberImplementation(SEL selector, void (*implementation)()) {
  if (rememberedCount == rememberedImplementations.size()) __builtin_trap();
  rememberedImplementations[rememberedCount++] = {selector, implementation};
}

void (*rememberedImplementation(SEL selector))() {
  for (std::size_t i = 0; i < rememberedCount; ++i) {
    if (rememberedImplementations[i].selector == selector) {
      return rememberedImplementations[i].implementation;
    }
  }
  __builtin_trap();  // only remembered selectors are entered through the trampoline
}

}  // namespace detail

namespace {

// The classes whose methods the builder has put in place.
std::array<Class, 4> completedClasses{};
std::size_t completedCount = 0;

}  // namespace

Class completedClass(const char* name) {
  Class cls = objc_lookUpClass(name);
  for (std::size_t i = 0; i < completedCount; ++i) {
    if (completedClasses[i] == cls) return cls;
  }
  return Nil;
}

ClassBuilder::ClassBuilder(const char* name, Class superclass) : name_(name) {
  Class declared = objc_lookUpClass(name);
  if (declared != Nil && class_getSuperclass(declared) == superclass) cls_ = declared;
}

std::ptrdiff_t ClassBuilder::stateOffset(const char* ivarName) {
  Ivar ivar = cls_ != Nil ? class_getInstanceVariable(cls_, ivarName) : nullptr;
  if (ivar == nullptr) {
    cls_ = Nil;  // without its state the class cannot work: it gets no methods
    return -1;
  }
  return ivar_getOffset(ivar);
}

ClassBuilder& ClassBuilder::addMethod(Class target, const char* selector, IMP implementation,
                                      const std::string& types) {
  if (target != Nil)
    class_addMethod(target, sel_registerName(selector), implementation, types.c_str());
  return *this;
}

Class ClassBuilder::registerClass() {
  if (cls_ == Nil) {
    CFLog(kCFLogLevelError,
          CFSTR("class %s has no declaration with the expected superclass and state"), name_);
    return Nil;
  }
  if (completedCount < completedClasses.size()) completedClasses[completedCount++] = cls_;
  return cls_;
}

void makeClassOnFirstLookup(const char*, Class (*make)()) {
  make();
}

}  // namespace qv
