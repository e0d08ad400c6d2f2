// Bar buttons and navigation bars. A UIBarButtonItem is a title, a style and a target-action
// pair (the target is not retained); a UINavigationItem holds its title and its left and right
// bar button items; a UINavigationBar is a view that holds its navigation items in order and
// draws the top one: the title in the middle, the left button at the left, the right button at
// the right, each under a control that takes its touches.
#include <string_view>
#include <vector>

#include "platform/UIKit/ButtonPanel.h"

namespace qv::ui {
namespace {

constexpr double kBarSide = 8;
const text::Font kBarTitleFont{"DejaVu Sans", true, false, 17};
const text::Font kBarButtonFont{"DejaVu Sans", false, false, 17};

// UIBarButtonItem.

struct ItemState {
  Ref<> title;
  NSInteger style = 0;
  id target = nil;  // not retained
  SEL action = nullptr;
};

id initItem(id self, SEL, id title, NSInteger style, id target, SEL action) {
  ItemState& item = stateOf<ItemState>(self);
  item.title = adopt(send<id>(title, "copy"_sel));
  item.style = style;
  item.target = target;
  item.action = action;
  return self;
}

id itemTitle(id self, SEL) {
  return stateOf<ItemState>(self).title;
}
NSInteger itemStyle(id self, SEL) {
  return stateOf<ItemState>(self).style;
}
id itemTarget(id self, SEL) {
  return stateOf<ItemState>(self).target;
}
SEL itemAction(id self, SEL) {
  return stateOf<ItemState>(self).action;
}

Class barButtonItemClass() {
  static const Class cls = ClassBuilder("UIBarButtonItem", NSObjectClass())
                               .state<ItemState>("_itemState")
                               .method("initWithTitle:style:target:action:", &initItem)
                               .method("title", &itemTitle)
                               .method("style", &itemStyle)
                               .method("target", &itemTarget)
                               .method("action", &itemAction)
                               .registerClass();
  return cls;
}

// UINavigationItem.

struct NavigationItemState {
  Ref<> title;
  Ref<> left;
  Ref<> right;
  id bar = nil;  // the bar that shows it, to redraw
};

NavigationItemState& navigationItem(id self) {
  return stateOf<NavigationItemState>(self);
}

id initNavigationItem(id self, SEL, id title) {
  navigationItem(self).title = adopt(send<id>(title, "copy"_sel));
  return self;
}

id navigationTitle(id self, SEL) {
  return navigationItem(self).title;
}

template <Ref<> NavigationItemState::*Side>
id barItem(id self, SEL) {
  return navigationItem(self).*Side;
}

template <Ref<> NavigationItemState::*Side>
void setBarItemAnimated(id self, SEL, id item, BOOL) {
  navigationItem(self).*Side = Ref<>(item);
  send(navigationItem(self).bar, "setNeedsLayout"_sel);
  send(navigationItem(self).bar, "setNeedsDisplay"_sel);
}

template <Ref<> NavigationItemState::*Side>
void setBarItem(id self, SEL, id item) {
  setBarItemAnimated<Side>(self, nullptr, item, NO);
}

Class navigationItemClass() {
  using S = NavigationItemState;
  static const Class cls =
      ClassBuilder("UINavigationItem", NSObjectClass())
          .state<S>("_navigationItemState")
          .method("initWithTitle:", &initNavigationItem)
          .method("title", &navigationTitle)
          .method("leftBarButtonItem", &barItem<&S::left>)
          .method("setLeftBarButtonItem:", &setBarItem<&S::left>)
          .method("setLeftBarButtonItem:animated:", &setBarItemAnimated<&S::left>)
          .method("rightBarButtonItem", &barItem<&S::right>)
          .method("setRightBarButtonItem:", &setBarItem<&S::right>)
          .method("setRightBarButtonItem:animated:", &setBarItemAnimated<&S::right>)
          .registerClass();
  return cls;
}

// UINavigationBar.

struct BarState {
  std::vector<Ref<>> items;
  Ref<> leftControl;  // over the top item's buttons
  Ref<> rightControl;
};

BarState& bar(id self) {
  return stateOf<BarState>(self);
}

void setItemsAnimated(id self, SEL, id items, BOOL) {
  for (const Ref<>& item : bar(self).items) navigationItem(item).bar = nil;
  bar(self).items.clear();
  for (id item : arrayElements(items)) {
    bar(self).items.emplace_back(item);
    navigationItem(item).bar = self;
  }
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

void setItems(id self, SEL, id items) {
  setItemsAnimated(self, nullptr, items, NO);
}

void pushNavigationItem(id self, SEL, id item, BOOL) {
  if (item == nil) return;
  bar(self).items.emplace_back(item);
  navigationItem(item).bar = self;
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

id items(id self, SEL) {
  return arrayOf(bar(self).items);
}

id topItem(id self, SEL) {
  return bar(self).items.empty() ? nil : bar(self).items.back().get();
}

void deallocBar(id self, SEL);

void drawButton(CGContextRef context, id item, CGRect bounds, text::Alignment alignment) {
  if (item == nil) return;
  text::DrawOptions options;
  options.alignment = alignment;
  const double height = text::lineHeight(kBarButtonFont);
  text::draw(context, utf8(stateOf<ItemState>(item).title), kBarButtonFont,
             cgColorOf(panel::tintColor()),
             CGRectMake(kBarSide, (bounds.size.height - height) / 2,
                        bounds.size.width - 2 * kBarSide, height),
             options);
}

void drawBar(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = viewState(self).bounds;
  CGContextSetRGBFillColor(context, 0.97, 0.97, 0.97, 0.94);
  CGContextFillRect(context, bounds);
  panel::drawHairline(context, CGPointMake(0, bounds.size.height),
                      CGPointMake(bounds.size.width, bounds.size.height));
  id top = topItem(self, nullptr);
  if (top == nil) return;
  const double height = text::lineHeight(kBarTitleFont);
  Ref<> black(makeColor(0, 0, 0, 1));
  panel::drawCentred(context, navigationItem(top).title, kBarTitleFont,
                     CGRectMake(0, (bounds.size.height - height) / 2, bounds.size.width, height),
                     cgColorOf(black));
  drawButton(context, navigationItem(top).left, bounds, text::Alignment::left);
  drawButton(context, navigationItem(top).right, bounds, text::Alignment::right);
}

// Where a button's title is drawn, with the bar's margin around it, the bar's height.
CGRect buttonArea(id item, CGRect bounds, bool right) {
  const double width =
      text::lineSize(utf8(stateOf<ItemState>(item).title), kBarButtonFont).width + 2 * kBarSide;
  return CGRectMake(right ? bounds.size.width - width : 0, 0, width, bounds.size.height);
}

// The control over the top item's button on one side; none without a button there.
void placeButtonControl(id self, Ref<> BarState::*side, id item, bool right) {
  Ref<>& control = bar(self).*side;
  if (item == nil) {
    send(control, "removeFromSuperview"_sel);
    control = Ref<>();
    return;
  }
  if (!control) {
    control =
        adopt(send<id>(send<id>(controlClass(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero));
    send(control, "addTarget:action:forControlEvents:"_sel, self, "_buttonTapped:"_sel,
         UIControlEvents{UIControlEventTouchUpInside});
    send(self, "addSubview:"_sel, control.get());
  }
  send(control, "setFrame:"_sel, buttonArea(item, viewState(self).bounds, right));
  send(control, "setAccessibilityLabel:"_sel, stateOf<ItemState>(item).title.get());
}

void layoutBar(id self, SEL) {
  id top = topItem(self, nullptr);
  placeButtonControl(self, &BarState::leftControl, top ? navigationItem(top).left.get() : nil,
                     false);
  placeButtonControl(self, &BarState::rightControl, top ? navigationItem(top).right.get() : nil,
                     true);
}

void buttonTapped(id self, SEL, id control) {
  id top = topItem(self, nullptr);
  if (top == nil) return;
  id item = control == bar(self).leftControl.get() ? navigationItem(top).left.get()
                                                   : navigationItem(top).right.get();
  pressBarButton(item);
}

Class navigationBarClass() {
  static const Class cls = ClassBuilder("UINavigationBar", viewClass())
                               .state<BarState>("_barState")
                               .method("items", &items)
                               .method("setItems:", &setItems)
                               .method("setItems:animated:", &setItemsAnimated)
                               .method("pushNavigationItem:animated:", &pushNavigationItem)
                               .method("topItem", &topItem)
                               .method("dealloc", &deallocBar)
                               .method("layoutSubviews", &layoutBar)
                               .method("_buttonTapped:", &buttonTapped)
                               .method("drawRect:", &drawBar)
                               .registerClass();
  return cls;
}

void deallocBar(id self, SEL) {
  for (const Ref<>& item : bar(self).items) navigationItem(item).bar = nil;
  sendSuper(self, navigationBarClass(), "dealloc"_sel);
}

__attribute__((constructor(130))) void registerBars() {
  barButtonItemClass();
  navigationItemClass();
  navigationBarClass();
}

}  // namespace

bool pressBarButton(id item) {
  if (!isKindOf(item, barButtonItemClass())) return false;
  const ItemState& state = stateOf<ItemState>(item);
  if (state.target == nil || state.action == nullptr) return false;
  Ref<> held(item);
  // As the platform does, the sender goes along only to an action that takes an argument.
  if (std::string_view(sel_getName(state.action)).ends_with(':')) {
    send(state.target, state.action, item);
  } else {
    send(state.target, state.action);
  }
  return true;
}

}  // namespace qv::ui
