#include "platform/UIKit/TextLayout.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/CoreGraphics/CGCairo.h"

namespace qv::text {
namespace {

constexpr const char* kFontFolder = "/usr/share/fonts/truetype/dejavu";
constexpr const char* kEmojiFont = "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf";
constexpr const char* kSymbolFallbackFont =
    "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf";
// Only the pinned folder; the cache goes where the user's fontconfig cache goes. The emoji font
// comes right after the asked family, before any other fallback, and its bitmaps (one strike of
// 109 pixels) are scaled to the asked size, as fontconfig's own bitmap scaling does.
constexpr const char* kFontConfig = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <match target="pattern">
    <edit name="family" mode="append_last" binding="strong"><string>Noto Color Emoji</string></edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <edit name="pixelsizefixupfactor" mode="assign">
      <divide><name target="pattern">pixelsize</name><name target="font">pixelsize</name></divide>
    </edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <test name="pixelsizefixupfactor" compare="not_eq"><double>1.0</double></test>
    <edit name="matrix" mode="assign">
      <times>
        <name>matrix</name>
        <matrix>
          <name>pixelsizefixupfactor</name><double>0</double>
          <double>0</double><name>pixelsizefixupfactor</name>
        </matrix>
      </times>
    </edit>
    <edit name="size" mode="assign"><divide><name>size</name><name>pixelsizefixupfactor</name></divide></edit>
  </match>
</fontconfig>
)";
constexpr double kMaxFontSize = 4096;
constexpr double kMaxExtent = 1e6;  // points; keeps Pango units inside an int

struct GObjectDeleter {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct FontDescriptionDeleter {
  void operator()(PangoFontDescription* description) const {
    pango_font_description_free(description);
  }
};
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionDeleter>;

struct LayoutIterDeleter {
  void operator()(PangoLayoutIter* iter) const { pango_layout_iter_free(iter); }
};

PangoFontMap* makeFontMap() {
  FcConfig* config = FcConfigCreate();
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontConfig),
                                      FcTrue) ||
      !FcConfigBuildFonts(config) || FcConfigGetFonts(config, FcSetSystem) == nullptr) {
    std::fprintf(stderr, "Quorvane: no fonts in %s; install fonts-dejavu-core\n", kFontFolder);
  }
  // DejaVu has no glyph for U+2757, the mark that opens every notice: the colour emoji font draws
  // it as the device does, red; the symbol font supplies other symbols DejaVu lacks.
  if (!FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(kEmojiFont))) {
    std::fprintf(stderr, "Quorvane: no %s; install fonts-noto-color-emoji\n", kEmojiFont);
  }
  if (!FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(kSymbolFallbackFont))) {
    std::fprintf(stderr, "Quorvane: no %s; install fonts-symbola\n", kSymbolFallbackFont);
  }
  PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config);
  FcConfigDestroy(config);  // the font map holds its own reference
  pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap), 72);
  return fontMap;
}

void configure(PangoContext* context) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 72);
  pango_context_set_round_glyph_positions(context, FALSE);
}

// Pango's font map is not thread-safe: every use goes through the engine's lock.
class Engine {
 public:
  static Engine& shared() {
    static Engine* engine = new Engine;  // fonts live as long as the process
    return *engine;
  }

  std::mutex mutex;
  GObjectPtr<PangoFontMap> fontMap{makeFontMap()};
  GObjectPtr<PangoContext> measuringContext{[this] {
    PangoContext* context = pango_font_map_create_context(fontMap.get());
    configure(context);
    return context;
  }()};
  GObjectPtr<PangoLayout> measuringLayout{pango_layout_new(measuringContext.get())};
};

FontDescriptionPtr describe(const Font& font) {
  FontDescriptionPtr description(pango_font_description_new());
  pango_font_description_set_family(description.get(), font.family.c_str());
  pango_font_description_set_weight(description.get(),
                                    font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description.get(),
                                   font.italic ? PANGO_STYLE_OBLIQUE : PANGO_STYLE_NORMAL);
  const double size = std::isnan(font.size) ? 0 : std::clamp(font.size, 0.0, kMaxFontSize);
  pango_font_description_set_absolute_size(description.get(), size * PANGO_SCALE);
  return description;
}

int pangoUnits(double points) {
  return static_cast<int>(std::lround(points * PANGO_SCALE));
}
double points(int units) {
  return static_cast<double>(units) / PANGO_SCALE;
}

bool limited(double extent) {
  return extent > 0 && std::isfinite(extent);
}

void setText(PangoLayout* layout, std::string_view text, const Font& font) {
  const FontDescriptionPtr description = describe(font);
  pango_layout_set_font_description(layout, description.get());
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
}

void setOneLine(PangoLayout* layout) {
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_width(layout, -1);
  pango_layout_set_height(layout, -1);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
}

void setWrapped(PangoLayout* layout, double maxWidth) {
  pango_layout_set_single_paragraph_mode(layout, FALSE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_width(layout,
                         limited(maxWidth) ? pangoUnits(std::min(maxWidth, kMaxExtent)) : -1);
  pango_layout_set_height(layout, -1);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
}

CGSize logicalSize(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return {points(logical.width), points(logical.height)};
}

void setSourceColor(cairo_t* cairo, CGColorRef color) {
  const CGFloat* c = CGColorGetComponents(color);
  switch (CGColorGetNumberOfComponents(color)) {
    case 2:
      cairo_set_source_rgba(cairo, c[0], c[0], c[0], c[1]);
      break;
    case 4:
      cairo_set_source_rgba(cairo, c[0], c[1], c[2], c[3]);
      break;
    default:
      cairo_set_source_rgba(cairo, 0, 0, 0, 1);
  }
}

struct FaceName {
  const char* postScript;
  const char* family;
  bool bold;
  bool italic;
};

constexpr std::array kFaces = {
    FaceName{"DejaVuSans", "DejaVu Sans", false, false},
    FaceName{"DejaVuSans-Bold", "DejaVu Sans", true, false},
    FaceName{"DejaVuSans-Oblique", "DejaVu Sans", false, true},
    FaceName{"DejaVuSans-BoldOblique", "DejaVu Sans", true, true},
    FaceName{"DejaVuSansMono", "DejaVu Sans Mono", false, false},
    FaceName{"DejaVuSansMono-Bold", "DejaVu Sans Mono", true, false},
    FaceName{"DejaVuSerif", "DejaVu Serif", false, false},
    FaceName{"DejaVuSerif-Bold", "DejaVu Serif", true, false},
};

}  // namespace

bool fontNamed(std::string_view name, double size, Font& font) {
  for (const FaceName& face : kFaces) {
    if (name == face.postScript) {
      font = Font{face.family, face.bold, face.italic, size};
      return true;
    }
  }
  return false;
}

std::string postScriptName(const Font& font) {
  for (const FaceName& face : kFaces) {
    if (font.family == face.family && font.bold == face.bold && font.italic == face.italic) {
      return face.postScript;
    }
  }
  return font.family;
}

double lineHeight(const Font& font) {
  Engine& engine = Engine::shared();
  std::lock_guard lock(engine.mutex);
  PangoLayout* layout = engine.measuringLayout.get();
  setOneLine(layout);
  setText(layout, "X", font);
  return logicalSize(layout).height;
}

CGSize lineSize(std::string_view text, const Font& font) {
  if (text.empty()) return CGSizeZero;
  Engine& engine = Engine::shared();
  std::lock_guard lock(engine.mutex);
  PangoLayout* layout = engine.measuringLayout.get();
  setOneLine(layout);
  setText(layout, text, font);
  return logicalSize(layout);
}

// How many whole lines of the laid-out text fit in the height; 0 for no limit.
int linesFitting(PangoLayout* layout, double height) {
  if (!limited(height)) return 0;
  std::unique_ptr<PangoLayoutIter, LayoutIterDeleter> iter(pango_layout_get_iter(layout));
  int lines = 0;
  do {
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter.get(), nullptr, &logical);
    if (points(logical.y + logical.height) > height) break;
    ++lines;
  } while (pango_layout_iter_next_line(iter.get()));
  return std::max(lines, 1);
}

CGSize wrappedSize(std::string_view text, const Font& font, CGSize maxSize, int maxLines) {
  if (text.empty()) return CGSizeZero;
  Engine& engine = Engine::shared();
  std::lock_guard lock(engine.mutex);
  PangoLayout* layout = engine.measuringLayout.get();
  setWrapped(layout, maxSize.width);
  setText(layout, text, font);

  CGSize size = CGSizeZero;
  std::unique_ptr<PangoLayoutIter, LayoutIterDeleter> iter(pango_layout_get_iter(layout));
  int lines = 0;
  do {
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter.get(), nullptr, &logical);
    const double bottom = points(logical.y + logical.height);
    if (limited(maxSize.height) && bottom > maxSize.height) break;
    size.width = std::max(size.width, points(logical.width));
    size.height = bottom;
    if (++lines == maxLines) break;
  } while (pango_layout_iter_next_line(iter.get()));
  return size;
}

void draw(CGContextRef context, std::string_view text, const Font& font, CGColorRef color,
          CGRect rect, const DrawOptions& options) {
  cairo_t* cairo = cairoOf(context);
  if (cairo == nullptr || text.empty()) return;
  Engine& engine = Engine::shared();
  std::lock_guard lock(engine.mutex);
  GObjectPtr<PangoContext> pangoContext(pango_font_map_create_context(engine.fontMap.get()));
  configure(pangoContext.get());
  pango_cairo_update_context(cairo, pangoContext.get());
  GObjectPtr<PangoLayout> layout(pango_layout_new(pangoContext.get()));

  const bool oneLine = options.maxLines == 1;
  if (oneLine) {
    setOneLine(layout.get());
  } else {
    setWrapped(layout.get(), rect.size.width);
  }
  if (limited(rect.size.width)) {
    pango_layout_set_width(layout.get(), pangoUnits(std::min(rect.size.width, kMaxExtent)));
  }
  static constexpr PangoAlignment kAlignments[] = {PANGO_ALIGN_LEFT, PANGO_ALIGN_CENTER,
                                                   PANGO_ALIGN_RIGHT};
  pango_layout_set_alignment(layout.get(),
                             kAlignments[std::clamp(static_cast<int>(options.alignment), 0, 2)]);
  setText(layout.get(), text, font);
  if (options.truncate) {
    // The lines are counted here: Pango's own height limit estimates every line from the first,
    // and a taller first line (a glyph from the fallback font) would cost a line that fits.
    const int lines = oneLine                ? 1
                      : options.maxLines > 0 ? options.maxLines
                                             : linesFitting(layout.get(), rect.size.height);
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    if (!oneLine && lines > 0) pango_layout_set_height(layout.get(), -lines);
  }

  cairo_save(cairo);
  setSourceColor(cairo, color);
  cairo_move_to(cairo, rect.origin.x, rect.origin.y);
  pango_cairo_show_layout(cairo, layout.get());
  cairo_restore(cairo);
}

}  // namespace qv::text
