#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/System/ForkSafety.h"
#include "platform/dispatch/RunLoop.h"

struct __CFNotificationCenter {};

namespace qv {
namespace {

__CFNotificationCenter darwinCenter;

using PostHandler = std::function<void(const std::string&)>;

struct Registration {
  std::uint64_t id;
  const void* observer;
  CFNotificationCallback callback;
  std::string name;
  CFNotificationSuspensionBehavior behavior;
};

struct CenterState {
  std::mutex mutex;
  std::vector<Registration> registrations;  // in the order they were made
  std::uint64_t nextId = 1;
  bool suspended = false;
  std::vector<std::uint64_t> kept;  // registrations owed a delivery, in arrival order
  std::shared_ptr<const PostHandler> postHandler;
};

CenterState& centerState() {
  static CenterState* state = [] {
    auto* created = new CenterState;
    guardAcrossFork(created->mutex);
    return created;
  }();
  return *state;
}

void checkCenter(CFNotificationCenterRef center, const char* caller) {
  if (center != &darwinCenter) {
    raise("NSInvalidArgumentException",
          std::string(caller) + ": the center is not the Darwin notify center");
  }
}

std::string checkedName(CFStringRef name, const char* caller) {
  if (name == nullptr) {
    raise("NSInvalidArgumentException",
          std::string(caller) + ": the Darwin notify center needs a name");
  }
  return utf8(bridge<id>(name));
}

bool isKnownBehavior(CFNotificationSuspensionBehavior behavior) {
  return behavior >= CFNotificationSuspensionBehaviorDrop &&
         behavior <= CFNotificationSuspensionBehaviorDeliverImmediately;
}

// Calls each registration that still exists when its turn comes: a callback may remove
// observers, its own included.
void deliver(const std::vector<std::uint64_t>& ids) {
  CenterState& state = centerState();
  for (const std::uint64_t id : ids) {
    Registration target;
    {
      std::lock_guard lock(state.mutex);
      auto found = std::find_if(state.registrations.begin(), state.registrations.end(),
                                [&](const Registration& r) { return r.id == id; });
      if (found == state.registrations.end()) continue;
      target = *found;
    }
    Ref<> name = makeString(target.name);
    target.callback(&darwinCenter, const_cast<void*>(target.observer),
                    bridge<CFStringRef>(name.get()), nullptr, nullptr);
  }
}

void deliverOnMainThread(std::vector<std::uint64_t> ids) {
  if (ids.empty()) return;
  MainRunLoop::post([ids = std::move(ids)] { deliver(ids); });
}

// Files the arrival with the suspension rules; answers the registrations to deliver to now.
std::vector<std::uint64_t> arrive(CenterState& state, const std::string& name) {
  std::vector<std::uint64_t> now;
  for (const Registration& r : state.registrations) {
    if (r.name != name) continue;
    if (!state.suspended || r.behavior == CFNotificationSuspensionBehaviorDeliverImmediately) {
      now.push_back(r.id);
    } else if (r.behavior == CFNotificationSuspensionBehaviorHold ||
               (r.behavior == CFNotificationSuspensionBehaviorCoalesce &&
                std::find(state.kept.begin(), state.kept.end(), r.id) == state.kept.end())) {
      state.kept.push_back(r.id);
    }
  }
  return now;
}

template <typename Predicate>
void removeRegistrations(CFNotificationCenterRef center, const char* caller, Predicate matches) {
  checkCenter(center, caller);
  CenterState& state = centerState();
  std::lock_guard lock(state.mutex);
  for (auto r = state.registrations.begin(); r != state.registrations.end();) {
    if (!matches(*r)) {
      ++r;
      continue;
    }
    std::erase(state.kept, r->id);
    r = state.registrations.erase(r);
  }
}

}  // namespace

void setDarwinPostHandler(std::function<void(const std::string& name)> handler) {
  auto installed = handler ? std::make_shared<const PostHandler>(std::move(handler)) : nullptr;
  CenterState& state = centerState();
  std::lock_guard lock(state.mutex);
  state.postHandler = std::move(installed);
}

void deliverDarwinNotification(const std::string& name) {
  CenterState& state = centerState();
  std::vector<std::uint64_t> now;
  {
    std::lock_guard lock(state.mutex);
    now = arrive(state, name);
  }
  deliverOnMainThread(std::move(now));
}

void setProcessSuspended(bool suspended) {
  CenterState& state = centerState();
  std::vector<std::uint64_t> kept;
  {
    std::lock_guard lock(state.mutex);
    state.suspended = suspended;
    if (!suspended) kept = std::exchange(state.kept, {});
  }
  deliverOnMainThread(std::move(kept));
}

}  // namespace qv

extern "C" {

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter() {
  return &qv::darwinCenter;
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void*,
                                     CFNotificationSuspensionBehavior behavior) {
  static constexpr const char* kCaller = "CFNotificationCenterAddObserver";
  qv::checkCenter(center, kCaller);
  std::string key = qv::checkedName(name, kCaller);
  if (callback == nullptr)
    qv::raise("NSInvalidArgumentException", "CFNotificationCenterAddObserver: NULL callback");
  if (!qv::isKnownBehavior(behavior)) {
    qv::raise("NSInvalidArgumentException",
              "CFNotificationCenterAddObserver: unknown suspension behavior " +
                  std::to_string(static_cast<long>(behavior)));
  }
  qv::CenterState& state = qv::centerState();
  std::lock_guard lock(state.mutex);
  for (qv::Registration& r : state.registrations) {
    if (r.observer == observer && r.callback == callback && r.name == key) {
      r.behavior = behavior;
      return;
    }
  }
  state.registrations.push_back({state.nextId++, observer, callback, std::move(key), behavior});
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer,
                                        CFStringRef name, const void*) {
  const std::string key = name != nullptr ? qv::utf8(qv::bridge<id>(name)) : std::string();
  qv::removeRegistrations(center, "CFNotificationCenterRemoveObserver",
                          [&](const qv::Registration& r) {
                            return r.observer == observer && (name == nullptr || r.name == key);
                          });
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer) {
  qv::removeRegistrations(center, "CFNotificationCenterRemoveEveryObserver",
                          [&](const qv::Registration& r) { return r.observer == observer; });
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name,
                                          const void*, CFDictionaryRef, Boolean) {
  static constexpr const char* kCaller = "CFNotificationCenterPostNotification";
  qv::checkCenter(center, kCaller);
  const std::string key = qv::checkedName(name, kCaller);
  qv::CenterState& state = qv::centerState();
  std::shared_ptr<const qv::PostHandler> handler;
  {
    std::lock_guard lock(state.mutex);
    handler = state.postHandler;
  }
  if (handler) {
    (*handler)(key);
  } else {
    qv::deliverDarwinNotification(key);
  }
}

}  // extern "C"
