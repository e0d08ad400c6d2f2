// UILabel: text in a font and colour, aligned, on one line or wrapped, drawn vertically
// centred in the bounds as the platform draws it. sizeThatFits: rounds up to whole points.
#include <cmath>

#include "platform/Foundation/Classes.h"
#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct LabelState {
  Ref<> text;
  Ref<> font;
  Ref<> textColor;
  NSInteger textAlignment = NSTextAlignmentLeft;
  NSInteger numberOfLines = 1;
  NSInteger lineBreakMode = NSLineBreakByTruncatingTail;
  bool adjustsFontSizeToFitWidth = false;
  double minimumScaleFactor = 0;
};

LabelState& state(id self) {
  return stateOf<LabelState>(self);
}

std::string textOf(id self) {
  id text = state(self).text;
  return text == nil ? std::string() : utf8(text);
}

int lineLimit(id self) {
  const NSInteger lines = state(self).numberOfLines;
  return lines > 0 ? static_cast<int>(std::min<NSInteger>(lines, 1 << 20)) : 0;
}

// The size of the label's text within `bounds` (a maximum; 0 or less for none).
CGSize textSize(id self, const std::string& content, const text::Font& font, CGSize bounds) {
  if (lineLimit(self) == 1) return text::lineSize(content, font);
  return text::wrappedSize(content, font, bounds, lineLimit(self));
}

// The font the text is drawn in: smaller when it must shrink to fit one line.
text::Font fittingFont(id self, const std::string& content, double width) {
  text::Font font = fontOf(state(self).font);
  if (!state(self).adjustsFontSizeToFitWidth || lineLimit(self) != 1 || !(width > 0)) return font;
  const double natural = text::lineSize(content, font).width;
  if (natural <= width) return font;
  const double scale = std::max(width / natural, state(self).minimumScaleFactor);
  font.size *= scale;
  return font;
}

void drawTextInRect(id self, SEL, CGRect rect) {
  const std::string content = textOf(self);
  if (content.empty()) return;
  const text::Font font = fittingFont(self, content, rect.size.width);
  const CGSize size = textSize(self, content, font, rect.size);
  const double height =
      std::min(size.height, rect.size.height > 0 ? rect.size.height : size.height);
  const CGRect textRect = CGRectMake(rect.origin.x, rect.origin.y + (rect.size.height - height) / 2,
                                     rect.size.width, height);
  text::DrawOptions options;
  options.alignment = alignmentOf(state(self).textAlignment);
  options.maxLines = lineLimit(self);
  options.truncate = state(self).lineBreakMode >= NSLineBreakByTruncatingHead;
  id color = state(self).textColor;
  text::draw(UIGraphicsGetCurrentContext(), content, font, cgColorOf(color), textRect, options);
}

void drawRect(id self, SEL, CGRect) {
  send(self, "drawTextInRect:"_sel, viewState(self).bounds);
}

CGSize sizeThatFits(id self, SEL, CGSize size) {
  const std::string content = textOf(self);
  if (content.empty()) return CGSizeZero;
  const CGSize measured = textSize(self, content, fontOf(state(self).font), {size.width, 0});
  return {std::ceil(measured.width), std::ceil(measured.height)};
}

// Properties: each change redraws.

template <Ref<> LabelState::*Field>
id getObject(id self, SEL) {
  return state(self).*Field;
}

void changed(id self) {
  send(self, "setNeedsDisplay"_sel);
}

void setText(id self, SEL, id text) {
  state(self).text = adopt(send<id>(text, "copy"_sel));
  changed(self);
}

void setFont(id self, SEL, id font) {
  state(self).font = Ref<>(font != nil ? font : makeFont({"DejaVu Sans", false, false, 17}));
  changed(self);
}

void setTextColor(id self, SEL, id color) {
  state(self).textColor = Ref<>(color != nil ? color : makeColor(0, 0, 0, 1));
  changed(self);
}

template <NSInteger LabelState::*Field>
NSInteger getInteger(id self, SEL) {
  return state(self).*Field;
}

template <NSInteger LabelState::*Field>
void setInteger(id self, SEL, NSInteger value) {
  state(self).*Field = value;
  changed(self);
}

BOOL adjustsFontSize(id self, SEL) {
  return state(self).adjustsFontSizeToFitWidth;
}
void setAdjustsFontSize(id self, SEL, BOOL value) {
  state(self).adjustsFontSizeToFitWidth = value;
  changed(self);
}

CGFloat minimumScaleFactor(id self, SEL) {
  return state(self).minimumScaleFactor;
}
void setMinimumScaleFactor(id self, SEL, CGFloat value) {
  state(self).minimumScaleFactor = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0;
  changed(self);
}

id initWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, labelClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  state(self).font = Ref<>(makeFont({"DejaVu Sans", false, false, 17}));
  state(self).textColor = Ref<>(makeColor(0, 0, 0, 1));
  viewState(self).userInteractionEnabled = false;
  viewState(self).opaque = false;
  viewState(self).contentMode = UIViewContentModeRedraw;
  return self;
}

}  // namespace

Class labelClass() {
  static const Class cls = ClassBuilder("UILabel", viewClass())
                               .state<LabelState>("_labelState")
                               .method("initWithFrame:", &initWithFrame)
                               .method("text", &getObject<&LabelState::text>)
                               .method("setText:", &setText)
                               .method("font", &getObject<&LabelState::font>)
                               .method("setFont:", &setFont)
                               .method("textColor", &getObject<&LabelState::textColor>)
                               .method("setTextColor:", &setTextColor)
                               .method("textAlignment", &getInteger<&LabelState::textAlignment>)
                               .method("setTextAlignment:", &setInteger<&LabelState::textAlignment>)
                               .method("numberOfLines", &getInteger<&LabelState::numberOfLines>)
                               .method("setNumberOfLines:", &setInteger<&LabelState::numberOfLines>)
                               .method("lineBreakMode", &getInteger<&LabelState::lineBreakMode>)
                               .method("setLineBreakMode:", &setInteger<&LabelState::lineBreakMode>)
                               .method("adjustsFontSizeToFitWidth", &adjustsFontSize)
                               .method("setAdjustsFontSizeToFitWidth:", &setAdjustsFontSize)
                               .method("minimumScaleFactor", &minimumScaleFactor)
                               .method("setMinimumScaleFactor:", &setMinimumScaleFactor)
                               .method("drawTextInRect:", &drawTextInRect)
                               .method("drawRect:", &drawRect)
                               .method("sizeThatFits:", &sizeThatFits)
                               .registerClass();
  return cls;
}

}  // namespace qv::ui
