// "Save Slo-mo": the browser's button and sheet, the remake through the publishing agent, and
// the album save, with one save in flight at a time.
#include "media/SaveHooks.h"

#include <array>
#include <atomic>
#include <functional>
#include <utility>

#include "core/Settings.h"
#include "hud/Notice.h"
#include "media/MediaHooks.h"
#include "port/Foundation/Foundation.h"
#include "port/UIKit/UIKit.h"
#include "port/dispatch/dispatch.h"

namespace quorvane {
namespace {

using qv::send;

constexpr long kPlainStyle = 0;
constexpr long kSaveIndex = 0;
constexpr long kDoneIndex = 1;
constexpr long kPublishingOption = 1;

// What the save in flight holds besides buttonAction and qvHUD. The agent is kept by identity
// only, since the platform keeps it alive until its remake has ended; remake ends compare
// against it on whatever thread they arrive, so it is atomic. The view is main-thread only.
struct SaveInFlight {
  std::atomic<id> agent{nil};
  qv::Ref<> view;  // the view the overlay covers, for a failure notice after it goes
};

SaveInFlight& inFlight() {
  static auto* save = new SaveInFlight;  // for the life of the process, like the hooks
  return *save;
}

bool onMainThread() {
  return send<BOOL>(objc_getClass("NSThread"), "isMainThread"_sel) != NO;
}

void onMain(std::function<void()> work) {
  if (onMainThread()) {
    work();
  } else {
    dispatch_async(dispatch_get_main_queue(), std::move(work));
  }
}

void tell(id view, id message) {
  if (view != nil) showNotice(view, TWEAK_NAME, message, {}, kSaveNoticeSeconds);
}

bool saveInFlight() {
  return buttonAction != NO || qvHUD != nil;
}

// Takes the overlay down and forgets the save; a failed one says so on the covered view.
void endSave(bool failed) {
  qv::Ref<> view = std::exchange(inFlight().view, nullptr);
  inFlight().agent.store(nil);
  buttonAction = NO;
  if (qvHUD != nil) {
    send(qvHUD, "hide"_sel);
    qv::release(std::exchange(qvHUD, nil));
  }
  if (failed) tell(view, "❗ The video could not be saved."_ns);
}

// The browser shows a video that the slow-motion editor takes.
bool showsSlowMotionVideo(id browser) {
  if (!send<BOOL>(send<id>(browser, "currentAsset"_sel), "isVideo"_sel)) return false;
  id videoView = send<id>(browser, "currentVideoView"_sel);
  return videoView != nil && send<BOOL>(videoView, "_shouldShowSlalomEditor"_sel);
}

bool qualifiesForSaving(id videoView) {
  if (videoView == nil) return false;
  for (SEL check :
       {"canEdit"_sel, "_canAccessVideo"_sel, "_mediaIsPlayable"_sel, "_mediaIsVideo"_sel}) {
    if (!send<BOOL>(videoView, check)) return false;
  }
  return send<BOOL>(shownAsset(videoView), "isMogul"_sel) != NO;
}

// Has the agent remake the media for the album; the save goes on when the remake ends.
void startSave(id view, id media) {
  buttonAction = YES;
  qvHUD = send<id>(send<id>(objc_getClass("PLProgressHUD"), "alloc"_sel), "init"_sel);
  send(qvHUD, "setText:"_sel, "Saving Slo-mo..."_ns);
  send(qvHUD, "showInView:"_sel, view);
  inFlight().view = qv::Ref<>(view);
  id agent =
      send<id>(objc_getClass("PLPublishingAgent"),
               "publishingAgentForBundleNamed:toPublishMedia:"_sel, "PublishToYouTube"_ns, media);
  if (agent == nil) return endSave(true);  // nothing would ever end this save
  send(agent, "setEnableHDUpload:"_sel, YES);
  send(agent, "setMediaIsHDVideo:"_sel, YES);
  send(agent, "setSelectedOption:"_sel, kPublishingOption);
  send(agent, "setRemakerMode:"_sel, send<int>(agent, "_remakerModeForSelectedOption"_sel));
  // Set before the remake starts: a remake may end before _transcodeVideo: returns.
  inFlight().agent.store(agent);
  send(agent, "_transcodeVideo:"_sel, media);
}

// Main thread: our remake has ended, with its file or without.
void remakeEnded(id agent, id path) {
  if (inFlight().agent.load() != agent || buttonAction == NO) return;
  buttonAction = NO;
  inFlight().agent.store(nil);
  if (path == nil) return endSave(true);
  UISaveVideoAtPathToSavedPhotosAlbum(
      path, agent, "qv_video:didFinishSavingWithError:contextInfo:"_sel, nullptr);
}

}  // namespace

namespace PLPhotoBrowserController {

void replaced_updateOverlaysAnimated_(id self, SEL _cmd, BOOL animated) {
  original_updateOverlaysAnimated_(self, _cmd, animated);
  if (!showsSlowMotionVideo(self)) return;
  const bool camera = send<BOOL>(self, "isCameraApp"_sel) != NO;
  qv::Ref<> button = qv::adopt(send<id>(send<id>(objc_getClass("UIBarButtonItem"), "alloc"_sel),
                                        "initWithTitle:style:target:action:"_sel,
                                        camera ? "..."_ns : SAVE_TEXT, kPlainStyle, self,
                                        camera ? "qv_multipleOptions"_sel : "qv_saveSlomo"_sel));
  id items = send<id>(send<id>(self, "navigationBar"_sel), "items"_sel);
  const auto count = send<unsigned long>(items, "count"_sel);
  for (unsigned long i = 0; i < count; ++i) {
    // Asked afresh for every item: the host may start editing while its bar is rebuilt.
    if (send<BOOL>(self, "isEditingVideo"_sel)) continue;
    send(send<id>(items, "objectAtIndex:"_sel, i), "setRightBarButtonItem:animated:"_sel,
         button.get(), animated);
  }
}

void replaced_actionSheet_clickedButtonAtIndex_(id self, SEL _cmd, id sheet, long index) {
  if (send<long>(sheet, "tag"_sel) != kSaveSheetTag) {
    return original_actionSheet_clickedButtonAtIndex_(self, _cmd, sheet, index);
  }
  if (index == kSaveIndex) {
    send(self, "qv_saveSlomo"_sel);
  } else if (index == kDoneIndex) {
    send(self, "dismissViewControllerAnimated:completion:"_sel, YES, id{nil});
  }
}

void qv_saveSlomo(id self, SEL) {
  id view = send<id>(self, "view"_sel);
  // One save at a time: a second one would strand the first one's overlay.
  if (saveInFlight()) return tell(view, "❗ A video is already being saved."_ns);
  id videoView = send<id>(self, "currentVideoView"_sel);
  id media = send<id>(videoView, "videoCameraImage"_sel);
  if (!qualifiesForSaving(videoView)) return tell(view, "❗ The video is not ready for saving."_ns);
  startSave(view, media);
}

void qv_multipleOptions(id self, SEL) {
  qv::Ref<> sheet = qv::adopt(qv::sendVarargs<id, id, id, id, id, id>(
      send<id>(objc_getClass("UIActionSheet"), "alloc"_sel),
      "initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:"_sel, nil,
      self, "Cancel"_ns, nil, SAVE_TEXT, "Done"_ns, nil));
  send(sheet, "setTag:"_sel, kSaveSheetTag);
  send(sheet, "showInView:"_sel, send<id>(self, "view"_sel));
}

}  // namespace PLPhotoBrowserController

namespace PLPublishingAgent {

void replaced_videoRemakerDidEndRemaking_temporaryPath_(id self, SEL _cmd, id remaker, id path) {
  // Only the agent our save configured saves; the platform's own publishing passes untouched.
  if (self == nil || inFlight().agent.load() != self) {
    return original_videoRemakerDidEndRemaking_temporaryPath_(self, _cmd, remaker, path);
  }
  if (onMainThread()) {
    remakeEnded(self, path);
    return original_videoRemakerDidEndRemaking_temporaryPath_(self, _cmd, remaker, path);
  }
  // The save state is the main thread's; the agent goes on there once the save has started.
  dispatch_async(dispatch_get_main_queue(), [agent = qv::Ref<>(self), remaker = qv::Ref<>(remaker),
                                             path = qv::Ref<>(path), _cmd] {
    remakeEnded(agent, path);
    original_videoRemakerDidEndRemaking_temporaryPath_(agent, _cmd, remaker, path);
  });
}

void qv_video_didFinishSavingWithError_contextInfo_(id, SEL, id, id error, void*) {
  onMain([failed = error != nil] {
    if (qvHUD != nil) endSave(failed);
  });
}

}  // namespace PLPublishingAgent

std::span<const MethodHook> photoBrowserHooks() {
  namespace browser = PLPhotoBrowserController;
  static const std::array<MethodHook, 4> rows{
      instanceHook(browser::method_updateOverlaysAnimated_()),
      addedMethod<"v@:">(browser::method_qv_saveSlomo()),
      addedMethod<"v@:">(browser::method_qv_multipleOptions()),
      instanceHook(browser::method_actionSheet_clickedButtonAtIndex_()),
  };
  return rows;
}

std::span<const MethodHook> publishingAgentHooks() {
  namespace agent = PLPublishingAgent;
  static const std::array<MethodHook, 2> rows{
      addedMethod<"v@:@@^v">(agent::method_qv_video_didFinishSavingWithError_contextInfo_()),
      instanceHook(agent::method_videoRemakerDidEndRemaking_temporaryPath_()),
  };
  return rows;
}

}  // namespace quorvane
