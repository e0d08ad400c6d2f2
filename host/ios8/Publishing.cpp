#include "host/ios8/Publishing.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotosActions.h"
#include "host/ios8/ScreenDrawing.h"
#include "platform/AVFoundation/Media.h"
#include "platform/System/Faults.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/dispatch/dispatch.h"

namespace qv::host {
namespace {

constexpr CGFloat kPanelSide = 140;
constexpr CGFloat kPanelRadius = 10;
constexpr int kHDRemakerMode = 2;
constexpr int kStandardRemakerMode = 1;

// PLProgressHUD.

struct HUDState {
  Ref<> text;
  Ref<> spinner;  // the platform's own, in the panel's upper half
};

Class hudClass();

id initHUD(id self, SEL) {
  self = sendSuper<id>(self, hudClass(), "initWithFrame:"_sel, CGRectZero);
  if (self == nil) return nil;
  send(self, "setOpaque:"_sel, NO);
  Ref<> spinner = adopt(send<id>(send<id>(objc_getClass("UIActivityIndicatorView"), "alloc"_sel),
                                 "initWithActivityIndicatorStyle:"_sel,
                                 NSInteger{UIActivityIndicatorViewStyleWhiteLarge}));
  send(self, "addSubview:"_sel, spinner.get());
  stateOf<HUDState>(self).spinner = spinner;
  return self;
}

void setText(id self, SEL, id text) {
  stateOf<HUDState>(self).text = adopt(send<id>(text, "copy"_sel));
  send(self, "setNeedsDisplay"_sel);
}

id text(id self, SEL) {
  return stateOf<HUDState>(self).text;
}

void showInView(id self, SEL, id view) {
  if (view == nil) return;
  const CGRect bounds = send<CGRect>(view, "bounds"_sel);
  send(self, "setFrame:"_sel, bounds);
  id spinner = stateOf<HUDState>(self).spinner;
  send(spinner, "setCenter:"_sel,
       CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds) - kPanelSide / 2 + 50));
  send(spinner, "startAnimating"_sel);
  send(view, "addSubview:"_sel, self);
  send(self, "setNeedsDisplay"_sel);
}

void hide(id self, SEL) {
  send(stateOf<HUDState>(self).spinner.get(), "stopAnimating"_sel);
  send(self, "removeFromSuperview"_sel);
}

void drawHUD(id self, SEL, CGRect) {
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  const CGRect panel = CGRectMake(CGRectGetMidX(bounds) - kPanelSide / 2,
                                  CGRectGetMidY(bounds) - kPanelSide / 2, kPanelSide, kPanelSide);
  send(rgbColor(0, 0, 0, 0.8), "setFill"_sel);
  send(send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel, panel,
                kPanelRadius),
       "fill"_sel);
  id label = stateOf<HUDState>(self).text;
  if (label != nil) {
    drawCentredText(utf8(label), systemFont(14), rgbColor(1, 1, 1),
                    CGPointMake(CGRectGetMidX(panel), panel.origin.y + 105));
  }
}

Class hudClass() {
  static const Class cls = ClassBuilder("PLProgressHUD", objc_getClass("UIView"))
                               .state<HUDState>("_hudState")
                               .method("init", &initHUD)
                               .method("setText:", &setText)
                               .method("text", &text)
                               .method("showInView:", &showInView)
                               .method("hide", &hide)
                               .method("drawRect:", &drawHUD)
                               .registerClass();
  return cls;
}

void collectHUDs(id view, std::vector<id>& found) {
  for (id child : arrayElements(send<id>(view, "subviews"_sel))) {
    if (isKindOf(child, hudClass())) found.push_back(child);
    collectHUDs(child, found);
  }
}

// PLPublishingAgent.

struct AgentState {
  Ref<> bundleName;
  Ref<> media;
  BOOL enableHDUpload = NO;
  BOOL mediaIsHDVideo = NO;
  long selectedOption = 0;
  int remakerMode = kStandardRemakerMode;
  bool published = false;
};

AgentState& agentOf(id self) {
  return stateOf<AgentState>(self);
}

std::atomic<bool> remakeFails{false};
std::atomic<int> inFlight{0};
std::atomic<int> remakeCount{0};
std::mutex endedLock;
std::vector<std::string> ended;  // guarded by endedLock

// While remakes are held they wait, started but not running, so that what the app shows during
// a remake stays on screen; main thread only.
bool holding = false;
std::vector<std::function<void()>> heldRemakes;

void runInBackground(std::function<void()> work) {
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(work));
}

void startRemake(std::function<void()> remake) {
  if (holding) {
    heldRemakes.push_back(std::move(remake));
  } else {
    runInBackground(std::move(remake));
  }
}

Class agentClass();

id publishingAgentFor(id, SEL, id bundleName, id media) {
  Ref<> agent = make(agentClass());
  agentOf(agent).bundleName = adopt(send<id>(bundleName, "copy"_sel));
  agentOf(agent).media = Ref<>(media);
  return autorelease(agent.leak());
}

template <typename T, T AgentState::*Field>
void setField(id self, SEL, T value) {
  agentOf(self).*Field = value;
}

int remakerModeForSelectedOption(id self, SEL) {
  return agentOf(self).selectedOption == 1 ? kHDRemakerMode : kStandardRemakerMode;
}

// The remake follows the slow motion the player would play.
media::RemakeRequest remakeRequestFor(id asset) {
  const PlaybackPlan plan = playbackPlanOf(asset);
  media::RemakeRequest request;
  if (plan.slowMotion) {
    request.slowStart = plan.slowStart;
    request.slowEnd = plan.slowEnd;
    request.rate = plan.rate;
  }
  return request;
}

std::string nextRemakePath() {
  return std::string(kRemakeFolder) + "/remake-" + std::to_string(++remakeCount) + ".MOV";
}

// Tells the agent its remake has ended; a broken build, on purpose, never does.
void reportRemakeEnd(id agent, id path) {
  if (faultSwitchedOn("lost-save-end")) return;
  send(agent, "videoRemakerDidEndRemaking:temporaryPath:"_sel, agent, path);
}

void transcodeVideo(id self, SEL, id media) {
  const std::string source = resolvePath(utf8(send<id>(media, "pathForOriginalFile"_sel)));
  const media::RemakeRequest request = remakeRequestFor(media);
  const std::string destination = nextRemakePath();
  const bool fails = remakeFails.exchange(false);
  Ref<> agent(self);  // until the end call has returned
  ++inFlight;
  startRemake([agent, source, request, destination, fails] {
    AutoreleasePool pool;
    const bool made =
        !fails && media::remakeMedia(source, resolvePath(destination), request).empty();
    Ref<> path = made ? makeString(destination) : Ref<>();
    reportRemakeEnd(agent.get(), path.get());
    --inFlight;
  });
}

void videoRemakerDidEndRemaking(id self, SEL, id, id temporaryPath) {
  agentOf(self).published = true;
  std::lock_guard<std::mutex> hold(endedLock);
  ended.push_back(temporaryPath != nil ? utf8(temporaryPath) : "");
}

Class agentClass() {
  using S = AgentState;
  static const Class cls =
      ClassBuilder("PLPublishingAgent", NSObjectClass())
          .state<S>("_agentState")
          .classMethod("publishingAgentForBundleNamed:toPublishMedia:", &publishingAgentFor)
          .method("setEnableHDUpload:", &setField<BOOL, &S::enableHDUpload>)
          .method("setMediaIsHDVideo:", &setField<BOOL, &S::mediaIsHDVideo>)
          .method("setSelectedOption:", &setField<long, &S::selectedOption>)
          .method("setRemakerMode:", &setField<int, &S::remakerMode>)
          .method("_remakerModeForSelectedOption", &remakerModeForSelectedOption)
          .method("_transcodeVideo:", &transcodeVideo)
          .method("videoRemakerDidEndRemaking:temporaryPath:", &videoRemakerDidEndRemaking)
          .registerClass();
  return cls;
}

}  // namespace

void registerPublishing() {
  hudClass();
  agentClass();
}

void publishAsset(id asset) {
  id agent =
      send<id>(objc_getClass("PLPublishingAgent"),
               "publishingAgentForBundleNamed:toPublishMedia:"_sel, "PublishToYouTube"_ns, asset);
  send(agent, "setSelectedOption:"_sel, long{0});
  send(agent, "setRemakerMode:"_sel, send<int>(agent, "_remakerModeForSelectedOption"_sel));
  send(agent, "_transcodeVideo:"_sel, asset);
}

void failNextRemake() {
  remakeFails = true;
}

void holdRemakes() {
  holding = true;
}

void releaseRemakes() {
  holding = false;
  for (std::function<void()>& remake : std::exchange(heldRemakes, {})) {
    runInBackground(std::move(remake));
  }
}

int remakesInFlight() {
  return inFlight;
}

std::vector<std::string> endedPublishings() {
  std::lock_guard<std::mutex> hold(endedLock);
  return ended;
}

std::vector<id> shownProgressHUDs() {
  std::vector<id> found;
  if (objc_getClass("PLProgressHUD") == Nil) return found;
  id application = send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
  for (id window : arrayElements(send<id>(application, "windows"_sel))) collectHUDs(window, found);
  return found;
}

}  // namespace qv::host
