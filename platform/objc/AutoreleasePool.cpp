#include "platform/objc/AutoreleasePool.h"

#include <cstdio>
#include <vector>

#include "platform/objc/Object.h"

namespace qv {
namespace {

struct ThreadPools {
  std::vector<id> objects;
  std::vector<std::size_t> marks;
  bool warnedNoPool = false;

  void releaseDownTo(std::size_t mark) {
    // A dealloc may autorelease again: keep going until the stack is back at the mark.
    while (objects.size() > mark) {
      id object = objects.back();
      objects.pop_back();
      release(object);
    }
  }

  ~ThreadPools() { releaseDownTo(0); }
};

ThreadPools& pools() {
  thread_local ThreadPools threadPools;
  return threadPools;
}

}  // namespace

namespace detail {

std::size_t pushPool() {
  ThreadPools& p = pools();
  p.marks.push_back(p.objects.size());
  return p.marks.size() - 1;
}

void popPool(std::size_t depth) {
  ThreadPools& p = pools();
  if (depth >= p.marks.size()) return;  // already ended with a pool around it
  // Ending a pool ends the pools begun inside it too, as on the platform.
  p.releaseDownTo(p.marks[depth]);
  p.marks.resize(depth);
}

void addToPool(id object) {
  ThreadPools& p = pools();
  if (p.marks.empty()) {
    if (!p.warnedNoPool) {
      std::fprintf(stderr, "*** %s autoreleased with no pool in place - just leaking\n",
                   object_getClassName(object));
      p.warnedNoPool = true;
    }
    return;
  }
  p.objects.push_back(object);
}

}  // namespace detail

AutoreleasePool::AutoreleasePool() : token_(detail::pushPool()) {}

AutoreleasePool::~AutoreleasePool() {
  detail::popPool(token_);
}

void AutoreleasePool::drain() {
  ThreadPools& p = pools();
  if (token_ < p.marks.size()) p.releaseDownTo(p.marks[token_]);
}

std::size_t pendingAutoreleases() {
  return pools().objects.size();
}

namespace {

struct PoolState {
  std::size_t depth = 0;
};

id poolInit(id self, SEL) {
  stateOf<PoolState>(self).depth = detail::pushPool();
  return self;
}

void poolDrain(id self, SEL) {
  detail::popPool(stateOf<PoolState>(self).depth);
  send(self, "dealloc"_sel);
}

id poolAutorelease(id self, SEL) {
  raise("NSInvalidArgumentException",
        methodName(self, "autorelease"_sel) + ": Cannot autorelease an autorelease pool");
}

id poolRetain(id self, SEL) {
  raise("NSInvalidArgumentException",
        methodName(self, "retain"_sel) + ": Cannot retain an autorelease pool");
}

}  // namespace

void registerAutoreleasePoolClass(Class root) {
  ClassBuilder("NSAutoreleasePool", root)
      .state<PoolState>()
      .method("init", &poolInit)
      .method("drain", &poolDrain)
      .method("release", &poolDrain)
      .method("autorelease", &poolAutorelease)
      .method("retain", &poolRetain)
      .registerClass();
}

}  // namespace qv
