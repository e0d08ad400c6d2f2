#include <gtest/gtest.h>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"

namespace qv {
namespace {

struct Point3 {
  double x, y, z;
};

}  // namespace

QV_OBJC_STRUCT_ENCODING(Point3, "{Point3=ddd}");

namespace {

int answer(id, SEL) {
  return 42;
}
float half(id, SEL, float value) {
  return value / 2;
}
double twice(id, SEL, double value) {
  return value * 2;
}
Point3 point(id, SEL, long n) {
  return {double(n), double(n + 1), double(n + 2)};
}
BOOL yes(id, SEL) {
  return YES;
}
id selfOf(id self, SEL) {
  return self;
}
long sum(id, SEL, long a, unsigned long b) {
  return a + long(b);
}

Class messageTarget() {
  static Class cls = ClassBuilder("MessageTarget", NSObjectClass())
                         .method("answer", &answer)
                         .method("half:", &half)
                         .method("twice:", &twice)
                         .method("point:", &point)
                         .method("yes", &yes)
                         .method("me", &selfOf)
                         .method("sum:plus:", &sum)
                         .registerClass();
  return cls;
}

TEST(Send, CallsThroughTheExactFunctionType) {
  AutoreleasePool pool;
  Ref<> target = make(messageTarget());
  EXPECT_EQ(send<int>(target, "answer"_sel), 42);
  EXPECT_EQ(send<float>(target, "half:"_sel, 3.0f), 1.5f);
  EXPECT_EQ(send<double>(target, "twice:"_sel, 0.25), 0.5);
  EXPECT_EQ(send<long>(target, "sum:plus:"_sel, -5L, 7UL), 2);
  EXPECT_EQ(send<id>(target, "me"_sel), target.get());
  Point3 p = send<Point3>(target, "point:"_sel, 4L);
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.z, 6);
}

TEST(Send, NilReceiverAnswersZeroWithoutACall) {
  EXPECT_EQ(send<id>(nil, "me"_sel), nil);
  EXPECT_EQ(send<BOOL>(nil, "yes"_sel), NO);
  EXPECT_EQ(send<int>(nil, "answer"_sel), 0);
  EXPECT_EQ(send<long>(nil, "sum:plus:"_sel, 1L, 2UL), 0);
  EXPECT_EQ(send<float>(nil, "half:"_sel, 3.0f), 0.0f);
  EXPECT_EQ(send<double>(nil, "twice:"_sel, 3.0), 0.0);
  Point3 p = send<Point3>(nil, "point:"_sel, 4L);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(p.z, 0);
  send(nil, "anything"_sel);
}

TEST(Send, UnknownSelectorRaisesNamingClassAndSelector) {
  AutoreleasePool pool;
  Ref<> target = make(messageTarget());
  try {
    send(target, "frobnicate:"_sel, nil);
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSInvalidArgumentException");
    EXPECT_EQ(e.reason(), "-[MessageTarget frobnicate:]: unrecognized selector sent to instance");
  }
  // A struct-returning call site shifts the arguments of the forwarding function.
  EXPECT_THROW(send<Point3>(target, "unknownPoint"_sel), ObjCException);
  try {
    send(messageTarget(), "classFrobnicate"_sel);
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.reason(), "+[MessageTarget classFrobnicate]: unrecognized selector sent to class");
  }
}

#ifndef NDEBUG
TEST(Send, DebugBuildsRefuseACallThroughTheWrongSignature) {
  AutoreleasePool pool;
  Ref<> target = make(messageTarget());
  try {
    send<float>(target, "half:"_sel, 3.0);  // a double where a float is declared
    FAIL() << "no exception";
  } catch (const SignatureMismatch& e) {
    EXPECT_STREQ(e.what(),
                 "Calling -[MessageTarget half:] with incorrect signature: method has 'f@:f', "
                 "call has 'f@:d'");
  }
  EXPECT_THROW(send<long>(target, "sum:plus:"_sel, 1, 2UL), SignatureMismatch);
  EXPECT_THROW(send<double>(target, "answer"_sel), SignatureMismatch);
}
#endif

TEST(Encoding, SpellingsOfOneCallAreCompatible) {
  EXPECT_TRUE(encodingsCompatible("v@:@q", "v@:@l"));
  EXPECT_TRUE(encodingsCompatible("B@:", "C@:"));
  EXPECT_TRUE(encodingsCompatible("v24@0:8@16", "v@:@"));
  EXPECT_TRUE(encodingsCompatible("v@:@@^v", "v@:@@^{Opaque=i}"));
  EXPECT_TRUE(encodingsCompatible("{CGRect={CGPoint=dd}{CGSize=dd}}@:", "{CGRect=}@:"));
  EXPECT_FALSE(encodingsCompatible("v@:Q", "v@:q"));
  EXPECT_FALSE(encodingsCompatible("v@:f", "v@:d"));
  EXPECT_FALSE(encodingsCompatible("v@:", "v@:@"));
  EXPECT_EQ((methodEncoding<void, id, long>()), "v@:@q");
  EXPECT_EQ((methodEncoding<BOOL>()), "C@:");
}

}  // namespace
}  // namespace qv
