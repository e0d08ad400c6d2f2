// NSNotification and NSNotificationCenter: synchronous delivery on the posting thread, in
// registration order. Observers are not retained, as on the platform.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Foundation/FoundationRuntime.h"

namespace qv {
namespace {

struct NotificationState {
  Ref<> name;
  Ref<> object;
  Ref<> userInfo;
};

id notificationName(id self, SEL) {
  return stateOf<NotificationState>(self).name;
}
id notificationObject(id self, SEL) {
  return stateOf<NotificationState>(self).object;
}
id notificationUserInfo(id self, SEL) {
  return stateOf<NotificationState>(self).userInfo;
}

id notificationInit(id self, SEL, id name, id object, id userInfo) {
  auto& state = stateOf<NotificationState>(self);
  state.name = adopt(send<id>(name, "copy"_sel));
  state.object = Ref<>(object);
  state.userInfo = Ref<>(userInfo);
  return self;
}

id notificationWithNameObjectUserInfo(id cls, SEL, id name, id object, id userInfo) {
  id made = send<id>(send<id>(cls, "alloc"_sel), "initWithName:object:userInfo:"_sel, name, object,
                     userInfo);
  return autorelease(made);
}

id notificationWithNameObject(id cls, SEL, id name, id object) {
  return notificationWithNameObjectUserInfo(cls, nullptr, name, object, nil);
}

Class notificationClass() {
  static const Class cls =
      ClassBuilder("NSNotification", NSObjectClass())
          .state<NotificationState>()
          .method("name", &notificationName)
          .method("object", &notificationObject)
          .method("userInfo", &notificationUserInfo)
          .method("initWithName:object:userInfo:", &notificationInit)
          .classMethod("notificationWithName:object:", &notificationWithNameObject)
          .classMethod("notificationWithName:object:userInfo:", &notificationWithNameObjectUserInfo)
          .registerClass();
  return cls;
}

struct Registration {
  std::uint64_t serial;
  id observer;
  SEL selector;
  std::optional<std::string> name;  // none: every name
  id object;                        // nil: every sender
};

struct CenterState {
  std::mutex mutex;
  std::uint64_t lastSerial = 0;
  std::vector<Registration> registrations;

  bool stillRegistered(std::uint64_t serial) {
    std::lock_guard lock(mutex);
    for (const Registration& r : registrations) {
      if (r.serial == serial) return true;
    }
    return false;
  }
};

void addObserver(id self, SEL, id observer, SEL selector, id name, id object) {
  if (observer == nil || selector == nullptr) {
    raise("NSInvalidArgumentException",
          methodName(self, "addObserver:selector:name:object:"_sel) + ": nil observer or selector");
  }
  auto& state = stateOf<CenterState>(self);
  std::optional<std::string> filter;
  if (name != nil) filter = utf8(name);
  std::lock_guard lock(state.mutex);
  state.registrations.push_back({++state.lastSerial, observer, selector, filter, object});
}

void removeObserverNameObject(id self, SEL, id observer, id name, id object) {
  auto& state = stateOf<CenterState>(self);
  std::optional<std::string> filter;
  if (name != nil) filter = utf8(name);
  std::lock_guard lock(state.mutex);
  std::erase_if(state.registrations, [&](const Registration& r) {
    return r.observer == observer && (!filter || r.name == filter) &&
           (object == nil || r.object == object);
  });
}

void removeObserver(id self, SEL, id observer) {
  removeObserverNameObject(self, nullptr, observer, nil, nil);
}

void postNotification(id self, SEL, id notification) {
  id name = send<id>(notification, "name"_sel);
  if (name == nil) {
    raise("NSInvalidArgumentException",
          methodName(self, "postNotification:"_sel) + ": a notification needs a name");
  }
  const std::string text = utf8(name);
  id sender = send<id>(notification, "object"_sel);
  auto& state = stateOf<CenterState>(self);
  std::vector<Registration> matching;
  {
    std::lock_guard lock(state.mutex);
    for (const Registration& r : state.registrations) {
      if ((!r.name || *r.name == text) && (r.object == nil || r.object == sender)) {
        matching.push_back(r);
      }
    }
  }
  Ref<> keepAlive(notification);
  for (const Registration& r : matching) {
    // An observer may remove another (and let it go) while the notification is delivered.
    if (state.stillRegistered(r.serial)) send(r.observer, r.selector, notification);
  }
}

void postNameObjectUserInfo(id self, SEL, id name, id object, id userInfo) {
  Ref<> notification = adopt(send<id>(send<id>(notificationClass(), "alloc"_sel),
                                      "initWithName:object:userInfo:"_sel, name, object, userInfo));
  postNotification(self, nullptr, notification);
}

void postNameObject(id self, SEL, id name, id object) {
  postNameObjectUserInfo(self, nullptr, name, object, nil);
}

Class centerClass();

id defaultCenter(id, SEL) {
  static const id center = send<id>(send<id>(centerClass(), "alloc"_sel), "init"_sel);
  return center;
}

Class centerClass() {
  static const Class cls =
      ClassBuilder("NSNotificationCenter", NSObjectClass())
          .state<CenterState>()
          .method("addObserver:selector:name:object:", &addObserver)
          .method("removeObserver:", &removeObserver)
          .method("removeObserver:name:object:", &removeObserverNameObject)
          .method("postNotification:", &postNotification)
          .method("postNotificationName:object:", &postNameObject)
          .method("postNotificationName:object:userInfo:", &postNameObjectUserInfo)
          .classMethod("defaultCenter", &defaultCenter)
          .registerClass();
  return cls;
}

__attribute__((constructor(120))) void registerNotificationClasses() {
  notificationClass();
  centerClass();
}

}  // namespace
}  // namespace qv
