#include "sim/settings/PaneDrawing.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/CoreGraphics/CGCairo.h"
#include "platform/UIKit/TextLayout.h"

namespace qv::sim {
namespace {

// Figures of iOS 7's grouped table and its bars, in points.
constexpr double kBarHeight = 64;  // the status bar's 20 and the navigation bar's 44
constexpr double kRowHeight = 44;
constexpr double kInset = 15;  // of labels, headers, footers and separators
constexpr double kPlainHeader = 35;
constexpr double kTitledHeader = 46;
constexpr double kHeaderGap = 7;  // between a header's text and its rows, its rows and a footer
constexpr double kSwitchWidth = 51;
constexpr double kSwitchHeight = 31;
constexpr double kSwitchMargin = 16;
constexpr double kLabelSize = 17;
constexpr double kSmallestLabel = 12;
constexpr double kNoteSize = 13;

struct Rgb {
  double red, green, blue;
};
constexpr Rgb kTableBackground{239 / 255., 239 / 255., 244 / 255.};
constexpr Rgb kBarBackground{247 / 255., 247 / 255., 247 / 255.};
constexpr Rgb kBarLine{178 / 255., 178 / 255., 178 / 255.};
constexpr Rgb kSeparator{200 / 255., 199 / 255., 204 / 255.};
constexpr Rgb kNoteText{109 / 255., 109 / 255., 114 / 255.};
constexpr Rgb kValueText{142 / 255., 142 / 255., 147 / 255.};
constexpr Rgb kTint{0, 122 / 255., 1};
constexpr double kCaretWidth = 2;
constexpr Rgb kSwitchOn{76 / 255., 217 / 255., 100 / 255.};
constexpr Rgb kSwitchOffLine{229 / 255., 229 / 255., 234 / 255.};
constexpr Rgb kWhite{1, 1, 1};
constexpr Rgb kBlack{0, 0, 0};

struct ColorRelease {
  void operator()(CGColorRef color) const { CGColorRelease(color); }
};
using Color = std::unique_ptr<std::remove_pointer_t<CGColorRef>, ColorRelease>;

Color color(Rgb rgb) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat components[] = {rgb.red, rgb.green, rgb.blue, 1};
  Color made(CGColorCreate(space, components));
  CGColorSpaceRelease(space);
  return made;
}

text::Font font(double size, bool bold = false) {
  text::Font font;
  font.size = size;
  font.bold = bold;
  return font;
}

void fill(cairo_t* cairo, Rgb rgb, double alpha = 1) {
  cairo_set_source_rgba(cairo, rgb.red, rgb.green, rgb.blue, alpha);
  cairo_fill(cairo);
}

void fillRect(cairo_t* cairo, CGRect rect, Rgb rgb) {
  cairo_rectangle(cairo, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  fill(cairo, rgb);
}

// A one-pixel line across the row from x to the right edge, at the top of the pixel row y.
void hairline(cairo_t* cairo, double x, double y, double width, Rgb rgb) {
  fillRect(cairo, CGRectMake(x, y, width - x, 1), rgb);
}

void capsule(cairo_t* cairo, CGRect rect) {
  const double radius = rect.size.height / 2;
  const double top = rect.origin.y;
  const double left = rect.origin.x + radius;
  const double right = rect.origin.x + rect.size.width - radius;
  cairo_new_sub_path(cairo);
  cairo_arc(cairo, right, top + radius, radius, -M_PI / 2, M_PI / 2);
  cairo_arc(cairo, left, top + radius, radius, M_PI / 2, 3 * M_PI / 2);
  cairo_close_path(cairo);
}

void drawText(CGContextRef context, const std::string& text, const text::Font& font, Rgb rgb,
              CGRect rect, text::Alignment alignment = text::Alignment::left, int maxLines = 1) {
  const Color ink = color(rgb);
  text::draw(context, text, font, ink.get(), rect, {alignment, maxLines, true});
}

// The table's blocks, top to bottom, in the table's own space (0 under the navigation bar).
struct Block {
  enum class Kind { Header, Row, Footer };
  Kind kind;
  const Specifier* item;
  CGRect frame;
  bool firstInSection = false;
  bool lastInSection = false;
};

class Table {
 public:
  Table(const SpecifierList& list, double width) : width_(width) {
    const Specifier* pendingFooter = nullptr;
    for (const Specifier& item : list.items) {
      if (item.cell != Specifier::Cell::Group) {
        if (!sectionOpen_) openSection(nullptr);
        addRow(item);
        continue;
      }
      closeSection(pendingFooter);
      openSection(&item);
      pendingFooter = &item;
    }
    closeSection(pendingFooter);
    height_ += kPlainHeader;
  }

  const std::vector<Block>& blocks() const { return blocks_; }
  double height() const { return height_; }

  // The least scroll that shows the row of the key whole, with its group's footer when the row
  // ends the group.
  double offsetShowing(const std::string& key, double visibleHeight) const {
    double bottom = 0;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      const Block& block = blocks_[i];
      if (block.kind != Block::Kind::Row || block.item->key != key) continue;
      bottom = block.frame.origin.y + block.frame.size.height;
      const bool footerNext = i + 1 < blocks_.size() && blocks_[i + 1].kind == Block::Kind::Footer;
      if (block.lastInSection && footerNext) {
        const CGRect footer = blocks_[i + 1].frame;
        bottom = footer.origin.y + footer.size.height;
      }
    }
    const double furthest = std::max(0.0, height_ - visibleHeight);
    return std::clamp(bottom + kHeaderGap - visibleHeight, 0.0, furthest);
  }

 private:
  void openSection(const Specifier* group) {
    const bool titled = group != nullptr && !group->label.empty();
    const double height = titled ? kTitledHeader : kPlainHeader;
    if (group != nullptr) {
      blocks_.push_back({Block::Kind::Header, group, CGRectMake(0, height_, width_, height)});
    }
    height_ += height;
    sectionOpen_ = true;
  }

  void addRow(const Specifier& item) {
    const bool first = blocks_.empty() || blocks_.back().kind != Block::Kind::Row;
    if (!first) blocks_.back().lastInSection = false;
    blocks_.push_back(
        {Block::Kind::Row, &item, CGRectMake(0, height_, width_, kRowHeight), first, true});
    height_ += kRowHeight;
  }

  void closeSection(const Specifier* group) {
    if (!sectionOpen_) return;
    sectionOpen_ = false;
    if (group == nullptr || group->footer.empty()) return;
    const double textWidth = width_ - 2 * kInset;
    const double textHeight =
        text::wrappedSize(group->footer, font(kNoteSize), CGSizeMake(textWidth, 0)).height;
    blocks_.push_back({Block::Kind::Footer, group,
                       CGRectMake(kInset, height_ + kHeaderGap, textWidth, textHeight)});
    height_ += kHeaderGap + textHeight;
  }

  double width_;
  double height_ = 0;
  bool sectionOpen_ = false;
  std::vector<Block> blocks_;
};

const Value* shownValue(const PaneView& view, const std::string& key) {
  for (const auto& [shownKey, value] : view.shown) {
    if (shownKey == key) return &value;
  }
  return nullptr;
}

void drawSwitch(cairo_t* cairo, CGRect rect, bool on) {
  const CGRect track = rect;
  capsule(cairo, track);
  if (on) {
    fill(cairo, kSwitchOn);
  } else {
    fill(cairo, kWhite);
    capsule(cairo, CGRectInset(track, 0.75, 0.75));
    cairo_set_line_width(cairo, 1.5);
    cairo_set_source_rgb(cairo, kSwitchOffLine.red, kSwitchOffLine.green, kSwitchOffLine.blue);
    cairo_stroke(cairo);
  }
  const double knob = rect.size.height - 4;
  const double x = on ? rect.origin.x + rect.size.width - 2 - knob : rect.origin.x + 2;
  const double y = rect.origin.y + 2;
  // The knob's shadow falls a little below it.
  cairo_arc(cairo, x + knob / 2, y + knob / 2 + 1.5, knob / 2 + 0.5, 0, 2 * M_PI);
  fill(cairo, kBlack, 0.12);
  cairo_arc(cairo, x + knob / 2, y + knob / 2, knob / 2, 0, 2 * M_PI);
  fill(cairo, kWhite);
  cairo_arc(cairo, x + knob / 2, y + knob / 2, knob / 2 - 0.25, 0, 2 * M_PI);
  cairo_set_line_width(cairo, 0.5);
  cairo_set_source_rgba(cairo, 0, 0, 0, 0.1);
  cairo_stroke(cairo);
}

// The label's font: the system size, smaller for a label that would not fit (as far as is
// readable; past that it is cut short).
text::Font labelFont(const std::string& label, double width) {
  const double natural = text::lineSize(label, font(kLabelSize)).width;
  if (natural <= width) return font(kLabelSize);
  return font(std::max(kSmallestLabel, kLabelSize * width / natural));
}

void drawRow(CGContextRef context, const Block& block, const PaneView& view) {
  cairo_t* cairo = cairoOf(context);
  const CGRect frame = block.frame;
  const double width = frame.size.width;
  const double top = frame.origin.y;
  fillRect(cairo, frame, kWhite);
  if (block.firstInSection) hairline(cairo, 0, top, width, kSeparator);
  hairline(cairo, block.lastInSection ? 0 : kInset, top + kRowHeight - 1, width, kSeparator);

  const Value* shown = shownValue(view, block.item->key);
  double labelRight = width - kInset;
  if (block.item->cell == Specifier::Cell::Switch) {
    const bool* flag = shown != nullptr ? std::get_if<bool>(&shown->data) : nullptr;
    const bool on = flag != nullptr && *flag;
    const CGRect track =
        CGRectMake(width - kSwitchMargin - kSwitchWidth, top + (kRowHeight - kSwitchHeight) / 2,
                   kSwitchWidth, kSwitchHeight);
    drawSwitch(cairo, track, on);
    labelRight = track.origin.x - 8;
  } else if (shown != nullptr && shown->text() != nullptr) {
    // The field being edited shows its text in black with the caret after it.
    const bool editing = block.item->key == view.editing;
    const text::Font valueFont = font(kLabelSize);
    const double caret = editing ? kCaretWidth + 1 : 0;
    const double valueWidth =
        std::min(text::lineSize(*shown->text(), valueFont).width, (width - 2 * kInset) / 2 - caret);
    const double y = top + (kRowHeight - text::lineHeight(valueFont)) / 2;
    const double right = width - kInset - caret;
    drawText(context, *shown->text(), valueFont, editing ? kBlack : kValueText,
             CGRectMake(right - valueWidth, y, valueWidth, kRowHeight), text::Alignment::right);
    if (editing) {
      fillRect(cairo, CGRectMake(right + 1, y, kCaretWidth, text::lineHeight(valueFont)), kTint);
    }
    labelRight = right - valueWidth - 12;
  }
  const double labelWidth = std::max(0.0, labelRight - kInset);
  const text::Font labelType = labelFont(block.item->label, labelWidth);
  const double y = top + (kRowHeight - text::lineHeight(labelType)) / 2;
  drawText(context, block.item->label, labelType, kBlack,
           CGRectMake(kInset, y, labelWidth, kRowHeight));
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

void drawBlock(CGContextRef context, const Block& block, const PaneView& view) {
  switch (block.kind) {
    case Block::Kind::Header: {
      if (block.item->label.empty()) return;
      const text::Font type = font(kNoteSize);
      const CGRect frame = block.frame;
      const double y = frame.origin.y + frame.size.height - kHeaderGap - text::lineHeight(type);
      drawText(context, upper(block.item->label), type, kNoteText,
               CGRectMake(kInset, y, frame.size.width - 2 * kInset, kRowHeight));
      return;
    }
    case Block::Kind::Row:
      return drawRow(context, block, view);
    case Block::Kind::Footer:
      return drawText(context, block.item->footer, font(kNoteSize), kNoteText, block.frame,
                      text::Alignment::left, 0);
  }
}

void drawNavigationBar(CGContextRef context, const std::string& title, double width) {
  cairo_t* cairo = cairoOf(context);
  fillRect(cairo, CGRectMake(0, 0, width, kBarHeight), kBarBackground);
  hairline(cairo, 0, kBarHeight - 1, width, kBarLine);
  const double middle = kBarHeight - 22;
  const text::Font titleFont = font(kLabelSize, true);
  const double titleTop = middle - text::lineHeight(titleFont) / 2;
  drawText(context, title, titleFont, kBlack, CGRectMake(90, titleTop, width - 180, kRowHeight),
           text::Alignment::center);
  // The back button: a chevron and the name of the screen it goes back to.
  cairo_move_to(cairo, 19, middle - 10);
  cairo_line_to(cairo, 9, middle);
  cairo_line_to(cairo, 19, middle + 10);
  cairo_set_line_width(cairo, 3);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_set_source_rgb(cairo, kTint.red, kTint.green, kTint.blue);
  cairo_stroke(cairo);
  drawText(context, "Settings", font(kLabelSize), kTint,
           CGRectMake(26, middle - text::lineHeight(font(kLabelSize)) / 2, 80, kRowHeight));
}

// How far the table is scrolled: to show the visible row, or not at all.
double scrollOffset(const Table& table, const PaneView& view) {
  const double visibleHeight = view.screen.height - kBarHeight;
  return view.visible.empty() ? 0 : table.offsetShowing(view.visible, visibleHeight);
}

}  // namespace

const Specifier* rowAt(const PaneView& view, CGPoint point) {
  if (point.y < kBarHeight || point.y >= view.screen.height) return nullptr;
  const Table table(*view.list, view.screen.width);
  const CGPoint inTable = CGPointMake(point.x, point.y - kBarHeight + scrollOffset(table, view));
  for (const Block& block : table.blocks()) {
    if (block.kind == Block::Kind::Row && CGRectContainsPoint(block.frame, inTable)) {
      return block.item;
    }
  }
  return nullptr;
}

Bitmap drawPane(const PaneView& view, double scale) {
  const double width = view.screen.width;
  Bitmap image(static_cast<int>(width * scale), static_cast<int>(view.screen.height * scale));
  CGContextRef context = image.context();
  CGContextScaleCTM(context, scale, scale);
  cairo_t* cairo = cairoOf(context);
  fillRect(cairo, CGRectMake(0, 0, width, view.screen.height), kTableBackground);
  const Table table(*view.list, width);
  const double visibleHeight = view.screen.height - kBarHeight;
  const double offset = scrollOffset(table, view);
  CGContextSaveGState(context);
  CGContextClipToRect(context, CGRectMake(0, kBarHeight, width, visibleHeight));
  CGContextTranslateCTM(context, 0, kBarHeight - offset);
  for (const Block& block : table.blocks()) {
    const CGRect frame = block.frame;
    if (frame.origin.y + frame.size.height < offset || frame.origin.y > offset + visibleHeight) {
      continue;
    }
    drawBlock(context, block, view);
  }
  CGContextRestoreGState(context);
  drawNavigationBar(context, view.list->title, width);
  return image;
}

}  // namespace qv::sim
