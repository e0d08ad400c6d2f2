// Whole-screen pictures of the HUD compared with golden PNGs that a person has looked at.
// QUORVANE_UPDATE_GOLDEN=1 rewrites the golden files from the current rendering instead.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "hud/Notice.h"
#include "platform/CoreGraphics/Bitmap.h"
#include "platform/UIKit/Snapshot.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "tests/hud/HUDTestSupport.h"

namespace quorvane::test {
namespace {

using qv::Ref;
using qv::send;

// Anti-aliased edges may differ by a few levels between cairo builds; a handful of pixels may
// differ by more.
constexpr int kChannelTolerance = 6;
constexpr int kAllowedOutliers = 20;

qv::CairoSurfacePtr readPNG(const std::string& path) {
  return qv::CairoSurfacePtr(cairo_image_surface_create_from_png(path.c_str()));
}

// Pixels with a channel that differs by more than the tolerance; an opaque image's unused fourth
// byte is skipped.
int differingPixels(cairo_surface_t* a, cairo_surface_t* b) {
  const int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
  const int channels = cairo_image_surface_get_format(a) == CAIRO_FORMAT_ARGB32 ? 4 : 3;
  int differing = 0;
  for (int y = 0; y < height; ++y) {
    const unsigned char* rowA =
        cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a);
    const unsigned char* rowB =
        cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int byte = 4 * x + c;  // blue, green, red, then alpha (native-endian ARGB)
        if (std::abs(rowA[byte] - rowB[byte]) > kChannelTolerance) {
          ++differing;
          break;
        }
      }
    }
  }
  return differing;
}

void expectMatchesGolden(const qv::Bitmap& image, const std::string& name) {
  const std::string golden = std::string(QUORVANE_HUD_GOLDEN_DIR) + "/" + name;
  if (std::getenv("QUORVANE_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(image.writePNG(golden)) << golden;
    return;
  }
  // The rendering goes through PNG too, so both sides are read back alike.
  const std::string actual = ::testing::TempDir() + "/" + name;
  ASSERT_TRUE(image.writePNG(actual)) << actual;
  const qv::CairoSurfacePtr expected = readPNG(golden), rendered = readPNG(actual);
  ASSERT_EQ(cairo_surface_status(expected.get()), CAIRO_STATUS_SUCCESS) << golden;
  ASSERT_EQ(cairo_surface_status(rendered.get()), CAIRO_STATUS_SUCCESS) << actual;
  ASSERT_EQ(cairo_image_surface_get_format(expected.get()),
            cairo_image_surface_get_format(rendered.get()));
  ASSERT_EQ(cairo_image_surface_get_width(expected.get()), image.width());
  ASSERT_EQ(cairo_image_surface_get_height(expected.get()), image.height());
  EXPECT_LE(differingPixels(expected.get(), rendered.get()), kAllowedOutliers)
      << "pixels differ from " << golden << "; this rendering is " << actual;
}

id color(double red, double green, double blue) {
  return send<id>(objc_getClass("UIColor"), "colorWithRed:green:blue:alpha:"_sel, red, green, blue,
                  1.0);
}

// Runs past the show's fade to an instant where the spinner's lead spoke points up.
void settle() {
  constexpr std::int64_t kSpinnerTurn = 83'333'333LL * 12;
  const std::int64_t faded = qv::Clock::now() + 300'000'000;
  qv::MainRunLoop::runUntil((faded / kSpinnerTurn + 1) * kSpinnerTurn);
}

using Golden = HUDTest;

TEST_F(Golden, NoticeWithATwoLineMessage) {
  send(parent, "setBackgroundColor:"_sel, color(0.35, 0.4, 0.45));
  showNotice(parent, "Driftlane"_ns, "❗ Unsupported FPS: 240\nHead to settings to change this."_ns,
             nullptr, 10.0);
  settle();
  expectMatchesGolden(qv::ui::snapshot(parent), "notice-two-lines.png");
}

TEST_F(Golden, SpinnerOverADimmedBackground) {
  send(parent, "setBackgroundColor:"_sel, color(0.85, 0.9, 1.0));
  id hud = send<id>(objc_getClass("RuvelProgressHUD"), "showHUDAddedTo:animated:"_sel, parent.get(),
                    BOOL{YES});
  send(hud, "setDimBackground:"_sel, BOOL{YES});
  send(hud, "setLabelText:"_sel, "Saving Slo-mo..."_ns);
  settle();
  expectMatchesGolden(qv::ui::snapshot(parent), "spinner-dimmed.png");
}

}  // namespace
}  // namespace quorvane::test
