#include <gtest/gtest.h>

#include <thread>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/dispatch/RunLoop.h"

namespace {

// An observer records each delivery as "observer:name" into its trace.
struct Observer {
  std::string label;
  std::string* trace;
};

void record(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
            CFDictionaryRef userInfo) {
  auto* self = static_cast<Observer*>(observer);
  std::string event = self->label + ":" + qv::utf8(qv::bridge<id>(name));
  if (center != CFNotificationCenterGetDarwinNotifyCenter()) event += "(wrong center)";
  if (object != nullptr || userInfo != nullptr) event += "(payload)";
  if (!qv::MainRunLoop::isMainThread()) event += "(off main)";
  *self->trace += self->trace->empty() ? event : " " + event;
}

class DarwinNotifyCenterTest : public ::testing::Test {
 protected:
  void SetUp() override { qv::MainRunLoop::adoptCurrentThread(); }
  void TearDown() override {
    for (Observer* o : {&a, &b, &c}) CFNotificationCenterRemoveEveryObserver(center, o);
    qv::setDarwinPostHandler(nullptr);
    qv::setProcessSuspended(false);
    qv::MainRunLoop::runUntilIdle();
  }

  void observe(Observer& observer, CFStringRef name,
               CFNotificationSuspensionBehavior behavior =
                   CFNotificationSuspensionBehaviorDeliverImmediately) {
    CFNotificationCenterAddObserver(center, &observer, &record, name, nullptr, behavior);
  }
  void post(CFStringRef name) {
    CFNotificationCenterPostNotification(center, name, nullptr, nullptr, true);
  }
  std::string delivered() {
    qv::MainRunLoop::runUntilIdle();
    return std::exchange(trace, "");
  }

  CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
  std::string trace;
  Observer a{"a", &trace};
  Observer b{"b", &trace};
  Observer c{"c", &trace};
};

TEST_F(DarwinNotifyCenterTest, DeliversOnTheMainRunLoopInRegistrationOrder) {
  observe(b, CFSTR("com.Tovi.Halvenor.prefs"));
  observe(c, CFSTR("other"));
  observe(a, CFSTR("com.Tovi.Halvenor.prefs"));
  observe(a, CFSTR("com.Tovi.Halvenor.prefs"), CFNotificationSuspensionBehaviorCoalesce);
  post(CFSTR("com.Tovi.Halvenor.prefs"));
  EXPECT_EQ(trace, "") << "delivered during the post";
  EXPECT_EQ(delivered(), "b:com.Tovi.Halvenor.prefs a:com.Tovi.Halvenor.prefs");
  post(CFSTR("unobserved"));
  EXPECT_EQ(delivered(), "");
}

TEST_F(DarwinNotifyCenterTest, PayloadIsDroppedAndPostsFromOtherThreadsArriveOnMain) {
  observe(a, CFSTR("n"));
  qv::Ref<> object = qv::makeString("object");
  std::thread poster([&] {
    CFNotificationCenterPostNotification(center, CFSTR("n"), object.get(), nullptr, false);
  });
  poster.join();
  EXPECT_EQ(delivered(), "a:n");
}

TEST_F(DarwinNotifyCenterTest, RemovedObserversAreNotCalled) {
  observe(a, CFSTR("x"));
  observe(a, CFSTR("y"));
  observe(b, CFSTR("x"));
  observe(c, CFSTR("x"));
  CFNotificationCenterRemoveObserver(center, &a, CFSTR("x"), nullptr);
  post(CFSTR("x"));
  post(CFSTR("y"));
  EXPECT_EQ(delivered(), "b:x c:x a:y");

  // Removed after the post but before its delivery: the observer's memory may be gone.
  post(CFSTR("x"));
  post(CFSTR("y"));
  CFNotificationCenterRemoveObserver(center, &a, nullptr, nullptr);
  CFNotificationCenterRemoveEveryObserver(center, &b);
  EXPECT_EQ(delivered(), "c:x");
}

TEST_F(DarwinNotifyCenterTest, PostHandlerCarriesPostsAndDeliveryComesFromOutside) {
  std::vector<std::string> carried;
  qv::setDarwinPostHandler([&](const std::string& name) { carried.push_back(name); });
  observe(a, CFSTR("com.Tovi.Halvenor.prefs"));
  post(CFSTR("com.Tovi.Halvenor.prefs"));
  EXPECT_EQ(delivered(), "");
  EXPECT_EQ(carried, std::vector<std::string>{"com.Tovi.Halvenor.prefs"});
  qv::deliverDarwinNotification("com.Tovi.Halvenor.prefs");
  EXPECT_EQ(delivered(), "a:com.Tovi.Halvenor.prefs");

  qv::setDarwinPostHandler(nullptr);
  post(CFSTR("com.Tovi.Halvenor.prefs"));
  EXPECT_EQ(delivered(), "a:com.Tovi.Halvenor.prefs");
  EXPECT_EQ(carried.size(), 1u);
}

TEST_F(DarwinNotifyCenterTest, SuspensionBehaviorsKeepDropOrDeliver) {
  observe(a, CFSTR("n"), CFNotificationSuspensionBehaviorDrop);
  observe(b, CFSTR("n"), CFNotificationSuspensionBehaviorCoalesce);
  observe(c, CFSTR("n"), CFNotificationSuspensionBehaviorHold);
  Observer now{"now", &trace};
  observe(now, CFSTR("n"), CFNotificationSuspensionBehaviorDeliverImmediately);
  observe(b, CFSTR("m"), CFNotificationSuspensionBehaviorCoalesce);

  qv::setProcessSuspended(true);
  post(CFSTR("n"));
  post(CFSTR("m"));
  post(CFSTR("n"));
  EXPECT_EQ(delivered(), "now:n now:n");
  qv::setProcessSuspended(false);
  EXPECT_EQ(delivered(), "b:n c:n b:m c:n");

  post(CFSTR("n"));
  EXPECT_EQ(delivered(), "a:n b:n c:n now:n");
  CFNotificationCenterRemoveEveryObserver(center, &now);

  // What was kept for an observer that is gone is forgotten with it.
  qv::setProcessSuspended(true);
  post(CFSTR("n"));
  CFNotificationCenterRemoveEveryObserver(center, &c);
  observe(c, CFSTR("n"), CFNotificationSuspensionBehaviorHold);
  qv::setProcessSuspended(false);
  EXPECT_EQ(delivered(), "b:n");
}

// A callback may remove an observer that comes after it for the same notification.
TEST_F(DarwinNotifyCenterTest, CallbackMayRemoveALaterObserver) {
  static Observer* removed = nullptr;
  removed = &b;
  CFNotificationCenterAddObserver(
      center, &a,
      [](CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
         CFDictionaryRef info) {
        record(center, observer, name, object, info);
        CFNotificationCenterRemoveEveryObserver(center, removed);
      },
      CFSTR("n"), nullptr, CFNotificationSuspensionBehaviorCoalesce);
  observe(b, CFSTR("n"));
  post(CFSTR("n"));
  EXPECT_EQ(delivered(), "a:n");
}

TEST_F(DarwinNotifyCenterTest, BadArgumentsAreRefused) {
  auto refused = [](auto call) {
    try {
      call();
    } catch (const qv::ObjCException& e) {
      return e.name() == "NSInvalidArgumentException";
    }
    return false;
  };
  auto add = [&](CFNotificationCenterRef to, CFNotificationCallback callback, CFStringRef name,
                 long behavior) {
    CFNotificationCenterAddObserver(to, &a, callback, name, nullptr,
                                    static_cast<CFNotificationSuspensionBehavior>(behavior));
  };
  int otherCenter = 0;
  auto* wrongCenter = reinterpret_cast<CFNotificationCenterRef>(&otherCenter);
  EXPECT_TRUE(refused([&] { add(center, &record, nullptr, 3); }));
  EXPECT_TRUE(refused([&] { add(center, nullptr, CFSTR("n"), 3); }));
  EXPECT_TRUE(refused([&] { add(center, &record, CFSTR("n"), 0); }));
  EXPECT_TRUE(refused([&] { add(center, &record, CFSTR("n"), 5); }));
  EXPECT_TRUE(refused([&] { add(wrongCenter, &record, CFSTR("n"), 3); }));
  EXPECT_TRUE(refused([&] { post(nullptr); }));
  EXPECT_TRUE(refused(
      [&] { CFNotificationCenterPostNotification(nullptr, CFSTR("n"), nullptr, nullptr, false); }));
  EXPECT_TRUE(refused([&] { CFNotificationCenterRemoveEveryObserver(nullptr, &a); }));
  post(CFSTR("n"));
  EXPECT_EQ(delivered(), "");
}

}  // namespace
