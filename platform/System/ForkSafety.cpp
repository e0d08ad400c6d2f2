#include "platform/System/ForkSafety.h"

#include <pthread.h>

#include <vector>

namespace qv {
namespace {

struct ForkRegistry {
  std::mutex mutex;
  std::vector<std::mutex*> guarded;
  std::vector<void (*)()> childResets;
};

void lockAll();
void unlockAll();
void unlockAllInChild();

// Never destroyed: a fork may happen while static destructors run.
ForkRegistry& registry() {
  static ForkRegistry* created = [] {
    pthread_atfork(&lockAll, &unlockAll, &unlockAllInChild);
    return new ForkRegistry;
  }();
  return *created;
}

void lockAll() {
  ForkRegistry& r = registry();
  r.mutex.lock();
  for (std::mutex* m : r.guarded) m->lock();
}

void unlockAll() {
  ForkRegistry& r = registry();
  for (auto it = r.guarded.rbegin(); it != r.guarded.rend(); ++it) (*it)->unlock();
  r.mutex.unlock();
}

void unlockAllInChild() {
  unlockAll();
  // Resets run with the registry free, since they may take their own guarded mutex.
  for (void (*reset)() : registry().childResets) reset();
}

}  // namespace

void guardAcrossFork(std::mutex& mutex) {
  ForkRegistry& r = registry();
  std::lock_guard lock(r.mutex);
  r.guarded.push_back(&mutex);
}

void atForkChild(void (*reset)()) {
  ForkRegistry& r = registry();
  std::lock_guard lock(r.mutex);
  r.childResets.push_back(reset);
}

}  // namespace qv
