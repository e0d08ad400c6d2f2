// UIActionSheet: a list of buttons rising from the bottom of the view it is shown in, over the
// dimmed view, with an optional title on top. Buttons are numbered: the destructive button
// first, if any, then the other titles in the order given, then the cancel button, which stands
// apart at the bottom. The view holds the sheet while it shows; a press or a dismissal takes it
// away. Its delegate is not retained.
#include <algorithm>
#include <cstdarg>
#include <vector>

#include "platform/UIKit/ButtonPanel.h"

namespace qv::ui {
namespace {

constexpr double kSide = 8;
constexpr double kButtonHeight = 44;
constexpr double kTitleHeight = 36;
constexpr double kCancelGap = 8;
constexpr double kCornerRadius = 4;
constexpr double kDimAlpha = 0.4;

const text::Font kTitleFont{"DejaVu Sans", false, false, 13};
const text::Font kButtonFont{"DejaVu Sans", false, false, 19};
const text::Font kCancelFont{"DejaVu Sans", true, false, 19};

struct SheetState : panel::PanelState {
  NSInteger destructiveButtonIndex = -1;
};

using Shared = panel::Methods<SheetState>;

SheetState& state(id self) {
  return stateOf<SheetState>(self);
}

Class sheetClass();

struct SheetLayout {
  CGRect group = CGRectZero;  // the title and every button but cancel
  CGRect cancel = CGRectZero;
  std::vector<CGRect> buttons;  // by index
};

SheetLayout layoutOf(id self) {
  const SheetState& s = state(self);
  const CGRect bounds = viewState(self).bounds;
  const double width = bounds.size.width - 2 * kSide;
  const auto count = static_cast<NSInteger>(s.buttonTitles.size());
  const NSInteger grouped = count - (s.cancelButtonIndex >= 0 ? 1 : 0);
  const double titleHeight = s.title ? kTitleHeight : 0;
  double bottom = bounds.size.height - kSide;
  SheetLayout layout;
  layout.buttons.resize(static_cast<std::size_t>(count), CGRectZero);
  if (s.cancelButtonIndex >= 0) {
    layout.cancel = CGRectMake(kSide, bottom - kButtonHeight, width, kButtonHeight);
    layout.buttons[static_cast<std::size_t>(s.cancelButtonIndex)] = layout.cancel;
    bottom -= kButtonHeight + kCancelGap;
  }
  const double groupHeight = titleHeight + grouped * kButtonHeight;
  layout.group = CGRectMake(kSide, bottom - groupHeight, width, groupHeight);
  double y = layout.group.origin.y + titleHeight;
  for (NSInteger i = 0; i < count; ++i) {
    if (i == s.cancelButtonIndex) continue;
    layout.buttons[static_cast<std::size_t>(i)] = CGRectMake(kSide, y, width, kButtonHeight);
    y += kButtonHeight;
  }
  return layout;
}

void fillRounded(CGRect rect) {
  send(makeColor(0.97, 0.97, 0.97, 1), "setFill"_sel);
  send(send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel, rect,
                CGFloat{kCornerRadius}),
       "fill"_sel);
}

void drawRect(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const SheetState& s = state(self);
  const SheetLayout layout = layoutOf(self);
  CGContextSetRGBFillColor(context, 0, 0, 0, kDimAlpha);
  CGContextFillRect(context, viewState(self).bounds);
  fillRounded(layout.group);
  if (s.cancelButtonIndex >= 0) fillRounded(layout.cancel);
  Ref<> grey(makeColor(0.45, 0.45, 0.45, 1));
  const double titleLine = text::lineHeight(kTitleFont);
  panel::drawCentred(
      context, s.title, kTitleFont,
      CGRectMake(layout.group.origin.x, layout.group.origin.y + (kTitleHeight - titleLine) / 2,
                 layout.group.size.width, titleLine),
      cgColorOf(grey));
  Ref<> red(makeColor(1, 59 / 255.0, 48 / 255.0, 1));
  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    const CGRect f = layout.buttons[i];
    const auto index = static_cast<NSInteger>(i);
    if (index != s.cancelButtonIndex && (s.title || f.origin.y > layout.group.origin.y)) {
      panel::drawHairline(context, f.origin, CGPointMake(CGRectGetMaxX(f), f.origin.y));
    }
    const text::Font& font = index == s.cancelButtonIndex ? kCancelFont : kButtonFont;
    const double height = text::lineHeight(font);
    id color = index == s.destructiveButtonIndex ? red.get() : panel::tintColor();
    panel::drawCentred(
        context, s.buttonTitles[i], font,
        CGRectMake(f.origin.x, f.origin.y + (f.size.height - height) / 2, f.size.width, height),
        cgColorOf(color));
  }
}

void layoutSubviews(id self, SEL) {
  const SheetLayout layout = layoutOf(self);
  std::vector<panel::ButtonFrame> buttons;
  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    buttons.push_back({static_cast<NSInteger>(i), layout.buttons[i]});
  }
  panel::placeButtonControls(self, state(self), buttons);
}

bool pressButton(id sheet, NSInteger index);

void buttonTapped(id self, SEL, id control) {
  pressButton(self, send<NSInteger>(control, "tag"_sel));
}

NSInteger destructiveButtonIndex(id self, SEL) {
  return state(self).destructiveButtonIndex;
}

void showInView(id self, SEL, id view) {
  if (state(self).visible || view == nil) return;
  panel::present(self, state(self), view, "willPresentActionSheet:"_sel,
                 "didPresentActionSheet:"_sel);
}

void dismiss(id self, SEL, NSInteger index, BOOL) {
  panel::dismiss(self, state(self), index, "actionSheet:willDismissWithButtonIndex:"_sel,
                 "actionSheet:didDismissWithButtonIndex:"_sel);
}

id initWithFrame(id self, SEL, CGRect frame) {
  return panel::initPanelWithFrame(self, sheetClass(), frame);
}

id initWithTitle(id self, SEL, id title, id delegate, id cancelTitle, id destructiveTitle,
                 id otherTitles, ...) {
  self = send<id>(self, "initWithFrame:"_sel, CGRectZero);
  if (self == nil) return nil;
  SheetState& s = state(self);
  s.title = adopt(send<id>(title, "copy"_sel));
  s.delegate = delegate;
  if (destructiveTitle != nil) {
    s.destructiveButtonIndex = Shared::addButtonWithTitle(self, nullptr, destructiveTitle);
  }
  va_list more;
  va_start(more, otherTitles);
  panel::appendTitles(s.buttonTitles, otherTitles, more);
  va_end(more);
  if (cancelTitle != nil)
    s.cancelButtonIndex = Shared::addButtonWithTitle(self, nullptr, cancelTitle);
  return self;
}

Class sheetClass() {
  static const Class cls =
      Shared::addTo(ClassBuilder("UIActionSheet", viewClass())
                        .state<SheetState>("_sheetState")
                        .method("initWithFrame:", &initWithFrame)
                        .method("initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:"
                                "otherButtonTitles:",
                                toIMP(&initWithTitle), "@@:@@@@@"))
          .method("destructiveButtonIndex", &destructiveButtonIndex)
          .method("layoutSubviews", &layoutSubviews)
          .method("_buttonTapped:", &buttonTapped)
          .method("showInView:", &showInView)
          .method("dismissWithClickedButtonIndex:animated:", &dismiss)
          .method("drawRect:", &drawRect)
          .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerActionSheet() {
  sheetClass();
}

bool isShownSheet(id view) {
  return isKindOf(view, sheetClass()) && state(view).visible;
}

bool pressButton(id sheet, NSInteger index) {
  return panel::press(sheet, state(sheet).visible, state(sheet).buttonTitles.size(), index,
                      "actionSheet:clickedButtonAtIndex:"_sel, &dismiss);
}

}  // namespace

std::vector<id> visibleActionSheets() {
  return panel::shownPanels(&isShownSheet);
}

bool pressActionSheetButton(id sheet, NSInteger index) {
  return isKindOf(sheet, sheetClass()) && pressButton(sheet, index);
}

}  // namespace qv::ui
