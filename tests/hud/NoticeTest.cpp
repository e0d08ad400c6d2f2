// The timed notice: its HUD's settings, the deadline, and the hide of every HUD on the view
// before the completion.
#include "hud/Notice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/hud/HUDTestSupport.h"

namespace quorvane::test {
namespace {

using qv::Ref;
using qv::send;

id hudOn(id view) {
  return send<id>(objc_getClass("RuvelProgressHUD"), "HUDForView:"_sel, view);
}

bool sameColor(id color, SEL name) {
  return send<BOOL>(color, "isEqual:"_sel, send<id>(objc_getClass("UIColor"), name));
}

using Notice = HUDTest;

TEST_F(Notice, ShowsATextOnlyWhitePanelWithTitleAndMessage) {
  showNotice(parent, "Driftlane"_ns, "❗ Invalid FPS"_ns, nullptr, 1.5);
  id hud = hudOn(parent);
  ASSERT_NE(hud, nil);
  EXPECT_EQ(send<float>(hud, "margin"_sel), 15.0f);
  EXPECT_TRUE(sameColor(send<id>(hud, "color"_sel), "whiteColor"_sel));
  EXPECT_TRUE(sameColor(send<id>(hud, "labelColor"_sel), "blackColor"_sel));
  EXPECT_TRUE(sameColor(send<id>(hud, "detailsLabelColor"_sel), "blackColor"_sel));
  EXPECT_EQ(send<int>(hud, "mode"_sel), 5);
  EXPECT_EQ(send<id>(hud, "indicator"_sel), nil);
  EXPECT_TRUE(send<BOOL>(hud, "removeFromSuperViewOnHide"_sel));
  // The labels took the texts on the main thread, at once.
  const std::vector<id> labels = childrenOf(hud);
  EXPECT_EQ(qv::utf8(send<id>(labels[0], "text"_sel)), "Driftlane");
  EXPECT_EQ(qv::utf8(send<id>(labels[1], "text"_sel)), "❗ Invalid FPS");
  // The HUD's own defaults for the rest.
  EXPECT_EQ(send<float>(hud, "cornerRadius"_sel), 10.0f);
  EXPECT_FALSE(send<BOOL>(hud, "dimBackground"_sel));
}

TEST_F(Notice, HidesAtTheDeadlineThenCompletesBeforeTheFadeEnds) {
  std::string seen;
  showNotice(
      parent, "Driftlane"_ns, "Saved"_ns,
      [&] {
        id hud = hudOn(parent);
        seen = "completion at " + std::to_string(elapsed()).substr(0, 3) +
               (hud != nil && send<CGFloat>(hud, "alpha"_sel) > 0 ? " while fading" : "");
      },
      1.5);
  runFor(0.3);
  EXPECT_EQ(send<CGFloat>(hudOn(parent), "alpha"_sel), 1);
  runFor(1.1);
  EXPECT_EQ(seen, "");
  EXPECT_NE(hudOn(parent), nil);
  runFor(0.1);
  EXPECT_EQ(seen, "completion at 1.5 while fading");
  runFor(0.3);
  EXPECT_EQ(hudOn(parent), nil);
}

TEST_F(Notice, WithoutCompletionOnlyHides) {
  showNotice(parent, "Driftlane"_ns, "Saved"_ns, nullptr, 3.0);
  runFor(3.3);
  EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_F(Notice, TheFirstDeadlineHidesOverlappingNotices) {
  std::string completions;
  showNotice(
      parent, "Driftlane"_ns, "first"_ns, [&] { completions += "first;"; }, 3.0);
  showNotice(
      parent, "Driftlane"_ns, "second"_ns, [&] { completions += "second;"; }, 10.0);
  EXPECT_EQ(childrenOf(parent).size(), 2u);
  runFor(3.3);
  EXPECT_TRUE(childrenOf(parent).empty());
  EXPECT_EQ(completions, "first;");
  runFor(7);
  EXPECT_EQ(completions, "first;second;");
}

TEST_F(Notice, HoldsItsViewUntilTheHideHasRun) {
  Ref<> view = makeView(CGRectMake(0, 0, 320, 480));
  showNotice(view, "Driftlane"_ns, "Saved"_ns, nullptr, 1.0);
  EXPECT_EQ(qv::retainCount(view), 2u);
  runFor(1.3);
  EXPECT_EQ(qv::retainCount(view), 1u);
  EXPECT_TRUE(childrenOf(view).empty());
}

TEST_F(Notice, WithoutViewRaisesAndSchedulesNothing) {
  bool completed = false;
  EXPECT_THROW(showNotice(
                   nil, "Driftlane"_ns, "Saved"_ns, [&] { completed = true; }, 0),
               qv::ObjCException);
  drainRunLoop();
  EXPECT_FALSE(completed);
}

TEST(NoticeDelay, TruncatesTowardZeroAndClampsToTheRange) {
  EXPECT_EQ(noticeDelay(1.5), 1'500'000'000);
  EXPECT_EQ(noticeDelay(1.8), 1'800'000'000);
  EXPECT_EQ(noticeDelay(2.9e-9), 2);
  EXPECT_EQ(noticeDelay(-2.9e-9), -2);
  EXPECT_EQ(noticeDelay(std::nan("")), 0);
  EXPECT_EQ(noticeDelay(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(noticeDelay(std::numeric_limits<double>::infinity()),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(noticeDelay(-1e300), std::numeric_limits<std::int64_t>::min());
}

}  // namespace
}  // namespace quorvane::test
