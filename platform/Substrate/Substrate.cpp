#include "port/Substrate/Substrate.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/Substrate/Replaceable.h"

#if !defined(__x86_64__)
#error "The superclass forwarder is written for x86-64."
#endif

namespace qv {
namespace {

// --- Methods -------------------------------------------------------------------------------

Method ownMethod(Class cls, SEL selector) {
  unsigned int count = 0;
  Method* methods = class_copyMethodList(cls, &count);
  Method found = nullptr;
  for (unsigned int i = 0; i < count && found == nullptr; ++i) {
    if (std::strcmp(sel_getName(method_getName(methods[i])), sel_getName(selector)) == 0) {
      found = methods[i];
    }
  }
  std::free(methods);
  return found;
}

// What a forwarder needs at every call: where the hook was made.
struct ForwardContext {
  Class hookedClass;
  SEL selector;
};

}  // namespace
}  // namespace qv

extern "C" {
// The generic half of every forwarder (Forwarder_x86_64.S): saves the argument registers, asks
// qv_substrate_lookup for the implementation, restores them and jumps there.
void qv_substrate_forward();

__attribute__((visibility("hidden"))) IMP qv_substrate_lookup(const qv::ForwardContext* context) {
  return class_getMethodImplementation(class_getSuperclass(context->hookedClass),
                                       context->selector);
}
}

namespace qv {
namespace {

// Each forwarder is a small stub followed by its context, on a page of its own that is never
// written again once executable, so a running forwarder is never on a writable page. The
// context lives in the page too: nothing on the heap outlives the hook unseen.
IMP makeForwarder(Class hookedClass, SEL selector) {
  const long pageSize = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return nullptr;
  auto* code = static_cast<std::uint8_t*>(page);
  constexpr std::size_t kContextOffset = 64;  // after the stub's 27 bytes, aligned
  auto* context = new (code + kContextOffset) ForwardContext{hookedClass, selector};
  const std::uint64_t contextAddress = reinterpret_cast<std::uintptr_t>(context);
  const std::uint64_t target = reinterpret_cast<std::uintptr_t>(&qv_substrate_forward);
  const std::uint8_t endbr64[] = {0xf3, 0x0f, 0x1e, 0xfa};
  const std::uint8_t movR10[] = {0x49, 0xba};  // movabs $context, %r10
  const std::uint8_t movR11[] = {0x49, 0xbb};  // movabs $target, %r11
  const std::uint8_t jmpR11[] = {0x41, 0xff, 0xe3};
  std::size_t at = 0;
  auto emit = [&](const void* bytes, std::size_t size) {
    std::memcpy(code + at, bytes, size);
    at += size;
  };
  emit(endbr64, sizeof endbr64);
  emit(movR10, sizeof movR10);
  emit(&contextAddress, sizeof contextAddress);
  emit(movR11, sizeof movR11);
  emit(&target, sizeof target);
  emit(jmpR11, sizeof jmpR11);
  if (mprotect(page, pageSize, PROT_READ | PROT_EXEC) != 0) {
    munmap(page, pageSize);
    return nullptr;
  }
  return reinterpret_cast<IMP>(reinterpret_cast<void (*)()>(page));
}

// --- Functions -----------------------------------------------------------------------------

struct ReplaceableEntry {
  std::string name;
  void* publicFunction;
  std::atomic<detail::ErasedFunction>* slot;
};

class ReplaceableRegistry {
 public:
  void add(ReplaceableEntry entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }

  // By address, or by symbol name when the caller sees the function at another address.
  std::atomic<detail::ErasedFunction>* find(void* function) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
      if (entry.publicFunction == function) return entry.slot;
    }
    Dl_info info{};
    if (dladdr(function, &info) != 0 && info.dli_sname != nullptr) {
      for (const auto& entry : entries_) {
        if (entry.name == info.dli_sname) return entry.slot;
      }
    }
    return nullptr;
  }

 private:
  std::mutex mutex_;
  std::vector<ReplaceableEntry> entries_;
};

ReplaceableRegistry& replaceables() {
  static auto* registry = new ReplaceableRegistry;  // functions are called until exit
  return *registry;
}

}  // namespace

namespace detail {
void registerReplaceable(const char* name, void* publicFunction,
                         std::atomic<ErasedFunction>* slot) {
  replaceables().add({name, publicFunction, slot});
}
}  // namespace detail

}  // namespace qv

void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result) {
  if (cls == Nil || selector == nullptr || replacement == nullptr) return;
  if (Method own = qv::ownMethod(cls, selector)) {
    if (result != nullptr) *result = method_getImplementation(own);
    method_setImplementation(own, replacement);
    return;
  }
  Method inherited = class_getInstanceMethod(cls, selector);
  if (inherited == nullptr) return;
  IMP forwarder = qv::makeForwarder(cls, selector);
  if (forwarder == nullptr) return;  // no executable page: leave the class as it was
  if (result != nullptr) *result = forwarder;
  class_addMethod(cls, selector, replacement, method_getTypeEncoding(inherited));
}

void MSHookFunction(void* symbol, void* replacement, void** result) {
  if (symbol == nullptr || replacement == nullptr) return;
  auto* slot = qv::replaceables().find(symbol);
  if (slot == nullptr) return;
  auto previous = slot->exchange(reinterpret_cast<qv::detail::ErasedFunction>(replacement),
                                 std::memory_order_acq_rel);
  if (result != nullptr) *result = reinterpret_cast<void*>(previous);
}
