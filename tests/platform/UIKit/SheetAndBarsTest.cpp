// UIActionSheet, bar button items and navigation bars: the variadic initializer's indices, the
// tag, showing in a view, a press's delegate calls in order, and bar buttons sending their
// action to their target.
#include <gtest/gtest.h>

#include <string>

#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

std::string calls;

void clicked(id, SEL, id sheet, NSInteger index) {
  calls += "clicked " + std::to_string(index) +
           (send<BOOL>(sheet, "isVisible"_sel) ? " shown" : "") + "; ";
}
void willDismiss(id, SEL, id, NSInteger index) {
  calls += "will dismiss " + std::to_string(index) + "; ";
}
void didDismiss(id, SEL, id, NSInteger index) {
  calls += "did dismiss " + std::to_string(index) + "; ";
}
void pressed(id, SEL, id item) {
  calls += "pressed " + utf8(send<id>(item, "title"_sel)) + "; ";
}
void pressedBare(id, SEL) {
  calls += "pressed; ";
}

Class delegateClass() {
  static const Class cls = ClassBuilder("SheetTestDelegate", NSObjectClass())
                               .method("actionSheet:clickedButtonAtIndex:", &clicked)
                               .method("actionSheet:willDismissWithButtonIndex:", &willDismiss)
                               .method("actionSheet:didDismissWithButtonIndex:", &didDismiss)
                               .method("buttonPressed:", &pressed)
                               .method("buttonPressed", &pressedBare)
                               .registerClass();
  return cls;
}

class Panels : public ::testing::Test {
 protected:
  Panels() {
    send(window, "makeKeyAndVisible"_sel);
    calls.clear();
  }

  // Through the initializer's exact variadic type, as callers compiled against it call it.
  Ref<> makeSheet(id title, id cancel, id destructive, id first, id second) {
    return adopt(sendVarargs<id, id, id, id, id, id>(
        send<id>(objc_getClass("UIActionSheet"), "alloc"_sel),
        "initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:"_sel,
        title, delegate.get(), cancel, destructive, first, second, nil));
  }

  static std::string buttonsOf(id sheet) {
    std::string titles;
    for (NSInteger i = 0; i < send<NSInteger>(sheet, "numberOfButtons"_sel); ++i) {
      titles += std::to_string(i) + " " + utf8(send<id>(sheet, "buttonTitleAtIndex:"_sel, i)) + ";";
    }
    return titles;
  }

  Ref<> makeItem(id title, id target, SEL action) {
    return adopt(send<id>(send<id>(objc_getClass("UIBarButtonItem"), "alloc"_sel),
                          "initWithTitle:style:target:action:"_sel, title, NSInteger{0}, target,
                          action));
  }

  AutoreleasePool pool;
  Ref<> window = adopt(send<id>(send<id>(objc_getClass("UIWindow"), "alloc"_sel),
                                "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568)));
  Ref<> delegate = make(delegateClass());
};

TEST_F(Panels, OtherButtonsComeFirstThenCancelWithoutADestructiveOne) {
  Ref<> sheet = makeSheet(nil, "Cancel"_ns, nil, "Save Slo-mo"_ns, "Done"_ns);
  EXPECT_EQ(buttonsOf(sheet), "0 Save Slo-mo;1 Done;2 Cancel;");
  EXPECT_EQ(send<NSInteger>(sheet, "cancelButtonIndex"_sel), 2);
  EXPECT_EQ(send<NSInteger>(sheet, "destructiveButtonIndex"_sel), -1);
  EXPECT_EQ(send<id>(sheet, "title"_sel), nil);
  EXPECT_EQ(send<id>(sheet, "delegate"_sel), delegate.get());
  EXPECT_EQ(retainCount(delegate), 1u) << "the delegate is not retained";

  Ref<> destructive = makeSheet("Title"_ns, "Cancel"_ns, "Delete"_ns, "Keep"_ns, nil);
  EXPECT_EQ(buttonsOf(destructive), "0 Delete;1 Keep;2 Cancel;");
  EXPECT_EQ(send<NSInteger>(destructive, "destructiveButtonIndex"_sel), 0);
  Ref<> bare = makeSheet(nil, nil, nil, nil, nil);
  EXPECT_EQ(send<NSInteger>(bare, "numberOfButtons"_sel), 0);
  EXPECT_EQ(send<NSInteger>(bare, "cancelButtonIndex"_sel), -1);
}

TEST_F(Panels, ASheetShowsInItsViewKeepsItsTagAndGoesAfterAPress) {
  Ref<> sheet = makeSheet(nil, "Cancel"_ns, nil, "Save Slo-mo"_ns, "Done"_ns);
  send(sheet.get(), "setTag:"_sel, NSInteger{95969596});
  EXPECT_TRUE(visibleActionSheets().empty());
  EXPECT_FALSE(pressActionSheetButton(sheet, 0)) << "not on screen";

  Ref<> content = adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel),
                                 "initWithFrame:"_sel, CGRectMake(0, 20, 320, 548)));
  send(window.get(), "addSubview:"_sel, content.get());
  send(sheet.get(), "showInView:"_sel, content.get());
  EXPECT_EQ(send<CGRect>(sheet.get(), "frame"_sel).size.height, 548);
  ASSERT_EQ(visibleActionSheets().size(), 1u) << "found inside the window's views";
  EXPECT_EQ(visibleActionSheets()[0], sheet.get());
  EXPECT_EQ(send<NSInteger>(visibleActionSheets()[0], "tag"_sel), 95969596);

  EXPECT_FALSE(pressActionSheetButton(sheet, 3)) << "no such button";
  EXPECT_FALSE(pressActionSheetButton(window, 0)) << "not a sheet";
  EXPECT_EQ(calls, "");
  const std::size_t held = retainCount(sheet);
  EXPECT_TRUE(pressActionSheetButton(sheet, 1));
  EXPECT_EQ(calls, "clicked 1 shown; will dismiss 1; did dismiss 1; ");
  EXPECT_TRUE(visibleActionSheets().empty());
  EXPECT_EQ(retainCount(sheet), held - 1) << "the view let go of it";
  EXPECT_FALSE(pressActionSheetButton(sheet, 1)) << "gone";
}

TEST_F(Panels, ABarButtonSendsItsActionToItsTarget) {
  Ref<> item = makeItem("Save Slo-mo"_ns, delegate, "buttonPressed:"_sel);
  EXPECT_EQ(send<NSInteger>(item.get(), "style"_sel), 0);
  EXPECT_EQ(send<id>(item.get(), "target"_sel), delegate.get());
  EXPECT_EQ(retainCount(delegate), 1u) << "the target is not retained";
  EXPECT_TRUE(pressBarButton(item));
  EXPECT_EQ(calls, "pressed Save Slo-mo; ");
  EXPECT_TRUE(pressBarButton(makeItem("Bare"_ns, delegate, "buttonPressed"_sel)))
      << "an action without an argument gets no sender";
  EXPECT_EQ(calls, "pressed Save Slo-mo; pressed; ");
  calls = "pressed Save Slo-mo; ";
  EXPECT_FALSE(pressBarButton(makeItem("Nothing"_ns, nil, "buttonPressed:"_sel)));
  EXPECT_FALSE(pressBarButton(makeItem("Nothing"_ns, delegate, nullptr)));
  EXPECT_FALSE(pressBarButton(delegate)) << "not a bar button";
  EXPECT_EQ(calls, "pressed Save Slo-mo; ");
}

TEST_F(Panels, NavigationItemsKeepTheirButtonsAndTheBarKeepsItsItemsInOrder) {
  Ref<> back = adopt(send<id>(send<id>(objc_getClass("UINavigationItem"), "alloc"_sel),
                              "initWithTitle:"_sel, "Camera Roll"_ns));
  Ref<> top = adopt(send<id>(send<id>(objc_getClass("UINavigationItem"), "alloc"_sel),
                             "initWithTitle:"_sel, "IMG_0001.MOV"_ns));
  Ref<> bar = adopt(send<id>(send<id>(objc_getClass("UINavigationBar"), "alloc"_sel),
                             "initWithFrame:"_sel, CGRectMake(0, 20, 320, 44)));
  send(bar.get(), "pushNavigationItem:animated:"_sel, back.get(), NO);
  send(bar.get(), "pushNavigationItem:animated:"_sel, top.get(), YES);
  const std::vector<id> items = arrayElements(send<id>(bar.get(), "items"_sel));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], back.get());
  EXPECT_EQ(send<id>(bar.get(), "topItem"_sel), top.get());

  {
    AutoreleasePool inner;
    Ref<> button = makeItem("Edit"_ns, delegate, "buttonPressed:"_sel);
    send(top.get(), "setRightBarButtonItem:animated:"_sel, button.get(), YES);
  }
  id right = send<id>(top.get(), "rightBarButtonItem"_sel);
  ASSERT_NE(right, nil) << "the item keeps its own reference";
  EXPECT_EQ(utf8(send<id>(right, "title"_sel)), "Edit");
  EXPECT_EQ(send<id>(back.get(), "rightBarButtonItem"_sel), nil);

  send(bar.get(), "setItems:"_sel, makeArray({top.get()}).get());
  EXPECT_EQ(arrayElements(send<id>(bar.get(), "items"_sel)).size(), 1u);
  bar = nullptr;  // the items outlive the bar that showed them
  send(top.get(), "setLeftBarButtonItem:"_sel, right);
  EXPECT_EQ(send<id>(top.get(), "leftBarButtonItem"_sel), right);
}

}  // namespace
}  // namespace qv::ui
