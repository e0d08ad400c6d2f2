// The monkey's save invariants against apps as their looks describe them: what a press of
// "Save Slo-mo" may come to, and the overlay that outlives its remake.
#include "sim/front/MonkeySaves.h"

#include <gtest/gtest.h>

#include <map>

namespace qv::sim {
namespace {

constexpr const char* kApp = "MobileSlideShow";

// An app as its looks answer: the remakes, the album's clips and the notices on screen.
struct FakeApp {
  long long ended = 0, failed = 0, inFlight = 0;
  ValueList clips{ValueMap{
      {"name", "IMG_0001.MOV"}, {"frame_rate", 120}, {"duration", 0.4}, {"playable", true}}};
  ValueList notices;
  Value overlay;

  Look look() const {
    return [this](const std::string& key, const std::string&) -> Value {
      if (key == "remakes") {
        return ValueMap{{"in_flight", inFlight}, {"ended", ended}, {"failed", failed}};
      }
      if (key == "album_clips") return clips;
      if (key == "notices") return notices;
      if (key == "overlay") return overlay;
      return {};
    };
  }

  void remake(bool fails = false) {
    ++ended;
    failed += fails ? 1 : 0;
  }
  void save(double frameRate, double duration, bool playable = true) {
    clips.push_back(ValueMap{{"name", "IMG_0002.MOV"},
                             {"frame_rate", frameRate},
                             {"duration", duration},
                             {"playable", playable}});
  }
  void tell(const std::string& message) {
    notices.push_back(ValueMap{{"title", "Driftlane"}, {"message", message}, {"time_left", 3}});
  }
};

// What the press came to, given what the app did during it.
template <typename During>
std::optional<Violation> press(During during) {
  FakeApp app;
  const SavePress pressed(kApp, "IMG_0001.MOV", app.look());
  during(app);
  return pressed.check(app.look());
}

TEST(MonkeySaves, APressEndsInTheRemadeFileTheFailureNoticeOrTheReasonItDidNotStart) {
  EXPECT_FALSE(press([](FakeApp& app) {
    app.remake();
    app.save(30, 1.2);
  }));
  EXPECT_FALSE(press([](FakeApp& app) {
    app.remake(true);
    app.tell("❗ The video could not be saved.");
  }));
  EXPECT_FALSE(press([](FakeApp& app) {  // the album refused the remade file
    app.remake();
    app.tell("❗ The video could not be saved.");
  }));
  EXPECT_FALSE(press([](FakeApp& app) { app.tell("❗ The video is not ready for saving."); }));
  EXPECT_FALSE(press([](FakeApp& app) { app.tell("❗ A video is already being saved."); }));
}

TEST(MonkeySaves, APressThatEndsInNothingTheUserCanSeeIsCaughtWithWhatRunShouldExpect) {
  const auto silent = press([](FakeApp&) {});
  ASSERT_TRUE(silent);
  EXPECT_EQ(silent->kind, "save");
  EXPECT_EQ(silent->app, kApp);
  EXPECT_EQ(silent->text, "Save Slo-mo on IMG_0001.MOV started no save and showed no notice");
  EXPECT_EQ(silent->witness, std::vector<std::string>{"expect: {app: MobileSlideShow, notices: "
                                                      "[{message: \"❗ The video is not ready "
                                                      "for saving.\"}]}"});

  const auto lost = press([](FakeApp& app) { app.remake(); });
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->text,
            "Save Slo-mo on IMG_0001.MOV ended with no file in the album and no notice");
  EXPECT_EQ(lost->witness, std::vector<std::string>{"expect: {app: MobileSlideShow, album_clips: "
                                                    "[{name: IMG_0001.MOV}, {frame_rate: 30, "
                                                    "playable: true}]}"});
  const auto unsaid = press([](FakeApp& app) { app.remake(true); });
  ASSERT_TRUE(unsaid);
  EXPECT_NE(unsaid->witness.front().find("could not be saved"), std::string::npos);
}

TEST(MonkeySaves, ARemadeFileMustPlayAtThirtyFramesAndKeepTheClipsLength) {
  const auto rate = press([](FakeApp& app) {
    app.remake();
    app.save(120, 1.2);
  });
  ASSERT_TRUE(rate);
  EXPECT_EQ(rate->text, "Save Slo-mo on IMG_0001.MOV saved IMG_0002.MOV at 120 fps");
  EXPECT_EQ(rate->witness, std::vector<std::string>{"expect: {app: MobileSlideShow, album_clips: "
                                                    "[{name: IMG_0001.MOV}, {name: IMG_0002.MOV, "
                                                    "frame_rate: 30, playable: true}]}"});
  const auto dead = press([](FakeApp& app) {
    app.remake();
    app.save(30, 1.2, false);
  });
  ASSERT_TRUE(dead);
  EXPECT_NE(dead->text.find("that does not play"), std::string::npos);
  EXPECT_FALSE(press([](FakeApp& app) {  // within a frame of the clip
    app.remake();
    app.save(30, 0.38);
  }));
  const auto cut = press([](FakeApp& app) {
    app.remake();
    app.save(30, 0.2);
  });
  ASSERT_TRUE(cut);
  EXPECT_NE(cut->text.find("shorter than the clip"), std::string::npos);
  const auto both = press([](FakeApp& app) {
    app.remake();
    app.save(30, 1.2);
    app.tell("❗ The video could not be saved.");
  });
  ASSERT_TRUE(both);
  EXPECT_EQ(both->text, "Save Slo-mo on IMG_0001.MOV saved its file and said it could not");
}

TEST(MonkeySaves, TheOverlayMayStayOnlyWhileARemakeIsInFlight) {
  FakeApp app;
  EXPECT_FALSE(checkSaveOverlay(kApp, app.look()));
  app.overlay = ValueMap{{"text", "Saving Slo-mo..."}, {"count", 1}};
  app.inFlight = 1;
  EXPECT_FALSE(checkSaveOverlay(kApp, app.look()));
  app.inFlight = 0;
  const auto stays = checkSaveOverlay(kApp, app.look());
  ASSERT_TRUE(stays);
  EXPECT_EQ(stays->kind, "overlay");
  EXPECT_EQ(stays->text, "the overlay 'Saving Slo-mo...' stays with no save in flight");
  EXPECT_EQ(stays->witness, (std::vector<std::string>{
                                "wait: 30", "expect: {app: MobileSlideShow, overlay: none}"}));
}

}  // namespace
}  // namespace qv::sim
