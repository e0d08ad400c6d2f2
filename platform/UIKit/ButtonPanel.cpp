#include "platform/UIKit/ButtonPanel.h"

namespace qv::ui::panel {

namespace {

constexpr double kHairlineGrey = 0.8;

void collectShown(id view, bool (*isShown)(id), std::vector<id>& found) {
  for (const Ref<>& child : viewState(view).subviews) {
    if (isShown(child)) found.push_back(child);
    collectShown(child, isShown, found);
  }
}

}  // namespace

void appendTitles(std::vector<Ref<>>& titles, id first, va_list& more) {
  for (id title = first; title != nil; title = va_arg(more, id)) {
    titles.push_back(adopt(send<id>(title, "copy"_sel)));
  }
}

id titleAt(const std::vector<Ref<>>& titles, NSInteger index) {
  return index >= 0 && index < static_cast<NSInteger>(titles.size()) ? titles[index].get() : nil;
}

void tellDelegate(id delegate, SEL selector, id sender) {
  if (responds(delegate, selector)) send(delegate, selector, sender);
}

void tellDelegate(id delegate, SEL selector, id sender, NSInteger index) {
  if (responds(delegate, selector)) send(delegate, selector, sender, index);
}

std::vector<id> shownPanels(bool (*isShown)(id view)) {
  std::vector<id> found;
  id application = send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
  for (id window : arrayElements(send<id>(application, "windows"_sel))) {
    collectShown(window, isShown, found);
  }
  return found;
}

bool press(id panel, bool shown, std::size_t count, NSInteger index, SEL clicked,
           Dismissal dismiss) {
  if (!shown || index < 0 || index >= static_cast<NSInteger>(count)) return false;
  Ref<> held(panel);  // the delegate may let go of it
  tellDelegate(send<id>(panel, "delegate"_sel), clicked, panel, index);
  dismiss(panel, nullptr, index, YES);
  return true;
}

void placeButtonControls(id panel, PanelState& state, const std::vector<ButtonFrame>& buttons) {
  auto& controls = state.buttonControls;
  while (controls.size() > buttons.size()) {
    send(controls.back(), "removeFromSuperview"_sel);
    controls.pop_back();
  }
  while (controls.size() < buttons.size()) {
    controls.push_back(
        adopt(send<id>(send<id>(controlClass(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero)));
    send(controls.back(), "addTarget:action:forControlEvents:"_sel, panel, "_buttonTapped:"_sel,
         UIControlEvents{UIControlEventTouchUpInside});
    send(panel, "addSubview:"_sel, controls.back().get());
  }
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    send(controls[i], "setFrame:"_sel, buttons[i].frame);
    send(controls[i], "setTag:"_sel, buttons[i].index);
    send(controls[i], "setAccessibilityLabel:"_sel, titleAt(state.buttonTitles, buttons[i].index));
  }
}

id initPanelWithFrame(id self, Class panelClass, CGRect frame) {
  self = sendSuper<id>(self, panelClass, "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  viewState(self).opaque = false;
  viewState(self).contentMode = UIViewContentModeRedraw;
  return self;
}

void present(id panel, PanelState& state, id container, SEL willShow, SEL didShow) {
  tellDelegate(state.delegate, willShow, panel);
  send(panel, "setFrame:"_sel, send<CGRect>(container, "bounds"_sel));
  send(container, "addSubview:"_sel, panel);
  state.visible = true;
  send(panel, "setNeedsDisplay"_sel);
  tellDelegate(state.delegate, didShow, panel);
}

void dismiss(id panel, PanelState& state, NSInteger index, SEL willDismiss, SEL didDismiss) {
  if (!state.visible) return;
  Ref<> held(panel);  // its superview lets go of it
  id delegate = state.delegate;
  tellDelegate(delegate, willDismiss, panel, index);
  send(panel, "removeFromSuperview"_sel);
  state.visible = false;
  tellDelegate(delegate, didDismiss, panel, index);
}

id tintColor() {
  return makeColor(0, 122 / 255.0, 1, 1);
}

void drawCentred(CGContextRef context, id text, const text::Font& font, CGRect rect,
                 CGColorRef color) {
  if (text == nil) return;
  text::DrawOptions options;
  options.alignment = text::Alignment::center;
  text::draw(context, utf8(text), font, color, rect, options);
}

void drawHairline(CGContextRef context, CGPoint from, CGPoint to) {
  CGContextSetRGBStrokeColor(context, kHairlineGrey, kHairlineGrey, kHairlineGrey, 1);
  CGContextSetLineWidth(context, 0.5);
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, from.x, from.y);
  CGContextAddLineToPoint(context, to.x, to.y);
  CGContextStrokePath(context);
}

}  // namespace qv::ui::panel
