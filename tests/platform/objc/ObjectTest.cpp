#include <gtest/gtest.h>

#include <string>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"

namespace qv {
namespace {

std::string& trace() {
  static std::string text;
  return text;
}

struct Counted {
  std::string name = "made";
  Counted() { trace() += "construct;"; }
  ~Counted() { trace() += "destroy:" + name + ";"; }
};

struct Derived {
  int value = 7;
  ~Derived() { trace() += "derived;"; }
};

void setName(id self, SEL, const char* name) {
  stateOf<Counted>(self).name = name;
}
void derivedDealloc(id self, SEL) {
  trace() += "dealloc;";
  sendSuper(self, objc_getClass("DerivedCounted"), "dealloc"_sel);
}
const char* who(id, SEL) {
  return "base";
}
const char* derivedWho(id self, SEL) {
  return sendSuper<const char*>(self, objc_getClass("DerivedCounted"), "who"_sel);
}

struct Classes {
  Class base = ClassBuilder("CountedObject", NSObjectClass())
                   .state<Counted>()
                   .method("setName:", &setName)
                   .method("who", &who)
                   .registerClass();
  Class derived = ClassBuilder("DerivedCounted", base)
                      .state<Derived>("_derived")
                      .ivar<id>("_targets")
                      .method("dealloc", &derivedDealloc)
                      .method("who", &derivedWho)
                      .registerClass();
};

const Classes& classes() {
  static Classes c;
  return c;
}

TEST(Object, StatesLiveFromAllocToDeallocDerivedFirst) {
  trace().clear();
  {
    Ref<> object = make(classes().derived);
    EXPECT_EQ(stateOf<Derived>(object).value, 7);
    send(object, "setName:"_sel, "renamed");
    EXPECT_EQ(trace(), "construct;");
  }
  EXPECT_EQ(trace(), "construct;dealloc;derived;destroy:renamed;");
}

TEST(Object, RetainCountsAndHandles) {
  Ref<> object = make(classes().base);
  EXPECT_EQ(retainCount(object), 1u);
  {
    Ref<> second = object;
    EXPECT_EQ(retainCount(object), 2u);
    Ref<> moved = std::move(second);
    EXPECT_EQ(retainCount(object), 2u);
  }
  EXPECT_EQ(retainCount(object), 1u);
}

TEST(Object, AutoreleasedObjectsGoWhenTheirPoolDrains) {
  trace().clear();
  {
    AutoreleasePool outer;
    {
      AutoreleasePool inner;
      autorelease(make(classes().base).leak());
      EXPECT_EQ(pendingAutoreleases(), 1u);
    }
    EXPECT_EQ(trace(), "construct;destroy:made;");
    id pool = send<id>(send<id>(objc_getClass("NSAutoreleasePool"), "alloc"_sel), "init"_sel);
    autorelease(make(classes().base).leak());
    send(pool, "drain"_sel);
    EXPECT_EQ(trace(), "construct;destroy:made;construct;destroy:made;");
  }
  EXPECT_EQ(pendingAutoreleases(), 0u);
}

TEST(Object, AnEmptyInnerPoolLeavesTheOuterOneInPlace) {
  trace().clear();
  {
    AutoreleasePool outer;
    { AutoreleasePool inner; }  // nothing autoreleased: both pools begin at the same object
    autorelease(make(classes().base).leak());
    EXPECT_EQ(pendingAutoreleases(), 1u) << "the object went to the outer pool";
  }
  EXPECT_EQ(trace(), "construct;destroy:made;");
}

TEST(Object, RootMethodsAnswerAsThePlatformDoes) {
  Ref<> object = make(classes().derived);
  EXPECT_TRUE(send<BOOL>(object, "isKindOfClass:"_sel, classes().base));
  EXPECT_FALSE(send<BOOL>(object, "isMemberOfClass:"_sel, classes().base));
  EXPECT_TRUE(send<BOOL>(object, "respondsToSelector:"_sel, "setName:"_sel));
  EXPECT_FALSE(send<BOOL>(object, "respondsToSelector:"_sel, "frobnicate"_sel));
  EXPECT_EQ(send<Class>(object, "class"_sel), classes().derived);
  EXPECT_STREQ(send<const char*>(object, "who"_sel), "base");
  EXPECT_TRUE(send<BOOL>(classes().derived, "isSubclassOfClass:"_sel, NSObjectClass()));
  // Classes are not reference counted.
  send(classes().base, "release"_sel);
  EXPECT_EQ(send<id>(classes().base, "retain"_sel), asId(classes().base));
  Ivar targets = class_getInstanceVariable(classes().derived, "_targets");
  ASSERT_NE(targets, nullptr);
  EXPECT_EQ(object_getIvar(object, targets), nil);
}

TEST(Object, AnExistingClassNameIsRefused) {
  classes();
  EXPECT_THROW(ClassBuilder("CountedObject", NSObjectClass()).registerClass(), ObjCException);
}

// A subclass's state in an ivar of its superclass's name was laid over the superclass's state.
TEST(Object, AnIvarNamedAsTheSuperclassesIsRefused) {
  EXPECT_THROW(ClassBuilder("HidingCounted", classes().base).state<Derived>(), ObjCException);
  EXPECT_THROW(ClassBuilder("HidingTargets", classes().derived).ivar<id>("_targets"),
               ObjCException);
}

}  // namespace
}  // namespace qv
