// UIAlertView: a modal panel in the middle of the key window over the dimmed screen, with an
// optional title, a message, the text fields of its style and its buttons, numbered in the
// order given, cancel first. Shown, it is the key window's frontmost child, which holds it and
// takes every touch; dismissed, it leaves the window and may be shown again, its fields keeping
// their text. Its delegate is not retained.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <string>
#include <vector>

#include "platform/UIKit/ButtonPanel.h"

namespace qv::ui {
namespace {

constexpr double kPanelWidth = 270;
constexpr double kSide = 16;  // text and fields inside the panel's edges
constexpr double kTop = 20;
constexpr double kTitleGap = 4;
constexpr double kFieldGap = 14;
constexpr double kFieldHeight = 24;
constexpr double kBottom = 20;
constexpr double kButtonHeight = 44;
constexpr double kCornerRadius = 7;
constexpr double kDimAlpha = 0.4;

const text::Font kTitleFont{"DejaVu Sans", true, false, 17};
const text::Font kMessageFont{"DejaVu Sans", false, false, 13};
const text::Font kButtonFont{"DejaVu Sans", false, false, 17};
const text::Font kCancelFont{"DejaVu Sans", true, false, 17};
const text::Font kFieldFont{"DejaVu Sans", false, false, 13};

struct AlertState : panel::PanelState {
  Ref<> message;
  NSInteger style = UIAlertViewStyleDefault;
  std::vector<Ref<>> textFields;
};

using Shared = panel::Methods<AlertState>;

AlertState& state(id self) {
  return stateOf<AlertState>(self);
}

Class alertClass();

// Where everything goes, in the alert's own space (the window's bounds).
struct AlertLayout {
  using Button = panel::ButtonFrame;
  CGRect panel = CGRectZero;
  CGRect title = CGRectZero;
  CGRect message = CGRectZero;
  std::vector<CGRect> fields;
  std::vector<Button> buttons;
  double buttonsTop = 0;
  bool sideBySide = false;
};

// Without a title the message reads as one, in the title's font.
const text::Font& messageFont(id self) {
  return state(self).title ? kMessageFont : kTitleFont;
}

double textHeight(id text, const text::Font& font) {
  if (text == nil || utf8(text).empty()) return 0;
  return std::ceil(text::wrappedSize(utf8(text), font, {kPanelWidth - 2 * kSide, 0}).height);
}

// Two buttons sit side by side, cancel on the left; more are stacked, cancel at the bottom.
std::vector<NSInteger> buttonOrder(id self) {
  const AlertState& s = state(self);
  std::vector<NSInteger> order;
  for (NSInteger i = 0; i < static_cast<NSInteger>(s.buttonTitles.size()); ++i) {
    if (i != s.cancelButtonIndex) order.push_back(i);
  }
  if (s.cancelButtonIndex >= 0) {
    const auto at = s.buttonTitles.size() == 2 ? order.begin() : order.end();
    order.insert(at, s.cancelButtonIndex);
  }
  return order;
}

AlertLayout layoutOf(id self) {
  const AlertState& s = state(self);
  AlertLayout layout;
  const double width = kPanelWidth - 2 * kSide;
  double y = kTop;
  const double titleHeight = textHeight(s.title, kTitleFont);
  layout.title = CGRectMake(kSide, y, width, titleHeight);
  y += titleHeight;
  const double messageHeight = textHeight(s.message, messageFont(self));
  if (titleHeight > 0 && messageHeight > 0) y += kTitleGap;
  layout.message = CGRectMake(kSide, y, width, messageHeight);
  y += messageHeight;
  if (!s.textFields.empty()) y += kFieldGap;
  for (std::size_t i = 0; i < s.textFields.size(); ++i, y += kFieldHeight) {
    layout.fields.push_back(CGRectMake(kSide, y, width, kFieldHeight));
  }
  y += kBottom;
  layout.buttonsTop = y;
  const std::vector<NSInteger> order = buttonOrder(self);
  layout.sideBySide = order.size() == 2;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const CGRect frame = layout.sideBySide
                             ? CGRectMake(i * kPanelWidth / 2, y, kPanelWidth / 2, kButtonHeight)
                             : CGRectMake(0, y + i * kButtonHeight, kPanelWidth, kButtonHeight);
    layout.buttons.push_back({order[i], frame});
  }
  const double height = y + (layout.sideBySide ? 1 : order.size()) * kButtonHeight;
  const CGRect bounds = viewState(self).bounds;
  layout.panel = CGRectMake(std::round((bounds.size.width - kPanelWidth) / 2),
                            std::round((bounds.size.height - height) / 2), kPanelWidth, height);
  // Everything above is relative to the panel: move it into the alert's space.
  const auto place = [&](CGRect& r) {
    r.origin.x += layout.panel.origin.x, r.origin.y += layout.panel.origin.y;
  };
  place(layout.title);
  place(layout.message);
  for (CGRect& field : layout.fields) place(field);
  for (AlertLayout::Button& button : layout.buttons) place(button.frame);
  layout.buttonsTop += layout.panel.origin.y;
  return layout;
}

// Drawing.

using panel::drawCentred;
using panel::drawHairline;

void drawButtons(id self, CGContextRef context, const AlertLayout& layout) {
  id tint = panel::tintColor();
  for (const AlertLayout::Button& button : layout.buttons) {
    const CGRect f = button.frame;
    drawHairline(context, f.origin, CGPointMake(CGRectGetMaxX(f), f.origin.y));
    if (layout.sideBySide && f.origin.x > layout.panel.origin.x) {
      drawHairline(context, f.origin, CGPointMake(f.origin.x, CGRectGetMaxY(f)));
    }
    const text::Font& font =
        button.index == state(self).cancelButtonIndex ? kCancelFont : kButtonFont;
    const double height = text::lineHeight(font);
    drawCentred(
        context, state(self).buttonTitles[button.index], font,
        CGRectMake(f.origin.x, f.origin.y + (f.size.height - height) / 2, f.size.width, height),
        cgColorOf(tint));
  }
}

void drawRect(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const AlertLayout layout = layoutOf(self);
  CGContextSetRGBFillColor(context, 0, 0, 0, kDimAlpha);
  CGContextFillRect(context, viewState(self).bounds);
  send(makeColor(0.97, 0.97, 0.97, 1), "setFill"_sel);
  send(send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                layout.panel, CGFloat{kCornerRadius}),
       "fill"_sel);
  Ref<> black(makeColor(0, 0, 0, 1));
  drawCentred(context, state(self).title, kTitleFont, layout.title, cgColorOf(black));
  drawCentred(context, state(self).message, messageFont(self), layout.message, cgColorOf(black));
  drawButtons(self, context, layout);
}

void layoutSubviews(id self, SEL) {
  const AlertLayout layout = layoutOf(self);
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    send(state(self).textFields[i], "setFrame:"_sel, layout.fields[i]);
  }
  panel::placeButtonControls(self, state(self), layout.buttons);
}

bool pressButton(id alert, NSInteger index);

void buttonTapped(id self, SEL, id control) {
  pressButton(self, send<NSInteger>(control, "tag"_sel));
}

// Buttons and fields.

void setCancelButtonIndex(id self, SEL, NSInteger index) {
  state(self).cancelButtonIndex = index;
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

std::size_t fieldCount(NSInteger style) {
  switch (style) {
    case UIAlertViewStyleSecureTextInput:
    case UIAlertViewStylePlainTextInput:
      return 1;
    case UIAlertViewStyleLoginAndPasswordInput:
      return 2;
    default:
      return 0;
  }
}

Ref<> makeField(bool secure) {
  Ref<> field = adopt(send<id>(send<id>(objc_getClass("UITextField"), "alloc"_sel),
                               "initWithFrame:"_sel, CGRectMake(0, 0, 0, kFieldHeight)));
  send(field, "setFont:"_sel, makeFont(kFieldFont));
  send(field, "setBorderStyle:"_sel, NSInteger{UITextBorderStyleLine});
  send(field, "setBackgroundColor:"_sel, makeColor(1, 1, 1, 1));
  send(field, "setSecureTextEntry:"_sel, BOOL{secure});
  return field;
}

NSInteger alertViewStyle(id self, SEL) {
  return state(self).style;
}

void setAlertViewStyle(id self, SEL, NSInteger style) {
  AlertState& s = state(self);
  s.style = style;
  for (const Ref<>& field : s.textFields) send(field, "removeFromSuperview"_sel);
  s.textFields.clear();
  for (std::size_t i = 0; i < fieldCount(style); ++i) {
    const bool secure = style == UIAlertViewStyleSecureTextInput || i == 1;
    s.textFields.push_back(makeField(secure));
    send(self, "addSubview:"_sel, s.textFields.back().get());
  }
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

id textFieldAtIndex(id self, SEL selector, NSInteger index) {
  const auto& fields = state(self).textFields;
  if (index < 0 || index >= static_cast<NSInteger>(fields.size())) {
    raise("NSRangeException", methodName(self, selector) + ": textFieldIndex (" +
                                  std::to_string(index) +
                                  ") is outside of the bounds of the array of text fields");
  }
  return fields[index];
}

// Showing and dismissing.

void show(id self, SEL) {
  if (state(self).visible) return;
  id window =
      send<id>(send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel), "keyWindow"_sel);
  if (window == nil) return;  // nowhere to show it
  panel::present(self, state(self), window, "willPresentAlertView:"_sel,
                 "didPresentAlertView:"_sel);
  // As on the device, the first field is ready for typing.
  if (!state(self).textFields.empty()) {
    send<BOOL>(state(self).textFields.front(), "becomeFirstResponder"_sel);
  }
}

void dismiss(id self, SEL, NSInteger index, BOOL) {
  panel::dismiss(self, state(self), index, "alertView:willDismissWithButtonIndex:"_sel,
                 "alertView:didDismissWithButtonIndex:"_sel);
}

// Properties and life.

template <auto Field>
id getText(id self, SEL) {
  return state(self).*Field;
}
template <auto Field>
void setText(id self, SEL, id text) {
  state(self).*Field = adopt(send<id>(text, "copy"_sel));
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

id initWithFrame(id self, SEL, CGRect frame) {
  return panel::initPanelWithFrame(self, alertClass(), frame);
}

// The buttons are the cancel button, if any, then the nil-terminated list of other titles.
id initWithTitle(id self, SEL, id title, id message, id delegate, id cancelTitle, id otherTitles,
                 ...) {
  self = send<id>(self, "initWithFrame:"_sel, CGRectZero);
  if (self == nil) return nil;
  AlertState& s = state(self);
  s.title = adopt(send<id>(title, "copy"_sel));
  s.message = adopt(send<id>(message, "copy"_sel));
  s.delegate = delegate;
  if (cancelTitle != nil)
    s.cancelButtonIndex = Shared::addButtonWithTitle(self, nullptr, cancelTitle);
  va_list more;
  va_start(more, otherTitles);
  panel::appendTitles(s.buttonTitles, otherTitles, more);
  va_end(more);
  return self;
}

Class alertClass() {
  static const Class cls =
      Shared::addTo(ClassBuilder("UIAlertView", viewClass())
                        .state<AlertState>("_alertState")
                        .method("initWithFrame:", &initWithFrame)
                        .method("initWithTitle:message:delegate:cancelButtonTitle:"
                                "otherButtonTitles:",
                                toIMP(&initWithTitle), "@@:@@@@@"))
          .method("setTitle:", &setText<&AlertState::title>)
          .method("message", &getText<&AlertState::message>)
          .method("setMessage:", &setText<&AlertState::message>)
          .method("setCancelButtonIndex:", &setCancelButtonIndex)
          .method("alertViewStyle", &alertViewStyle)
          .method("setAlertViewStyle:", &setAlertViewStyle)
          .method("textFieldAtIndex:", &textFieldAtIndex)
          .method("show", &show)
          .method("dismissWithClickedButtonIndex:animated:", &dismiss)
          .method("layoutSubviews", &layoutSubviews)
          .method("_buttonTapped:", &buttonTapped)
          .method("drawRect:", &drawRect)
          .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerAlertView() {
  alertClass();
}

bool isShownAlert(id view) {
  return isKindOf(view, alertClass()) && state(view).visible;
}

bool pressButton(id alert, NSInteger index) {
  return panel::press(alert, state(alert).visible, state(alert).buttonTitles.size(), index,
                      "alertView:clickedButtonAtIndex:"_sel, &dismiss);
}

}  // namespace

std::vector<id> visibleAlerts() {
  return panel::shownPanels(&isShownAlert);
}

bool pressAlertButton(id alert, NSInteger index) {
  return isKindOf(alert, alertClass()) && pressButton(alert, index);
}

}  // namespace qv::ui
