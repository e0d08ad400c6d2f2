#include "platform/UIKit/TextLayout.h"

#include <gtest/gtest.h>

#include "platform/CoreGraphics/Bitmap.h"

namespace qv::text {
namespace {

const Font kBold16{"DejaVu Sans", true, false, 16};
const Font kBold12{"DejaVu Sans", true, false, 12};

// Figures measured once with the pinned DejaVu files; they must not move between machines.
TEST(TextLayout, OneLineSizesArePinned) {
  EXPECT_EQ(lineSize("Driftlane", kBold16).width, 79.7890625);
  EXPECT_EQ(lineSize("Driftlane", kBold16).height, 18.625);
  EXPECT_EQ(lineSize("Done", kBold16).width, 46.515625);
  EXPECT_EQ(lineSize("Saving Slo-mo...", kBold16).width, 147.1875);
  EXPECT_EQ(lineSize("Driftlane", kBold12).width, 59.841796875);
  EXPECT_EQ(lineSize("Driftlane", kBold12).height, 13.96875);
  EXPECT_EQ(lineHeight(kBold16), 18.625);
  EXPECT_EQ(lineHeight(kBold12), 13.96875);
}

TEST(TextLayout, EmptyTextHasNoSize) {
  EXPECT_TRUE(CGSizeEqualToSize(lineSize("", kBold16), CGSizeZero));
  EXPECT_TRUE(CGSizeEqualToSize(wrappedSize("", kBold12, {100, 100}), CGSizeZero));
}

TEST(TextLayout, LineBreaksStartNewLinesOnlyWhenWrapped) {
  const std::string message = "\xE2\x9D\x97 Unsupported FPS: 240\nHead to settings to change this.";
  const CGSize wrapped = wrappedSize(message, kBold12, {260, 1000});
  // DejaVu has no U+2757: the pinned emoji font draws it, and its taller line raises the first.
  EXPECT_EQ(wrapped.height, 14.068359375 + 13.96875);
  EXPECT_EQ(wrapped.width, 217.98046875);
  EXPECT_EQ(lineSize(message, kBold12).height, 15.0830078125);
  EXPECT_EQ(lineSize("\xE2\x9D\x97", kBold12).width, 14.94140625)
      << "the emoji's advance at 12 points, not its 109-pixel bitmap's";
  EXPECT_GT(lineSize(message, kBold12).width, wrapped.width);
}

TEST(TextLayout, WrappingKeepsOnlyWholeLinesThatFit) {
  const std::string text = "The quick brown fox jumps over the lazy dog again and again";
  EXPECT_EQ(wrappedSize(text, kBold12, {100, 1000}).height, 6 * 13.96875);
  EXPECT_LE(wrappedSize(text, kBold12, {100, 1000}).width, 100);
  EXPECT_EQ(wrappedSize(text, kBold12, {100, 30}).height, 2 * 13.96875);
  EXPECT_EQ(wrappedSize(text, kBold12, {100, 1000}, 3).height, 3 * 13.96875);
  EXPECT_EQ(wrappedSize(text, kBold12, {0, 0}).height, 13.96875) << "no limits: one line";
  EXPECT_EQ(wrappedSize(text, kBold12, {0, 0}).width, lineSize(text, kBold12).width);
}

TEST(TextLayout, PostScriptNamesSelectThePinnedFaces) {
  Font font;
  ASSERT_TRUE(fontNamed("DejaVuSans-Bold", 16, font));
  EXPECT_EQ(font, kBold16);
  EXPECT_EQ(postScriptName(font), "DejaVuSans-Bold");
  EXPECT_FALSE(fontNamed("Helvetica", 16, font));
}

// The columns and rows that hold ink.
struct InkBox {
  int minX = 1 << 20, minY = 1 << 20, maxX = -1, maxY = -1;
};
InkBox inkOf(const Bitmap& bitmap) {
  InkBox box;
  for (int y = 0; y < bitmap.height(); ++y) {
    for (int x = 0; x < bitmap.width(); ++x) {
      if (bitmap.pixel(x, y).alpha < 128) continue;
      box = {std::min(box.minX, x), std::min(box.minY, y), std::max(box.maxX, x),
             std::max(box.maxY, y)};
    }
  }
  return box;
}

TEST(TextLayout, DrawsWithinItsRectangleAtTheRequestedAlignment) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat black[] = {0, 0, 0, 1};
  CGColorRef color = CGColorCreate(space, black);
  Bitmap left(200, 40);
  draw(left.context(), "Done", kBold16, color, CGRectMake(10, 10, 180, 20), {Alignment::left, 1});
  Bitmap centred(200, 40);
  draw(centred.context(), "Done", kBold16, color, CGRectMake(10, 10, 180, 20),
       {Alignment::center, 1});
  CGColorRelease(color);
  CGColorSpaceRelease(space);

  const InkBox l = inkOf(left);
  EXPECT_GE(l.minX, 10);
  EXPECT_LE(l.maxX, 10 + 47);
  EXPECT_GE(l.minY, 10);
  EXPECT_LE(l.maxY, 10 + 19);
  const InkBox c = inkOf(centred);
  EXPECT_NEAR(c.minX - l.minX, (180 - 46.515625) / 2, 1.0);
  EXPECT_EQ(c.minY, l.minY);
}

TEST(TextLayout, TheNoticeMarkIsDrawnInItsOwnRed) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat black[] = {0, 0, 0, 1};
  CGColorRef color = CGColorCreate(space, black);
  Bitmap mark(40, 40);
  draw(mark.context(), "\xE2\x9D\x97", kBold16, color, CGRectMake(10, 10, 20, 20),
       {Alignment::left, 1});
  CGColorRelease(color);
  CGColorSpaceRelease(space);
  int red = 0;
  for (int y = 0; y < mark.height(); ++y) {
    for (int x = 0; x < mark.width(); ++x) {
      const Pixel p = mark.pixel(x, y);
      if (p.alpha > 200 && p.red > 180 && p.green < 100 && p.blue < 100) ++red;
    }
  }
  EXPECT_GT(red, 20) << "a colour glyph, not a black outline in the text's colour";
}

}  // namespace
}  // namespace qv::text
