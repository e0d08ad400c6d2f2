// The save command in a host of the tests' own: a browser, a video view, a progress overlay and
// publishing agents that write down what the tweak asks of them, beside the platform's real
// bars, sheets, album save, notices and main loop.
#include "media/SaveHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "core/Installation.h"
#include "core/Settings.h"
#include "hud/RuvelProgressHUD.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"
#include "tests/support/Forked.h"
#include "tests/support/Notices.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

using qv::Ref;
using qv::send;
using Journal = std::vector<std::string>;

constexpr const char* kNotReady = "❗ The video is not ready for saving.";
constexpr const char* kNotSaved = "❗ The video could not be saved.";
constexpr const char* kAlreadySaving = "❗ A video is already being saved.";

// What the host answers; each test sets what it needs before acting.
struct Answers {
  bool video = true;
  bool videoViewShown = true;
  bool slowMotionEditor = true;
  bool cameraApp = false;
  std::deque<bool> editing;                            // one answer per question; NO once used up
  std::array<bool, 4> checks{true, true, true, true};  // canEdit … _mediaIsVideo
  bool mogul = true;
  std::string albumFailure;
};

Answers answers;
Journal journal;  // main thread only, like the host it stands for
bool stockEndOnMain = true;

void note(std::string entry) {
  journal.push_back(std::move(entry));
}

BOOL isVideo(id, SEL) {
  return answers.video;
}
BOOL isMogul(id, SEL) {
  note("isMogul");
  return answers.mogul;
}

template <int Index>
BOOL check(id, SEL cmd) {
  note(sel_getName(cmd));
  return answers.checks[Index];
}
BOOL shouldShowSlalomEditor(id, SEL) {
  return answers.slowMotionEditor;
}
id videoCameraImage(id self, SEL) {
  return object_getIvar(self,
                        class_getInstanceVariable(object_getClass(self), "_videoCameraImage"));
}

// The host's browser: one view, one bar of two items, its own "Edit" button on each.
struct Browser {
  Ref<> view, bar, asset, videoView;
};
Browser* browser = nullptr;

id currentAsset(id, SEL) {
  return browser->asset;
}
id currentVideoView(id, SEL) {
  return answers.videoViewShown ? browser->videoView.get() : nil;
}
BOOL isCameraApp(id, SEL) {
  return answers.cameraApp;
}
BOOL isEditingVideo(id, SEL) {
  if (answers.editing.empty()) return NO;
  const bool editing = answers.editing.front();
  answers.editing.pop_front();
  return editing;
}
id browserView(id, SEL) {
  return browser->view;
}
id navigationBar(id, SEL) {
  return browser->bar;
}
void dismiss(id, SEL, BOOL animated, id) {
  note(animated ? "dismiss animated" : "dismiss");
}
void stockUpdateOverlays(id self, SEL, BOOL animated) {
  for (id item : qv::arrayElements(send<id>(browser->bar, "items"_sel))) {
    Ref<> edit = qv::adopt(send<id>(send<id>(objc_getClass("UIBarButtonItem"), "alloc"_sel),
                                    "initWithTitle:style:target:action:"_sel, "Edit"_ns, long{0},
                                    self, "edit"_sel));
    send(item, "setRightBarButtonItem:animated:"_sel, edit.get(), animated);
  }
}
void stockSheetButton(id, SEL, id, long index) {
  note("host sheet " + std::to_string(index));
}

// The platform's progress overlay and publishing agent, as far as the save uses them.
id hudInit(id self, SEL) {
  note("hud init");
  return self;
}
void hudText(id, SEL, id text) {
  note("hud text " + qv::utf8(text));
}
void hudShow(id, SEL, id view) {
  note(view == browser->view.get() ? "hud shown on the browser" : "hud shown elsewhere");
}
void hudHide(id, SEL) {
  note("hud hide");
}
void hudDealloc(id self, SEL) {
  note("hud gone");
  qv::sendSuper<void>(self, objc_getClass("PLProgressHUD"), "dealloc"_sel);
}

Ref<> lastAgent;
id agentFor(id cls, SEL, id bundle, id media) {
  note("agent for " + qv::utf8(bundle) + (media == browser->asset.get() ? " with the clip" : ""));
  lastAgent = qv::adopt(send<id>(send<id>(cls, "alloc"_sel), "init"_sel));
  return lastAgent;
}
void flag(id, SEL cmd, BOOL value) {
  note(std::string(sel_getName(cmd)) + (value ? " YES" : " NO"));
}
void selectedOption(id, SEL, long option) {
  note("option " + std::to_string(option));
}
int remakerModeForOption(id, SEL) {
  return 7;
}
void remakerMode(id, SEL, int mode) {
  note("remaker mode " + std::to_string(mode));
}
void transcode(id, SEL, id media) {
  note(media == browser->asset.get() ? "transcode the clip" : "transcode something else");
}
void stockRemakeEnd(id, SEL, id, id path) {
  stockEndOnMain = qv::MainRunLoop::isMainThread();
  if (stockEndOnMain) note("stock end " + (path != nil ? qv::utf8(path) : std::string("nil")));
}

void registerHost() {
  qv::ClassBuilder("QVTestAsset", objc_getClass("NSObject"))
      .method("isVideo", &isVideo)
      .method("isMogul", &isMogul)
      .registerClass();
  qv::ClassBuilder("PLVideoView", objc_getClass("NSObject"))
      .ivar<id>("_videoCameraImage")
      .method("videoCameraImage", &videoCameraImage)
      .method("_shouldShowSlalomEditor", &shouldShowSlalomEditor)
      .method("canEdit", &check<0>)
      .method("_canAccessVideo", &check<1>)
      .method("_mediaIsPlayable", &check<2>)
      .method("_mediaIsVideo", &check<3>)
      .registerClass();
  qv::ClassBuilder("PLPhotoBrowserController", objc_getClass("NSObject"))
      .method("currentAsset", &currentAsset)
      .method("currentVideoView", &currentVideoView)
      .method("isCameraApp", &isCameraApp)
      .method("isEditingVideo", &isEditingVideo)
      .method("view", &browserView)
      .method("navigationBar", &navigationBar)
      .method("dismissViewControllerAnimated:completion:", &dismiss)
      .method("updateOverlaysAnimated:", &stockUpdateOverlays)
      .method("actionSheet:clickedButtonAtIndex:", &stockSheetButton)
      .registerClass();
  qv::ClassBuilder("PLProgressHUD", objc_getClass("NSObject"))
      .method("init", &hudInit)
      .method("setText:", &hudText)
      .method("showInView:", &hudShow)
      .method("hide", &hudHide)
      .method("dealloc", &hudDealloc)
      .registerClass();
  qv::ClassBuilder("PLPublishingAgent", objc_getClass("NSObject"))
      .classMethod("publishingAgentForBundleNamed:toPublishMedia:", &agentFor)
      .method("setEnableHDUpload:", &flag)
      .method("setMediaIsHDVideo:", &flag)
      .method("setSelectedOption:", &selectedOption)
      .method("_remakerModeForSelectedOption", &remakerModeForOption)
      .method("setRemakerMode:", &remakerMode)
      .method("_transcodeVideo:", &transcode)
      .method("videoRemakerDidEndRemaking:temporaryPath:", &stockRemakeEnd)
      .registerClass();
}

id make(const char* className) {
  return send<id>(send<id>(objc_getClass(className), "alloc"_sel), "init"_sel);
}

// The host with the save's rows installed, in a forked test body.
class SaveHost {
 public:
  SaveHost() {
    registerRuvelProgressHUD();  // the library's constructor registers it
    registerHost();
    static const std::array<HookGroup, 2> groups{
        HookGroup{"PLPhotoBrowserController", photoBrowserHooks()},
        HookGroup{"PLPublishingAgent", publishingAgentHooks()},
    };
    installHookTable({{}, groups}, {"QuorvaneTest", "Tweak", 1, false});
    EXPECT_TRUE(qv::processLog().empty()) << "every class and selector is there";
    initializeConstants();  // SAVE_TEXT, TWEAK_NAME
    browser_.view = qv::adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel),
                                       "initWithFrame:"_sel, CGRectMake(0, 0, 320, 480)));
    browser_.bar = qv::adopt(make("UINavigationBar"));
    for (const char* title : {"Camera Roll", "clip.mov"}) {
      Ref<> item = qv::adopt(send<id>(send<id>(objc_getClass("UINavigationItem"), "alloc"_sel),
                                      "initWithTitle:"_sel, qv::makeString(title).get()));
      send(browser_.bar, "pushNavigationItem:animated:"_sel, item.get(), NO);
    }
    browser_.asset = qv::adopt(make("QVTestAsset"));
    browser_.videoView = qv::adopt(make("PLVideoView"));
    object_setIvar(browser_.videoView,
                   class_getInstanceVariable(objc_getClass("PLVideoView"), "_videoCameraImage"),
                   browser_.asset);
    browser = &browser_;
    controller_ = qv::adopt(make("PLPhotoBrowserController"));
    qv::ui::setSavedPhotosAlbum([](const std::string& path) {
      note("album " + path);
      return answers.albumFailure;
    });
  }
  ~SaveHost() {
    qv::ui::setSavedPhotosAlbum({});
    browser = nullptr;
  }

  id controller() const { return controller_; }
  id view() const { return browser_.view; }

  // A remade file under the root, as the agent would leave it.
  id remakeFile() const {
    root_.writeFile("/tmp/remake.mov", "remade");
    return "/tmp/remake.mov"_ns;
  }

  std::vector<std::string> rightButtons() const {
    std::vector<std::string> titles;
    for (id item : qv::arrayElements(send<id>(browser_.bar, "items"_sel))) {
      id button = send<id>(item, "rightBarButtonItem"_sel);
      titles.push_back(qv::utf8(send<id>(button, "title"_sel)) + " " +
                       sel_getName(send<SEL>(button, "action"_sel)) +
                       (send<id>(button, "target"_sel) == controller_.get() ? "" : " elsewhere"));
    }
    return titles;
  }

  id sheet() const {
    for (id child : qv::arrayElements(send<id>(browser_.view, "subviews"_sel))) {
      if (send<BOOL>(child, "isKindOfClass:"_sel, objc_getClass("UIActionSheet"))) return child;
    }
    return nil;
  }

  void save() const { send(controller_, "qv_saveSlomo"_sel); }
  void endRemake(id agent, id path) const {
    send(agent, "videoRemakerDidEndRemaking:temporaryPath:"_sel, id{nil}, path);
  }
  static void settle() { qv::MainRunLoop::runUntilIdle(); }

 private:
  qv::test::SandboxRoot root_;
  qv::AutoreleasePool pool_;
  Browser browser_;
  Ref<> controller_;
};

void runSaveTest(const std::function<void(SaveHost&)>& body) {
  qv::test::runForked([&] {
    SaveHost host;
    journal.clear();
    body(host);
  });
}

Journal startOfSave() {
  return {"canEdit",
          "_canAccessVideo",
          "_mediaIsPlayable",
          "_mediaIsVideo",
          "isMogul",
          "hud init",
          "hud text Saving Slo-mo...",
          "hud shown on the browser",
          "agent for PublishToYouTube with the clip",
          "setEnableHDUpload: YES",
          "setMediaIsHDVideo: YES",
          "option 1",
          "remaker mode 7",
          "transcode the clip"};
}

bool idle() {
  return buttonAction == NO && qvHUD == nil;
}

TEST(SaveButton, ReplacesTheRightButtonsOfSlowMotionVideosOnEveryUpdate) {
  runSaveTest([](SaveHost& host) {
    send(host.controller(), "updateOverlaysAnimated:"_sel, YES);
    EXPECT_EQ(host.rightButtons(),
              (std::vector<std::string>{"Save Slo-mo qv_saveSlomo", "Save Slo-mo qv_saveSlomo"}));
    answers.cameraApp = true;
    send(host.controller(), "updateOverlaysAnimated:"_sel, NO);
    EXPECT_EQ(host.rightButtons(),
              (std::vector<std::string>{"... qv_multipleOptions", "... qv_multipleOptions"}));
  });
}

TEST(SaveButton, LeavesTheHostsButtonsForAnythingElse) {
  const std::vector<std::function<void()>> cases{
      [] { answers.video = false; },
      [] { answers.videoViewShown = false; },
      [] { answers.slowMotionEditor = false; },
      [] {
        answers.editing = {true, true};
      },
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    runSaveTest([&](SaveHost& host) {
      cases[i]();
      send(host.controller(), "updateOverlaysAnimated:"_sel, YES);
      EXPECT_EQ(host.rightButtons(), (std::vector<std::string>{"Edit edit", "Edit edit"}))
          << "case " << i;
    });
  }
  runSaveTest([](SaveHost& host) {
    answers.editing = {false, true};  // editing began while the bar was rebuilt
    send(host.controller(), "updateOverlaysAnimated:"_sel, YES);
    EXPECT_EQ(host.rightButtons(),
              (std::vector<std::string>{"Save Slo-mo qv_saveSlomo", "Edit edit"}));
  });
}

TEST(SaveSheet, OffersSaveDoneAndCancelUnderItsTag) {
  runSaveTest([](SaveHost& host) {
    send(host.controller(), "qv_multipleOptions"_sel);
    id sheet = host.sheet();
    ASSERT_NE(sheet, nil);
    EXPECT_EQ(send<long>(sheet, "tag"_sel), kSaveSheetTag);
    EXPECT_EQ(send<id>(sheet, "delegate"_sel), host.controller());
    std::vector<std::string> titles;
    for (long i = 0; i < send<long>(sheet, "numberOfButtons"_sel); ++i) {
      titles.push_back(qv::utf8(send<id>(sheet, "buttonTitleAtIndex:"_sel, i)));
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Save Slo-mo", "Done", "Cancel"}));
    EXPECT_EQ(send<long>(sheet, "cancelButtonIndex"_sel), 2);

    EXPECT_TRUE(qv::ui::pressActionSheetButton(sheet, 1));
    EXPECT_EQ(journal, Journal{"dismiss animated"});
    EXPECT_EQ(host.sheet(), nil);
  });
}

TEST(SaveSheet, SaveStartsASaveCancelDoesNothingAndForeignSheetsReachTheHost) {
  runSaveTest([](SaveHost& host) {
    send(host.controller(), "qv_multipleOptions"_sel);
    EXPECT_TRUE(qv::ui::pressActionSheetButton(host.sheet(), 2));
    EXPECT_TRUE(journal.empty());
    send(host.controller(), "qv_multipleOptions"_sel);
    EXPECT_TRUE(qv::ui::pressActionSheetButton(host.sheet(), 0));
    EXPECT_EQ(journal, startOfSave());

    journal.clear();
    Ref<> own = qv::adopt(make("UIActionSheet"));
    send(own, "setTag:"_sel, long{7});
    send(host.controller(), "actionSheet:clickedButtonAtIndex:"_sel, own.get(), long{0});
    EXPECT_EQ(journal, Journal{"host sheet 0"});
  });
}

TEST(SaveQualification, StopsAtTheFirstFailingCheckWithANotice) {
  const Journal order{"canEdit", "_canAccessVideo", "_mediaIsPlayable", "_mediaIsVideo", "isMogul"};
  for (std::size_t failing = 0; failing <= order.size(); ++failing) {
    runSaveTest([&](SaveHost& host) {
      if (failing < 4) answers.checks[failing] = false;
      if (failing == 4) answers.mogul = false;
      if (failing == order.size()) answers.videoViewShown = false;
      host.save();
      const std::size_t asked = failing == order.size() ? 0 : failing + 1;
      EXPECT_EQ(journal, Journal(order.begin(), order.begin() + static_cast<long>(asked)));
      EXPECT_EQ(qv::test::noticesOn(host.view()), std::vector<std::string>{kNotReady});
      EXPECT_TRUE(idle());
      qv::MainRunLoop::runFor(2.9);
      EXPECT_EQ(qv::test::noticesOn(host.view()).size(), 1u) << "three seconds";
      qv::MainRunLoop::runFor(0.2);
      EXPECT_TRUE(qv::test::noticesOn(host.view()).empty());
    });
  }
}

TEST(SaveFlow, RemakesThenSavesToTheAlbumThenTakesTheOverlayDown) {
  runSaveTest([](SaveHost& host) {
    host.save();
    EXPECT_EQ(journal, startOfSave());
    EXPECT_EQ(buttonAction, YES);
    EXPECT_NE(qvHUD, nil);

    journal.clear();
    host.endRemake(lastAgent, host.remakeFile());
    EXPECT_EQ(journal, Journal{"stock end /tmp/remake.mov"});
    EXPECT_EQ(buttonAction, NO);
    EXPECT_NE(qvHUD, nil) << "the overlay stays while the album saves";
    host.settle();
    EXPECT_EQ(journal, (Journal{"stock end /tmp/remake.mov", "album /tmp/remake.mov", "hud hide",
                                "hud gone"}));
    EXPECT_TRUE(idle());
    EXPECT_TRUE(qv::test::noticesOn(host.view()).empty());
  });
}

TEST(SaveFlow, ARemakeWithoutAFileTakesTheOverlayDownAndSaysSo) {
  runSaveTest([](SaveHost& host) {
    host.save();
    journal.clear();
    host.endRemake(lastAgent, nil);
    host.settle();
    EXPECT_EQ(journal, (Journal{"hud hide", "hud gone", "stock end nil"}));
    EXPECT_TRUE(idle());
    EXPECT_EQ(qv::test::noticesOn(host.view()), std::vector<std::string>{kNotSaved});
  });
}

TEST(SaveFlow, AFailedAlbumSaveTakesTheOverlayDownAndSaysSo) {
  runSaveTest([](SaveHost& host) {
    answers.albumFailure = "the album is full";
    host.save();
    host.endRemake(lastAgent, host.remakeFile());
    host.settle();
    EXPECT_TRUE(idle());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "hud gone"), journal.end());
    EXPECT_EQ(qv::test::noticesOn(host.view()), std::vector<std::string>{kNotSaved});
  });
}

TEST(SaveFlow, ASecondSaveIsRefusedWhileOneIsInFlight) {
  runSaveTest([](SaveHost& host) {
    host.save();
    Ref<> first(lastAgent);
    journal.clear();
    host.save();
    EXPECT_TRUE(journal.empty()) << "nothing checked, nothing started";
    EXPECT_EQ(qv::test::noticesOn(host.view()), std::vector<std::string>{kAlreadySaving});
    // Also while the album saves, after the remake.
    host.endRemake(first, host.remakeFile());
    journal.clear();
    host.save();
    EXPECT_TRUE(journal.empty());
    host.settle();
    EXPECT_TRUE(idle());
    journal.clear();
    host.save();
    EXPECT_EQ(journal, startOfSave()) << "a new save once the first has ended";
  });
}

TEST(SaveFlow, OnlyTheConfiguredAgentsRemakeIsSaved) {
  runSaveTest([](SaveHost& host) {
    Ref<> platforms = qv::adopt(make("PLPublishingAgent"));
    host.endRemake(platforms, host.remakeFile());  // no save pending
    host.save();
    Ref<> ours(lastAgent);
    journal.clear();
    host.endRemake(platforms, host.remakeFile());  // a save pending, someone else's remake
    host.settle();
    EXPECT_EQ(journal, Journal{"stock end /tmp/remake.mov"});
    EXPECT_EQ(buttonAction, YES);
    host.endRemake(ours, host.remakeFile());
    host.settle();
    EXPECT_TRUE(idle());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "album /tmp/remake.mov"), journal.end());
  });
}

TEST(SaveFlow, CompletionsFromOtherThreadsAreTakenOnTheMainThread) {
  runSaveTest([](SaveHost& host) {
    host.save();
    Ref<> agent(lastAgent);
    Ref<> path(host.remakeFile());
    std::thread([&] { host.endRemake(agent, path); }).join();
    EXPECT_EQ(buttonAction, YES) << "untouched until the main thread takes it";
    host.settle();
    EXPECT_TRUE(stockEndOnMain);
    EXPECT_TRUE(idle());

    host.save();
    std::thread([&] {
      send(lastAgent.get(), "qv_video:didFinishSavingWithError:contextInfo:"_sel, path.get(),
           id{nil}, static_cast<void*>(nullptr));
    }).join();
    EXPECT_NE(qvHUD, nil);
    host.settle();
    EXPECT_EQ(qvHUD, nil);
  });
}

}  // namespace
}  // namespace quorvane
