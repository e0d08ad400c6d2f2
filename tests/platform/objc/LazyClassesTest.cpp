#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/objc/Object.h"

namespace qv {
namespace {

std::atomic<int> madeCount{0};

Class makeCountedLazy() {
  ++madeCount;
  return ClassBuilder("CountedLazy", NSObjectClass()).registerClass();
}

Class makeSelfSeeking() {
  // Asking for the class being made must not start making it again.
  EXPECT_EQ(objc_getClass("SelfSeekingLazy"), Nil);
  return ClassBuilder("SelfSeekingLazy", NSObjectClass()).registerClass();
}

Class makeNeedingAnother() {
  Class base = objc_getClass("CountedLazy");
  return ClassBuilder("DerivedLazy", base).registerClass();
}

Class makeFailing() {
  throw std::runtime_error("no superclass");
}

// Each case runs in a process of its own; offering a maker twice keeps the first.
void offerClasses() {
  makeClassOnFirstLookup("CountedLazy", &makeCountedLazy);
  makeClassOnFirstLookup("SelfSeekingLazy", &makeSelfSeeking);
  makeClassOnFirstLookup("DerivedLazy", &makeNeedingAnother);
  makeClassOnFirstLookup("FailingLazy", &makeFailing);
}

TEST(LazyClasses, AClassIsMadeOnceWhenFirstAskedFor) {
  offerClasses();
  EXPECT_EQ(objc_lookUpClass("CountedLazy"), Nil) << "made before anyone asked";
  std::vector<std::thread> askers;
  std::vector<Class> answers(8, Nil);
  for (std::size_t i = 0; i < answers.size(); ++i) {
    askers.emplace_back([&answers, i] { answers[i] = objc_getClass("CountedLazy"); });
  }
  for (std::thread& asker : askers) asker.join();
  EXPECT_EQ(madeCount.load(), 1);
  for (Class answer : answers) EXPECT_EQ(answer, objc_lookUpClass("CountedLazy"));
  ASSERT_NE(answers[0], Nil);
  EXPECT_STREQ(class_getName(answers[0]), "CountedLazy");
}

TEST(LazyClasses, MakersMayAskForOtherClassesButNotForTheirOwn) {
  offerClasses();
  EXPECT_NE(objc_getClass("SelfSeekingLazy"), Nil);
  Class derived = objc_getClass("DerivedLazy");
  ASSERT_NE(derived, Nil);
  ASSERT_NE(objc_lookUpClass("CountedLazy"), Nil);
  EXPECT_EQ(class_getSuperclass(derived), objc_lookUpClass("CountedLazy"));
}

TEST(LazyClasses, AFailingMakerOrAnUnknownNameGivesNil) {
  offerClasses();
  EXPECT_EQ(objc_getClass("FailingLazy"), Nil);
  EXPECT_EQ(objc_getClass("NoSuchClassAnywhere"), Nil);
}

}  // namespace
}  // namespace qv
