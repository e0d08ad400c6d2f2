// UIAlertView and UITextField: the variadic initializer's buttons, the fields of each style,
// showing in the key window, a press's delegate calls, and showing again.
#include <gtest/gtest.h>

#include <string>

#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

std::string calls;

void clicked(id, SEL, id alert, NSInteger index) {
  calls += "clicked " + std::to_string(index) +
           (send<BOOL>(alert, "isVisible"_sel) ? " shown" : "") + "; ";
}
void willDismiss(id, SEL, id, NSInteger index) {
  calls += "will dismiss " + std::to_string(index) + "; ";
}
void didDismiss(id alert, SEL, id, NSInteger index) {
  calls += "did dismiss " + std::to_string(index) + "; ";
  (void)alert;
}

Class delegateClass() {
  static const Class cls = ClassBuilder("AlertTestDelegate", NSObjectClass())
                               .method("alertView:clickedButtonAtIndex:", &clicked)
                               .method("alertView:willDismissWithButtonIndex:", &willDismiss)
                               .method("alertView:didDismissWithButtonIndex:", &didDismiss)
                               .registerClass();
  return cls;
}

class Alerts : public ::testing::Test {
 protected:
  Alerts() {
    send(window, "makeKeyAndVisible"_sel);
    calls.clear();
  }

  // Through the initializer's exact variadic type, as callers compiled against it call it.
  Ref<> makeAlert(id title, id cancel, id first, id second) {
    return adopt(sendVarargs<id, id, id, id, id, id>(
        send<id>(objc_getClass("UIAlertView"), "alloc"_sel),
        "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:"_sel, title,
        "Enter new FPS"_ns, delegate.get(), cancel, first, second, nil));
  }

  static std::string buttonsOf(id alert) {
    std::string titles;
    for (NSInteger i = 0; i < send<NSInteger>(alert, "numberOfButtons"_sel); ++i) {
      titles += std::to_string(i) + " " + utf8(send<id>(alert, "buttonTitleAtIndex:"_sel, i)) + ";";
    }
    return titles;
  }

  AutoreleasePool pool;
  Ref<> window = adopt(send<id>(send<id>(objc_getClass("UIWindow"), "alloc"_sel),
                                "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568)));
  Ref<> delegate = make(delegateClass());
};

TEST_F(Alerts, ButtonsAreNumberedCancelFirst) {
  Ref<> alert = makeAlert(nil, "Cancel"_ns, "Set"_ns, "Auto Set"_ns);
  EXPECT_EQ(buttonsOf(alert), "0 Cancel;1 Set;2 Auto Set;");
  EXPECT_EQ(send<NSInteger>(alert, "cancelButtonIndex"_sel), 0);
  EXPECT_EQ(send<id>(alert, "title"_sel), nil);
  Ref<> noCancel = makeAlert("Title"_ns, nil, "One"_ns, nil);
  EXPECT_EQ(buttonsOf(noCancel), "0 One;");
  EXPECT_EQ(send<NSInteger>(noCancel, "cancelButtonIndex"_sel), -1);
  EXPECT_EQ(retainCount(delegate), 1u) << "the delegate is not retained";
}

TEST_F(Alerts, EachStyleHasItsFields) {
  Ref<> alert = makeAlert(nil, "Cancel"_ns, nil, nil);
  EXPECT_THROW(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0}), ObjCException);
  send(alert, "setAlertViewStyle:"_sel, NSInteger{UIAlertViewStylePlainTextInput});
  id field = send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0});
  ASSERT_TRUE(isKindOf(field, objc_getClass("UITextField")));
  EXPECT_EQ(utf8(send<id>(field, "text"_sel)), "") << "empty, never nil";
  EXPECT_NE(send<id>(field, "text"_sel), nil);
  try {
    send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{1});
    ADD_FAILURE() << "no second field";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSRangeException");
  }
  send(alert, "setAlertViewStyle:"_sel, NSInteger{UIAlertViewStyleLoginAndPasswordInput});
  EXPECT_FALSE(
      send<BOOL>(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0}), "isSecureTextEntry"_sel));
  EXPECT_TRUE(
      send<BOOL>(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{1}), "isSecureTextEntry"_sel));
}

TEST_F(Alerts, APressCallsTheDelegateThenDismissesAndTheAlertCanShowAgain) {
  Ref<> alert = makeAlert(nil, "Cancel"_ns, "Set"_ns, nil);
  send(alert, "setAlertViewStyle:"_sel, NSInteger{UIAlertViewStylePlainTextInput});
  EXPECT_FALSE(pressAlertButton(alert, 1)) << "not on screen";
  send(alert, "show"_sel);
  send(alert, "show"_sel);
  EXPECT_EQ(visibleAlerts(), std::vector<id>{alert.get()}) << "shown once";
  EXPECT_EQ(send<id>(alert, "superview"_sel), window.get());
  EXPECT_EQ(tap(window, CGPointMake(10, 10), 1).landedOn.get(), alert.get())
      << "it takes every touch";
  send(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0}), "setText:"_sel, "500"_ns);
  EXPECT_FALSE(pressAlertButton(alert, 2));
  EXPECT_TRUE(pressAlertButton(alert, 1));
  EXPECT_EQ(calls, "clicked 1 shown; will dismiss 1; did dismiss 1; ");
  EXPECT_TRUE(visibleAlerts().empty());
  EXPECT_EQ(retainCount(alert), 1u) << "the window let go";
  send(alert, "show"_sel);
  EXPECT_EQ(visibleAlerts(), std::vector<id>{alert.get()});
  EXPECT_EQ(utf8(send<id>(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0}), "text"_sel)),
            "500");
  send(alert, "dismissWithClickedButtonIndex:animated:"_sel, NSInteger{0}, BOOL{NO});
  EXPECT_TRUE(visibleAlerts().empty());
}

TEST_F(Alerts, WithoutAKeyWindowNothingShows) {
  Ref<> alert = makeAlert(nil, "Cancel"_ns, nil, nil);
  window = nullptr;
  send(alert, "show"_sel);
  EXPECT_FALSE(send<BOOL>(alert, "isVisible"_sel));
  EXPECT_TRUE(visibleAlerts().empty());
}

}  // namespace
}  // namespace qv::ui
