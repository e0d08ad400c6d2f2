// UITextField: a control holding one line of editable text with a placeholder, drawn in its
// font and alignment inside an optional border. A tap makes it first responder, the field being
// edited. The keyboard is not modelled: the keyboard type is kept for those who ask, and text
// arrives through setText: (the simulator's typing).
#include <string>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

// Text starts this far inside the field's edges.
constexpr double kInset = 6;
constexpr double kPlaceholderGrey = 0.7;
constexpr double kBorderGrey = 0.75;

struct FieldState {
  Ref<> text;
  Ref<> placeholder;
  Ref<> font;
  Ref<> textColor;
  NSInteger textAlignment = NSTextAlignmentLeft;
  NSInteger keyboardType = UIKeyboardTypeDefault;
  NSInteger borderStyle = UITextBorderStyleNone;
  bool secure = false;
};

FieldState& state(id self) {
  return stateOf<FieldState>(self);
}

Class fieldClass();

// The field's text, never nil, as the platform answers it.
id text(id self, SEL) {
  return state(self).text ? state(self).text.get() : ""_ns;
}
void setText(id self, SEL, id text) {
  state(self).text = adopt(send<id>(text, "copy"_sel));
  send(self, "setNeedsDisplay"_sel);
}

id placeholder(id self, SEL) {
  return state(self).placeholder;
}
void setPlaceholder(id self, SEL, id placeholder) {
  state(self).placeholder = adopt(send<id>(placeholder, "copy"_sel));
  send(self, "setNeedsDisplay"_sel);
}

id font(id self, SEL) {
  return state(self).font;
}
void setFont(id self, SEL, id font) {
  state(self).font = Ref<>(font != nil ? font : makeFont({"DejaVu Sans", false, false, 17}));
  send(self, "setNeedsDisplay"_sel);
}

id textColor(id self, SEL) {
  return state(self).textColor;
}
void setTextColor(id self, SEL, id color) {
  state(self).textColor = Ref<>(color != nil ? color : makeColor(0, 0, 0, 1));
  send(self, "setNeedsDisplay"_sel);
}

template <NSInteger FieldState::*Field>
NSInteger getInteger(id self, SEL) {
  return state(self).*Field;
}
template <NSInteger FieldState::*Field>
void setInteger(id self, SEL, NSInteger value) {
  state(self).*Field = value;
  send(self, "setNeedsDisplay"_sel);
}

BOOL isSecure(id self, SEL) {
  return state(self).secure;
}
void setSecure(id self, SEL, BOOL secure) {
  state(self).secure = secure;
  send(self, "setNeedsDisplay"_sel);
}

// What the field shows: its text (as dots when secure), or else the placeholder in grey.
std::string shownText(id self, bool& isPlaceholder) {
  const std::string typed = utf8(state(self).text);
  isPlaceholder = typed.empty();
  if (isPlaceholder) return utf8(state(self).placeholder);
  if (!state(self).secure) return typed;
  std::string dots;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    if ((static_cast<unsigned char>(typed[i]) & 0xC0) != 0x80) dots += "\u2022";
  }
  return dots;
}

void drawRect(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = viewState(self).bounds;
  if (state(self).borderStyle != UITextBorderStyleNone) {
    CGContextSetRGBStrokeColor(context, kBorderGrey, kBorderGrey, kBorderGrey, 1);
    CGContextSetLineWidth(context, 1);
    CGContextBeginPath(context);
    CGContextAddRect(context, CGRectMake(0.5, 0.5, bounds.size.width - 1, bounds.size.height - 1));
    CGContextStrokePath(context);
  }
  bool isPlaceholder = false;
  const std::string shown = shownText(self, isPlaceholder);
  if (shown.empty()) return;
  const text::Font& face = fontOf(state(self).font);
  const double height = text::lineHeight(face);
  const CGRect line =
      CGRectMake(kInset, (bounds.size.height - height) / 2, bounds.size.width - 2 * kInset, height);
  text::DrawOptions options;
  options.alignment = alignmentOf(state(self).textAlignment);
  options.maxLines = 1;
  Ref<> grey(makeColor(kPlaceholderGrey, kPlaceholderGrey, kPlaceholderGrey, 1));
  text::draw(context, shown, face, cgColorOf(isPlaceholder ? grey.get() : state(self).textColor),
             line, options);
}

id initWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, fieldClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  state(self).font = Ref<>(makeFont({"DejaVu Sans", false, false, 17}));
  state(self).textColor = Ref<>(makeColor(0, 0, 0, 1));
  viewState(self).opaque = false;
  viewState(self).contentMode = UIViewContentModeRedraw;
  return self;
}

BOOL yes(id, SEL) {
  return YES;
}

Class fieldClass() {
  static const Class cls = ClassBuilder("UITextField", controlClass())
                               .state<FieldState>("_fieldState")
                               .method("initWithFrame:", &initWithFrame)
                               .method("text", &text)
                               .method("setText:", &setText)
                               .method("placeholder", &placeholder)
                               .method("setPlaceholder:", &setPlaceholder)
                               .method("font", &font)
                               .method("setFont:", &setFont)
                               .method("textColor", &textColor)
                               .method("setTextColor:", &setTextColor)
                               .method("textAlignment", &getInteger<&FieldState::textAlignment>)
                               .method("setTextAlignment:", &setInteger<&FieldState::textAlignment>)
                               .method("keyboardType", &getInteger<&FieldState::keyboardType>)
                               .method("setKeyboardType:", &setInteger<&FieldState::keyboardType>)
                               .method("borderStyle", &getInteger<&FieldState::borderStyle>)
                               .method("setBorderStyle:", &setInteger<&FieldState::borderStyle>)
                               .method("isSecureTextEntry", &isSecure)
                               .method("setSecureTextEntry:", &setSecure)
                               .method("canBecomeFirstResponder", &yes)
                               .method("drawRect:", &drawRect)
                               .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerTextField() {
  fieldClass();
}

}  // namespace
}  // namespace qv::ui
