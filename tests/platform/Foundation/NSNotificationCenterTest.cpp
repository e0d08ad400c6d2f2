#include <gtest/gtest.h>

#include <string>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

std::string& trace() {
  static std::string text;
  return text;
}

struct Listener {
  std::string name;
  id center = nil;
  id removeOnCall = nil;
};

void heard(id self, SEL, id notification) {
  auto& state = stateOf<Listener>(self);
  trace() += state.name + ":" + utf8(send<id>(notification, "name"_sel));
  id info = send<id>(notification, "userInfo"_sel);
  if (info != nil) trace() += "+info";
  trace() += ";";
  if (state.removeOnCall != nil) send(state.center, "removeObserver:"_sel, state.removeOnCall);
}

Class listenerClass() {
  static const Class cls = ClassBuilder("NotificationListener", NSObjectClass())
                               .state<Listener>()
                               .method("heard:", &heard)
                               .registerClass();
  return cls;
}

class NotificationCenter : public ::testing::Test {
 protected:
  void SetUp() override { trace().clear(); }
  Ref<> listener(const char* name) {
    Ref<> made = make(listenerClass());
    stateOf<Listener>(made).name = name;
    stateOf<Listener>(made).center = center;
    return made;
  }
  void listen(id who, const char* name, id object = nil) {
    send(center, "addObserver:selector:name:object:"_sel, who, "heard:"_sel,
         name != nullptr ? makeString(name).get() : nil, object);
  }
  void post(const char* name, id object = nil) {
    send(center, "postNotificationName:object:"_sel, makeString(name).get(), object);
  }

  AutoreleasePool pool;
  id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"_sel);
};

TEST_F(NotificationCenter, DeliversByNameAndSenderInRegistrationOrder) {
  Ref<> a = listener("a"), b = listener("b"), c = listener("c");
  Ref<> sender = make(NSObjectClass());
  listen(a, "Turned");
  listen(b, nullptr);           // every name
  listen(c, "Turned", sender);  // only from that sender
  post("Turned");
  post("Other");
  post("Turned", sender);
  EXPECT_EQ(trace(), "a:Turned;b:Turned;b:Other;a:Turned;b:Turned;c:Turned;");
  for (id who : {a.get(), b.get(), c.get()}) send(center, "removeObserver:"_sel, who);
}

TEST_F(NotificationCenter, CarriesUserInfoAndTheNotificationObject) {
  Ref<> a = listener("a");
  listen(a, "UIApplicationDidChangeStatusBarOrientationNotification");
  Ref<> info = makeDictionary({});
  send(center, "postNotificationName:object:userInfo:"_sel,
       makeString("UIApplicationDidChangeStatusBarOrientationNotification").get(), nil, info.get());
  EXPECT_EQ(trace(), "a:UIApplicationDidChangeStatusBarOrientationNotification+info;");
  send(center, "removeObserver:"_sel, a.get());
}

TEST_F(NotificationCenter, RemovalByNameLeavesOtherSubscriptions) {
  Ref<> a = listener("a");
  listen(a, "One");
  listen(a, "Two");
  send(center, "removeObserver:name:object:"_sel, a.get(), makeString("One").get(), nil);
  post("One");
  post("Two");
  EXPECT_EQ(trace(), "a:Two;");
  send(center, "removeObserver:"_sel, a.get());
  post("Two");
  EXPECT_EQ(trace(), "a:Two;");
}

TEST_F(NotificationCenter, ObserversAreNotRetainedAndRemovedOnesAreNotCalled) {
  Ref<> a = listener("a");
  const auto before = retainCount(a);
  listen(a, "Ping");
  EXPECT_EQ(retainCount(a), before);

  Ref<> b = listener("b");
  listen(b, "Ping");
  stateOf<Listener>(a).removeOnCall = b;
  post("Ping");
  EXPECT_EQ(trace(), "a:Ping;");
  send(center, "removeObserver:"_sel, a.get());
}

TEST_F(NotificationCenter, PostingWithoutANameRaises) {
  EXPECT_THROW(send(center, "postNotificationName:object:"_sel, nil, nil), ObjCException);
}

}  // namespace
}  // namespace qv
