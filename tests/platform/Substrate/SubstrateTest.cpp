#include "port/Substrate/Substrate.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/Seams.h"
#include "platform/objc/Object.h"
#include "tests/support/Forked.h"

extern "C" CMTime callerMakeTime(long value, int scale);
extern "C" BOOL callerAsk(id question);

namespace qv {
namespace {

std::string trace;

// A struct returned in memory, and more arguments than registers, to pin that the forwarder
// passes any call through untouched.
struct Wide {
  double a, b, c, d;
};
}  // namespace
QV_OBJC_STRUCT_ENCODING(Wide, "{Wide=dddd}");
namespace {

void baseGreet(id, SEL) {
  trace += "base;";
}
void otherBaseGreet(id, SEL) {
  trace += "base2;";
}
void ownGreet(id, SEL) {
  trace += "own;";
}
Wide baseWide(id, SEL, double x, long i1, float f, long i2, long i3, long i4, long i5, long i6,
              double y) {
  return {x + double(i1), double(f), double(i2 + i3 + i4 + i5 + i6), y};
}

struct Family {
  Class base = ClassBuilder("HookBase", NSObjectClass())
                   .method("greet", &baseGreet)
                   .method("wide:i:f:i:i:i:i:i:y:", &baseWide)
                   .registerClass();
  Class child = ClassBuilder("HookChild", base).registerClass();
  Class sibling = ClassBuilder("HookSibling", base).registerClass();
  Class owner = ClassBuilder("HookOwner", base).method("greet", &ownGreet).registerClass();
};

IMP originalGreet = nullptr;
void replacedGreet(id self, SEL cmd) {
  trace += "replacement>";
  invoke(originalGreet, self, cmd);
  trace += "<;";
}

IMP originalWide = nullptr;
Wide replacedWide(id self, SEL cmd, double x, long i1, float f, long i2, long i3, long i4, long i5,
                  long i6, double y) {
  Wide w = invoke<Wide>(originalWide, self, cmd, x, i1, f, i2, i3, i4, i5, i6, y);
  w.d += 1000;
  return w;
}

TEST(HookMessage, OwnMethodSavesTheOldImplementation) {
  test::runForked([] {
    Family family;
    MSHookMessageEx(family.owner, "greet"_sel, toIMP(&replacedGreet), &originalGreet);
    trace.clear();
    send(make(family.owner), "greet"_sel);
    send(make(family.base), "greet"_sel);
    EXPECT_EQ(trace, "replacement>own;<;base;");
  });
}

TEST(HookMessage, InheritedMethodLeavesSuperclassAndSiblingsAlone) {
  test::runForked([] {
    Family family;
    MSHookMessageEx(family.child, "greet"_sel, toIMP(&replacedGreet), &originalGreet);
    trace.clear();
    send(make(family.child), "greet"_sel);
    send(make(family.sibling), "greet"_sel);
    send(make(family.base), "greet"_sel);
    EXPECT_EQ(trace, "replacement>base;<;base;base;");

    // The forwarder looks the superclass up at every call: a later change there is seen.
    method_setImplementation(class_getInstanceMethod(family.base, "greet"_sel),
                             toIMP(&otherBaseGreet));
    trace.clear();
    send(make(family.child), "greet"_sel);
    EXPECT_EQ(trace, "replacement>base2;<;");
  });
}

TEST(HookMessage, ForwarderPassesEveryArgumentAndAStructResult) {
  test::runForked([] {
    Family family;
    MSHookMessageEx(family.child, "wide:i:f:i:i:i:i:i:y:"_sel, toIMP(&replacedWide), &originalWide);
    Wide w = send<Wide>(make(family.child), "wide:i:f:i:i:i:i:i:y:"_sel, 0.5, 2L, 1.25f, 1L, 2L, 3L,
                        4L, 5L, 7.5);
    EXPECT_EQ(w.a, 2.5);
    EXPECT_EQ(w.b, 1.25);
    EXPECT_EQ(w.c, 15.0);
    EXPECT_EQ(w.d, 1007.5);
  });
}

TEST(HookMessage, MissingSelectorChangesNothing) {
  test::runForked([] {
    Family family;
    IMP sentinel = toIMP(&ownGreet);
    IMP slot = sentinel;
    MSHookMessageEx(family.child, "absent"_sel, toIMP(&replacedGreet), &slot);
    EXPECT_EQ(slot, sentinel);
    EXPECT_FALSE(class_respondsToSelector(family.child, "absent"_sel));
    MSHookMessageEx(Nil, "greet"_sel, toIMP(&replacedGreet), &slot);
    EXPECT_EQ(slot, sentinel);
  });
}

CMTime (*originalMake)(CMTimeValue, CMTimeScale) = nullptr;
CMTime replacedMake(CMTimeValue value, CMTimeScale scale) {
  return originalMake(value * 2, scale);
}

BOOL (*originalAsk)(id) = nullptr;
BOOL replacedAsk(id question) {
  return utf8(question) == "Forced" ? YES : originalAsk(question);
}

TEST(HookFunction, ReachesCallersInOtherLibraries) {
  test::runForked([] {
    setGestaltAnswers({{"Known", true}});
    EXPECT_EQ(callerMakeTime(3, 0).flags, 0u) << "a timescale of 0 makes an invalid time";
    MSHookFunction(reinterpret_cast<void*>(&CMTimeMake), reinterpret_cast<void*>(&replacedMake),
                   reinterpret_cast<void**>(&originalMake));
    MSHookFunction(reinterpret_cast<void*>(&MGGetBoolAnswer), reinterpret_cast<void*>(&replacedAsk),
                   reinterpret_cast<void**>(&originalAsk));
    EXPECT_EQ(callerMakeTime(3, 600).value, 6);
    EXPECT_EQ(CMTimeMake(4, 600).value, 8);
    EXPECT_EQ(originalMake(4, 600).value, 4);
    EXPECT_TRUE(callerAsk("Forced"_ns));
    EXPECT_TRUE(callerAsk("Known"_ns));
    EXPECT_FALSE(callerAsk("Unknown"_ns));
  });
}

// A tweak written against the device's headers links these by their C names, and a loader
// finds them with dlsym.
TEST(HookFunction, PlatformFunctionsHaveTheirCNames) {
  for (const char* name :
       {"CMTimeMake", "CMTimeCompare", "CMTimeGetSeconds", "CMVideoFormatDescriptionGetDimensions",
        "MGGetBoolAnswer", "CFLog", "CFEqual", "CFNotificationCenterGetDarwinNotifyCenter",
        "CFNotificationCenterAddObserver", "CFNotificationCenterPostNotification",
        "CGContextFillRect", "UIGraphicsGetCurrentContext", "dispatch_after", "dispatch_time"}) {
    EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
  }
  test::runForked([] {
    void* found = dlsym(RTLD_DEFAULT, "CMTimeMake");
    ASSERT_EQ(found, reinterpret_cast<void*>(&CMTimeMake));
    MSHookFunction(found, reinterpret_cast<void*>(&replacedMake),
                   reinterpret_cast<void**>(&originalMake));
    EXPECT_EQ(callerMakeTime(3, 600).value, 6) << "hooked through the address dlsym gave";
  });
}

TEST(HookFunction, AnUnknownFunctionIsLeftAlone) {
  void* slot = nullptr;
  MSHookFunction(reinterpret_cast<void*>(&trace), reinterpret_cast<void*>(&replacedMake), &slot);
  EXPECT_EQ(slot, nullptr);
}

}  // namespace
}  // namespace qv
