#include <cmath>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct FontState {
  text::Font font;
};

// Sizes of zero or less (and NaN) ask for the system's default size, as on the platform.
constexpr double kDefaultSize = 12;
double pointSizeOr(CGFloat size) {
  return size > 0 ? size : kDefaultSize;
}

id fontWithSize(id, SEL, CGFloat size) {
  return makeFont(text::Font{"DejaVu Sans", false, false, pointSizeOr(size)});
}

id boldFontWithSize(id, SEL, CGFloat size) {
  return makeFont(text::Font{"DejaVu Sans", true, false, pointSizeOr(size)});
}

id fontWithName(id, SEL, id name, CGFloat size) {
  text::Font font;
  if (!text::fontNamed(utf8(name), pointSizeOr(size), font)) return nil;
  return makeFont(font);
}

id sameFontWithSize(id self, SEL, CGFloat size) {
  text::Font font = stateOf<FontState>(self).font;
  font.size = pointSizeOr(size);
  return makeFont(font);
}

CGFloat pointSize(id self, SEL) {
  return stateOf<FontState>(self).font.size;
}
CGFloat lineHeight(id self, SEL) {
  return text::lineHeight(stateOf<FontState>(self).font);
}

id fontName(id self, SEL) {
  return autorelease(makeString(text::postScriptName(stateOf<FontState>(self).font)).leak());
}

id familyName(id self, SEL) {
  return autorelease(makeString(stateOf<FontState>(self).font.family).leak());
}

BOOL isEqual(id self, SEL, id other) {
  return other == self || (isKindOf(other, fontClass()) &&
                           stateOf<FontState>(self).font == stateOf<FontState>(other).font);
}

unsigned long hash(id self, SEL) {
  const text::Font& font = stateOf<FontState>(self).font;
  return std::hash<std::string>{}(font.family) ^ (font.bold ? 1 : 0) ^
         std::hash<double>{}(font.size);
}

id copyWithZone(id self, SEL, void*) {
  return retain(self);
}

}  // namespace

Class fontClass() {
  static const Class cls = ClassBuilder("UIFont", NSObjectClass())
                               .state<FontState>()
                               .method("pointSize", &pointSize)
                               .method("lineHeight", &lineHeight)
                               .method("fontName", &fontName)
                               .method("familyName", &familyName)
                               .method("fontWithSize:", &sameFontWithSize)
                               .method("isEqual:", &isEqual)
                               .method("hash", &hash)
                               .method("copyWithZone:", &copyWithZone)
                               .classMethod("systemFontOfSize:", &fontWithSize)
                               .classMethod("boldSystemFontOfSize:", &boldFontWithSize)
                               .classMethod("fontWithName:size:", &fontWithName)
                               .registerClass();
  return cls;
}

const text::Font& fontOf(id font) {
  static const text::Font fallback{"DejaVu Sans", false, false, kDefaultSize};
  return isKindOf(font, fontClass()) ? stateOf<FontState>(font).font : fallback;
}

id makeFont(const text::Font& font) {
  Ref<> made = make(fontClass());
  stateOf<FontState>(made).font = font;
  return autorelease(made.leak());
}

}  // namespace qv::ui
