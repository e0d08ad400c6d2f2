#include <gtest/gtest.h>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

TEST(AssertionHandler, RaisesWithTheFailureLineAndTheExactDescription) {
  AutoreleasePool pool;
  id handler = send<id>(objc_getClass("NSAssertionHandler"), "currentHandler"_sel);
  ASSERT_NE(handler, nil);
  EXPECT_EQ(handler, send<id>(objc_getClass("NSAssertionHandler"), "currentHandler"_sel));
  Ref<> object = make(NSObjectClass());
  try {
    sendVarargs<void, SEL, id, id, NSInteger, id>(
        handler, "handleFailureInMethod:object:file:lineNumber:description:"_sel,
        sel_registerName("initWithView:"), object.get(), "../RuvelProgressHUD"_ns, NSInteger(214),
        "View must not be %@ (%d)."_ns, "nil"_ns, 7);
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
    EXPECT_EQ(e.reason(),
              "*** Assertion failure in -[NSObject initWithView:], ../RuvelProgressHUD:214\n"
              "View must not be nil (7).");
  }
}

TEST(AssertionHandler, FunctionFailuresNameTheFunction) {
  AutoreleasePool pool;
  id handler = send<id>(objc_getClass("NSAssertionHandler"), "currentHandler"_sel);
  try {
    sendVarargs<void, id, id, NSInteger, id>(
        handler, "handleFailureInFunction:file:lineNumber:description:"_sel, "showNotice"_ns,
        "Notice.cpp"_ns, NSInteger(3), "no view"_ns);
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.reason(), "*** Assertion failure in showNotice, Notice.cpp:3\nno view");
  }
}

}  // namespace
}  // namespace qv
