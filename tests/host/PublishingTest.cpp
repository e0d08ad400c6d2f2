// The browser and the publishing hosts: the browser's own buttons per app, editing and its
// share sheet; the agent's remake ending from a background thread, alive until then; the album
// importing saved videos and refusing what it cannot take; the progress overlay.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <vector>

#include "host/App.h"
#include "host/AppWindow.h"
#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotoBrowser.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosUI.h"
#include "host/ios8/Publishing.h"
#include "platform/AVFoundation/Media.h"
#include "platform/System/FileSystem.h"
#include "platform/System/System.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

constexpr const char* kClip = "/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV";

struct Ending {
  std::string path;
  bool onMain = true;
  std::uint64_t agentRetains = 0;
};
std::vector<Ending> endings;  // written from the remake's thread, read after the loop drained
IMP stockEnd = nullptr;

void recordingEnd(id self, SEL selector, id remaker, id path) {
  endings.push_back({path ? utf8(path) : "", MainRunLoop::isMainThread(), retainCount(self)});
  invoke(stockEnd, self, selector, remaker, path);
}

// A Photos (or Camera) process with a 120 fps clip in the album and the browser's window.
void startApp(const char* name) {
  setProcessName(name);
  MainRunLoop::adoptCurrentThread();
  media::writeClip(resolvePath(kClip), {120, 0.4, 160, 90});
  host::registerMediaClassesIOS8();
  host::registerPhotoLibrary(host::HostGeneration::iOS8);
  host::registerPhotosUI(host::HostGeneration::iOS8);
  host::registerPublishing();
  host::registerPhotoBrowser();
  host::openAppWindow(make(objc_getClass("UIViewController")));
  Method end = class_getInstanceMethod(objc_getClass("PLPublishingAgent"),
                                       "videoRemakerDidEndRemaking:temporaryPath:"_sel);
  stockEnd = method_setImplementation(end, toIMP(&recordingEnd));
}

std::vector<std::string> rightButtons(id browser) {
  std::vector<std::string> titles;
  for (id item : arrayElements(send<id>(send<id>(browser, "navigationBar"_sel), "items"_sel))) {
    titles.push_back(utf8(send<id>(send<id>(item, "rightBarButtonItem"_sel), "title"_sel)));
  }
  return titles;
}

id topButton(id browser, const char* side) {
  return send<id>(send<id>(send<id>(browser, "navigationBar"_sel), "topItem"_sel),
                  sel_registerName(side));
}

using Titles = std::vector<std::string>;

TEST(PhotoBrowser, PhotosPutsEditOnEveryItemAndDoneWhileEditing) {
  test::SandboxRoot root;
  test::runForked([] {
    AutoreleasePool pool;
    startApp(host::kPhotosApp);
    ASSERT_EQ(host::presentPhotoBrowser(host::libraryAsset("IMG_0001.MOV")), "");
    id browser = host::presentedPhotoBrowser();
    EXPECT_FALSE(send<BOOL>(browser, "isCameraApp"_sel));
    EXPECT_TRUE(send<BOOL>(send<id>(browser, "currentAsset"_sel), "isVideo"_sel));
    id videoView = send<id>(browser, "currentVideoView"_sel);
    ASSERT_NE(videoView, nil);
    EXPECT_EQ(send<id>(videoView, "videoCameraImage"_sel), send<id>(browser, "currentAsset"_sel));
    EXPECT_EQ(rightButtons(browser), (Titles{"Edit", "Edit"}));
    EXPECT_TRUE(ui::pressBarButton(topButton(browser, "rightBarButtonItem")));
    EXPECT_TRUE(send<BOOL>(browser, "isEditingVideo"_sel));
    EXPECT_EQ(rightButtons(browser), (Titles{"Done", "Done"}));
    EXPECT_TRUE(ui::pressBarButton(topButton(browser, "rightBarButtonItem")));
    EXPECT_EQ(rightButtons(browser), (Titles{"Edit", "Edit"}));

    send(browser, "dismissViewControllerAnimated:completion:"_sel, YES, id{nil});
    EXPECT_EQ(host::presentedPhotoBrowser(), nil);
    EXPECT_EQ(send<id>(send<id>(browser, "view"_sel), "superview"_sel), nil);
  });
}

TEST(PhotoBrowser, CameraClosesWithDoneAndItsShareSheetPublishesWithoutSaving) {
  test::SandboxRoot root;
  test::runForked([] {
    AutoreleasePool pool;
    startApp(host::kCameraApp);
    ASSERT_EQ(host::presentPhotoBrowser(host::libraryAsset("IMG_0001.MOV")), "");
    id browser = host::presentedPhotoBrowser();
    EXPECT_TRUE(send<BOOL>(browser, "isCameraApp"_sel));
    EXPECT_EQ(rightButtons(browser), (Titles{"Done", "Done"}));

    EXPECT_TRUE(ui::pressBarButton(topButton(browser, "leftBarButtonItem")));
    ASSERT_EQ(ui::visibleActionSheets().size(), 1u);
    id sheet = ui::visibleActionSheets().front();
    EXPECT_EQ(send<NSInteger>(sheet, "tag"_sel), 0);
    EXPECT_EQ(send<id>(sheet, "delegate"_sel), browser);
    EXPECT_TRUE(ui::pressActionSheetButton(sheet, 0));  // "YouTube"
    MainRunLoop::runUntilIdle();
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(host::endedPublishings().size(), 1u) << "the stock end ran";
    EXPECT_EQ(host::libraryAssets().size(), 1u) << "nothing saved";

    EXPECT_TRUE(ui::pressBarButton(topButton(browser, "rightBarButtonItem")));
    EXPECT_EQ(host::presentedPhotoBrowser(), nil) << "Done closed it";
  });
}

TEST(PublishingAgent, TheRemakeEndsOnItsOwnThreadWithAThirtyFrameFileThatStays) {
  test::SandboxRoot root;
  test::runForked([] {
    startApp(host::kPhotosApp);
    {
      AutoreleasePool pool;
      id asset = host::libraryAsset("IMG_0001.MOV");
      id agent = send<id>(objc_getClass("PLPublishingAgent"),
                          "publishingAgentForBundleNamed:toPublishMedia:"_sel,
                          "PublishToYouTube"_ns, asset);
      EXPECT_NE(agent, send<id>(objc_getClass("PLPublishingAgent"),
                                "publishingAgentForBundleNamed:toPublishMedia:"_sel,
                                "PublishToYouTube"_ns, asset))
          << "a new agent per call";
      send(agent, "setSelectedOption:"_sel, long{1});
      EXPECT_EQ(send<int>(agent, "_remakerModeForSelectedOption"_sel), 2);
      send(agent, "_transcodeVideo:"_sel, asset);
      host::failNextRemake();
      send(agent, "_transcodeVideo:"_sel, asset);
    }  // the caller's references are gone: the agent keeps itself alive
    MainRunLoop::runUntilIdle();
    ASSERT_EQ(endings.size(), 2u);
    EXPECT_EQ(host::remakesInFlight(), 0);
    for (const Ending& ending : endings) {
      EXPECT_FALSE(ending.onMain) << "the platform calls back on its own thread";
      EXPECT_GE(ending.agentRetains, 1u);
    }
    const std::string made = endings[0].path.empty() ? endings[1].path : endings[0].path;
    EXPECT_EQ(endings[0].path.empty() + endings[1].path.empty(), 1) << "one failed";
    ASSERT_FALSE(made.empty());
    const media::MediaInfo info = media::readMediaInfo(resolvePath(made));
    ASSERT_FALSE(info.tracks.empty()) << "the stock end keeps the temporary file";
    EXPECT_EQ(info.tracks[0].nominalFrameRate, 30.0f);
    // The default section, the middle half, at 30 / 120: 0.1 + 0.2 * 4 + 0.1 seconds.
    EXPECT_NEAR(CMTimeGetSeconds(info.tracks[0].duration), 1.0, 1e-6);
  });
}

TEST(PhotoLibrary, TheAlbumImportsSavedVideosAndRefusesWhatItCannotTake) {
  test::SandboxRoot root;
  test::runForked([&root] {
    AutoreleasePool pool;
    startApp(host::kPhotosApp);
    media::writeClip(resolvePath("/tmp/remake.mov"), {30, 0.2, 64, 48});
    EXPECT_EQ(host::saveToAlbum("/tmp/remake.mov"), "");
    id saved = host::libraryAsset("IMG_0002.MOV");
    ASSERT_NE(saved, nil) << "copied in and imported";
    EXPECT_EQ(send<float>(saved, "nominalFrameRate"_sel), 30.0f);
    EXPECT_FALSE(send<BOOL>(saved, "isMogul"_sel));

    EXPECT_EQ(host::saveToAlbum("/tmp/missing.mov"), "/tmp/missing.mov cannot be read");
    host::failNextAlbumSave();
    EXPECT_NE(host::saveToAlbum("/tmp/remake.mov"), "");
    ASSERT_EQ(::chmod(root.hostPath(host::kAlbumFolder).c_str(), 0555), 0);
    EXPECT_EQ(host::saveToAlbum("/tmp/remake.mov"), "the album is read-only");
    ::chmod(root.hostPath(host::kAlbumFolder).c_str(), 0755);
    EXPECT_EQ(host::libraryAssets().size(), 2u) << "no refused save reached the library";
    EXPECT_EQ(host::saveToAlbum("/tmp/remake.mov"), "") << "a refusal passes";
  });
}

TEST(ProgressHUD, ShowsItsTextOnAViewUntilHidden) {
  test::SandboxRoot root;
  test::runForked([] {
    AutoreleasePool pool;
    startApp(host::kPhotosApp);
    Ref<> hud = make(objc_getClass("PLProgressHUD"));
    send(hud.get(), "setText:"_sel, "Saving Slo-mo..."_ns);
    EXPECT_TRUE(host::shownProgressHUDs().empty());
    id view = send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
    send(hud.get(), "showInView:"_sel, view);
    ASSERT_EQ(host::shownProgressHUDs().size(), 1u);
    EXPECT_EQ(utf8(send<id>(host::shownProgressHUDs()[0], "text"_sel)), "Saving Slo-mo...");
    EXPECT_EQ(send<CGRect>(hud.get(), "frame"_sel).size.width,
              send<CGRect>(view, "bounds"_sel).size.width);
    send(hud.get(), "hide"_sel);
    EXPECT_TRUE(host::shownProgressHUDs().empty());
  });
}

}  // namespace
}  // namespace qv
