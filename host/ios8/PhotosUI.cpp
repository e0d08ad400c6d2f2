#include "host/ios8/PhotosUI.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosActions.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/AVFoundation/VideoPictures.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/Clock.h"

namespace qv::host {
namespace {

constexpr CGFloat kBannerHeight = 24;
constexpr CGFloat kEditorHeight = 44;
constexpr CGFloat kPlayButtonSide = 64;

// Images.

void drawSlalomBadge(CGContextRef context, CGRect rect) {
  // A ring of dots, dense on one side: the platform's slow-motion mark.
  const CGFloat radius = std::min(rect.size.width, rect.size.height) / 2 - 1.5;
  const CGPoint centre{rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2};
  CGContextSetRGBFillColor(context, 1, 1, 1, 1);
  for (int dot = 0; dot < 16; ++dot) {
    const double angle = dot * 2 * M_PI / 16;
    const CGFloat size = dot < 8 ? 2.4 : 1.4;
    CGContextFillEllipseInRect(
        context, CGRectMake(centre.x + radius * std::cos(angle) - size / 2,
                            centre.y + radius * std::sin(angle) - size / 2, size, size));
  }
}

void drawVideoBadge(CGContextRef context, CGRect rect) {
  // A camera body and its lens, as a video's banner shows it.
  CGContextSetRGBFillColor(context, 1, 1, 1, 1);
  const CGFloat body = rect.size.width * 0.62;
  CGContextFillRect(context, CGRectMake(rect.origin.x, rect.origin.y + rect.size.height * 0.25,
                                        body, rect.size.height * 0.5));
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, rect.origin.x + body + 1, rect.origin.y + rect.size.height / 2);
  CGContextAddLineToPoint(context, rect.origin.x + rect.size.width, rect.origin.y + 3);
  CGContextAddLineToPoint(context, rect.origin.x + rect.size.width,
                          rect.origin.y + rect.size.height - 3);
  CGContextClosePath(context);
  CGContextFillPath(context);
}

id photosImageNamed(id cls, SEL, id name) {
  static const bool registered = [] {
    ui::registerNamedImage("PUSlalomBadgeIcon", {16, 16}, &drawSlalomBadge);
    ui::registerNamedImage("PUVideoBadgeIcon", {18, 12}, &drawVideoBadge);
    return true;
  }();
  (void)registered;
  return send<id>(cls, "imageNamed:"_sel, name);
}

// Text as the Photos UI sets it: the system font, white.
void drawText(const std::string& text, CGPoint at, CGFloat size) {
  Ref<> string = makeString(text);
  Ref<> attributes = makeDictionary(
      {{NSFontAttributeName, send<id>(objc_getClass("UIFont"), "systemFontOfSize:"_sel, size)},
       {NSForegroundColorAttributeName, send<id>(objc_getClass("UIColor"), "whiteColor"_sel)}});
  send(string.get(), "drawAtPoint:withAttributes:"_sel, at, attributes.get());
}

// PUVideoBannerView.

struct BannerState {
  long subtype = 0;
  double duration = 0;
};

BannerState& bannerOf(id self) {
  return stateOf<BannerState>(self);
}

void setVideoSubtype(id self, SEL, long subtype) {
  bannerOf(self).subtype = subtype;
  send(self, "setNeedsDisplay"_sel);
}
void setVideoDuration(id self, SEL, double seconds) {
  bannerOf(self).duration = seconds;
  send(self, "setNeedsDisplay"_sel);
}

id badgeImageForVideoSubtype(id, SEL, long subtype) {
  return send<id>(objc_getClass("UIImage"), "pu_PhotosUIImageNamed:"_sel,
                  subtype == kSlowMotionSubtype ? "PUSlalomBadgeIcon"_ns : "PUVideoBadgeIcon"_ns);
}

id badgeImage(id self, SEL) {
  return send<id>(self, "_badgeImageForVideoSubtype:"_sel, bannerOf(self).subtype);
}

void drawBanner(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  CGContextSetRGBFillColor(context, 0, 0, 0, 0.45);
  CGContextFillRect(context, bounds);
  id badge = send<id>(self, "badgeImage"_sel);
  const CGSize size = send<CGSize>(badge, "size"_sel);
  send(badge, "drawAtPoint:"_sel, CGPointMake(6, (bounds.size.height - size.height) / 2));
  drawText(clockText(bannerOf(self).duration), CGPointMake(bounds.size.width - 34, 4), 13);
}

// PLVideoView.

// Where the view's player is in the clip: `position` seconds of the clip when it last started,
// seeked or stopped; while playing it moves on with the clock from `started`, along the
// timeline of the last playback (its slow-motion section stretched by 1/rate).
struct Player {
  media::RemakeTimeline timeline{{}, 0};
  double duration = 0;
  double position = 0;
  bool playing = false;
  std::int64_t started = 0;
};

struct VideoViewState {
  Ref<> banner;
  Ref<> playButton;
  Player player;
};

Player& playerOf(id videoView) {
  return stateOf<VideoViewState>(videoView).player;
}

double currentPosition(const Player& player) {
  if (!player.playing) return player.position;
  const double elapsed = static_cast<double>(Clock::now() - player.started) / 1e9;
  const double at = player.timeline.toSource(player.timeline.toRemake(player.position) + elapsed);
  return std::min(at, player.duration);
}

Ivar cameraImageIvar() {
  return class_getInstanceVariable(objc_getClass("PLVideoView"), "_videoCameraImage");
}

id videoCameraImage(id self, SEL) {
  return object_getIvar(self, cameraImageIvar());
}

id avAssetOf(id videoView) {
  id asset = send<id>(videoView, "videoCameraImage"_sel);
  return send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel,
                  send<id>(asset, "mainFileURL"_sel));
}

void setVideoCameraImage(id self, SEL, id asset) {
  id old = videoCameraImage(self, nullptr);
  object_setIvar(self, cameraImageIvar(), retain(asset));
  release(old);
  id banner = stateOf<VideoViewState>(self).banner;
  send(banner, "setVideoSubtype:"_sel, long{send<int>(asset, "kindSubtype"_sel)});
  send(banner, "setVideoDuration:"_sel, send<double>(asset, "duration"_sel));
  if (asset != old) {
    playerOf(self) = Player{};
    playerOf(self).duration = send<double>(asset, "duration"_sel);
  }
  send(self, "setNeedsDisplay"_sel);
}

BOOL mediaIsVideo(id self, SEL) {
  return send<BOOL>(videoCameraImage(self, nullptr), "isVideo"_sel);
}

BOOL canAccessVideo(id self, SEL) {
  id path = send<id>(videoCameraImage(self, nullptr), "pathForOriginalFile"_sel);
  std::error_code error;
  return path != nil && std::filesystem::is_regular_file(resolvePath(utf8(path)), error) ? YES : NO;
}

BOOL mediaIsPlayable(id self, SEL) {
  id avAsset = avAssetOf(self);
  return !arrayElements(send<id>(avAsset, "tracksWithMediaType:"_sel, AVMediaTypeVideo)).empty() &&
         CMTimeGetSeconds(send<CMTime>(avAsset, "duration"_sel)) > 0;
}

BOOL canEdit(id self, SEL) {
  return send<BOOL>(self, "_mediaIsVideo"_sel) && send<BOOL>(self, "_canAccessVideo"_sel) &&
         send<BOOL>(self, "_mediaIsPlayable"_sel);
}

BOOL shouldShowSlalomEditor(id self, SEL) {
  return send<BOOL>(self, "canEdit"_sel) &&
         send<int>(videoCameraImage(self, nullptr), "kindSubtype"_sel) == kSlowMotionSubtype;
}

// The play button in the middle of the picture takes the taps that play the clip.
void addPlayButton(id self) {
  Ref<> button = adopt(send<id>(send<id>(objc_getClass("UIControl"), "alloc"_sel),
                                "initWithFrame:"_sel, CGRectZero));
  send(button.get(), "setAccessibilityLabel:"_sel, "Play"_ns);
  send(button.get(), "addTarget:action:forControlEvents:"_sel, self, "_playButtonTapped:"_sel,
       NSUInteger{UIControlEventTouchUpInside});
  send(self, "addSubview:"_sel, button.get());
  stateOf<VideoViewState>(self).playButton = button;
}

CGRect pictureArea(CGRect bounds);

CGRect playButtonFrame(CGRect bounds) {
  const CGRect area = pictureArea(bounds);
  return CGRectMake(CGRectGetMidX(area) - kPlayButtonSide / 2,
                    CGRectGetMidY(area) - kPlayButtonSide / 2, kPlayButtonSide, kPlayButtonSide);
}

void layoutVideoView(id self, SEL) {
  send(stateOf<VideoViewState>(self).playButton.get(), "setFrame:"_sel,
       playButtonFrame(send<CGRect>(self, "bounds"_sel)));
}

void playButtonTapped(id self, SEL, id) {
  if (send<BOOL>(self, "_mediaIsPlayable"_sel)) playVideo(self);
}

id initVideoView(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, objc_getClass("PLVideoView"), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  addPlayButton(self);
  if (objc_getClass("PUVideoBannerView") == Nil) return self;  // iOS 7: no Photos UI banner
  Ref<> banner =
      adopt(send<id>(send<id>(objc_getClass("PUVideoBannerView"), "alloc"_sel),
                     "initWithFrame:"_sel, CGRectMake(0, 0, frame.size.width, kBannerHeight)));
  send(self, "addSubview:"_sel, banner.get());
  stateOf<VideoViewState>(self).banner = banner;
  return self;
}

void deallocVideoView(id self, SEL) {
  release(videoCameraImage(self, nullptr));
  sendSuper(self, objc_getClass("PLVideoView"), "dealloc"_sel);
}

// The slow-motion section the editor shows: the user's edit, else the default range.
CMTimeRange editorRange(id asset, CMTime duration) {
  return slowMotionEdit(asset).value_or(defaultSlowMotionRange(duration));
}

void drawEditor(id self, CGRect bounds) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bar =
      CGRectMake(16, bounds.size.height - kEditorHeight + 14, bounds.size.width - 32, 16);
  CGContextSetRGBFillColor(context, 0.35, 0.35, 0.38, 1);
  CGContextFillRect(context, bar);
  const CMTime duration = send<CMTime>(avAssetOf(self), "duration"_sel);
  const double total = CMTimeGetSeconds(duration);
  const CMTimeRange range = editorRange(videoCameraImage(self, nullptr), duration);
  if (total > 0) {
    const double start = std::clamp(CMTimeGetSeconds(range.start) / total, 0.0, 1.0);
    const double end = std::clamp(CMTimeGetSeconds(CMTimeRangeGetEnd(range)) / total, start, 1.0);
    CGContextSetRGBFillColor(context, 1, 0.8, 0, 1);
    CGContextFillRect(context, CGRectMake(bar.origin.x + bar.size.width * start, bar.origin.y,
                                          bar.size.width * (end - start), bar.size.height));
  }
  drawText("Slo-mo", CGPointMake(bar.origin.x, bar.origin.y - 14), 11);
}

std::string clipPath(id asset) {
  id path = send<id>(asset, "pathForOriginalFile"_sel);
  return path != nil ? resolvePath(utf8(path)) : std::string();
}

CGRect pictureArea(CGRect bounds) {
  return CGRectMake(0, kBannerHeight, bounds.size.width,
                    std::max(0.0, bounds.size.height - kBannerHeight - kEditorHeight));
}

// A white ring around a triangle pointing right, over the paused picture.
void drawPlayButton(CGContextRef context, CGRect frame) {
  const CGRect ring = CGRectInset(frame, 8, 8);
  CGContextSetRGBFillColor(context, 0, 0, 0, 0.35);
  CGContextFillEllipseInRect(context, ring);
  CGContextSetRGBStrokeColor(context, 1, 1, 1, 1);
  CGContextSetLineWidth(context, 2);
  CGContextBeginPath(context);
  CGContextAddEllipseInRect(context, ring);
  CGContextStrokePath(context);
  const CGFloat x = CGRectGetMidX(ring);
  const CGFloat y = CGRectGetMidY(ring);
  CGContextSetRGBFillColor(context, 1, 1, 1, 1);
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, x - 7, y - 11);
  CGContextAddLineToPoint(context, x + 12, y);
  CGContextAddLineToPoint(context, x - 7, y + 11);
  CGContextClosePath(context);
  CGContextFillPath(context);
}

// The clip's frame at the playhead, as large as fits between the banner and the editor; the
// platform's unplayable look for a clip that does not decode.
void drawVideoView(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  CGContextSetGrayFillColor(context, 0, 1);
  CGContextFillRect(context, bounds);
  const CGRect area = pictureArea(bounds);
  if (const auto picture = shownPicture(self)) {
    media::drawPicture(context, *picture, area);
  } else {
    media::drawUnplayable(context, area);
  }
  if (send<BOOL>(self, "_shouldShowSlalomEditor"_sel)) drawEditor(self, bounds);
  if (!isVideoPlaying(self) && send<BOOL>(self, "_mediaIsPlayable"_sel)) {
    drawPlayButton(context, playButtonFrame(bounds));
  }
}

// PhotosUI came with iOS 8: its image category and the banner.
void registerPhotosUIFramework() {
  Class image = objc_getClass("UIImage");
  class_addMethod(object_getClass(asId(image)), sel_registerName("pu_PhotosUIImageNamed:"),
                  toIMP(&photosImageNamed), methodEncoding<id, id>().c_str());
  ClassBuilder("PUVideoBannerView", objc_getClass("UIView"))
      .state<BannerState>("_bannerState")
      .method("setVideoSubtype:", &setVideoSubtype)
      .method("setVideoDuration:", &setVideoDuration)
      .method("_badgeImageForVideoSubtype:", &badgeImageForVideoSubtype)
      .method("badgeImage", &badgeImage)
      .method("drawRect:", &drawBanner)
      .registerClass();
}

}  // namespace

std::string clockText(double seconds) {
  const long whole = std::lround(std::max(0.0, seconds));
  char text[48];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

void playVideoView(id videoView, const PlaybackPlan& plan) {
  Player& player = playerOf(videoView);
  double from = currentPosition(player);
  if (from >= plan.duration) from = 0;  // played to the end: again from the start
  player.timeline =
      media::RemakeTimeline({plan.slowStart, plan.slowEnd, plan.rate, 30}, plan.duration);
  player.duration = plan.duration;
  player.position = from;
  player.playing = plan.duration > 0;
  player.started = Clock::now();
  send(videoView, "setNeedsDisplay"_sel);
}

void seekVideoView(id videoView, double seconds) {
  Player& player = playerOf(videoView);
  player.playing = isVideoPlaying(videoView);  // a clip played to its end stays stopped
  player.position = std::clamp(seconds, 0.0, player.duration);
  player.started = Clock::now();
  send(videoView, "setNeedsDisplay"_sel);
}

std::shared_ptr<const media::Picture> shownPicture(id videoView) {
  const CGRect area = pictureArea(send<CGRect>(videoView, "bounds"_sel));
  return media::pictureAt(clipPath(videoCameraImage(videoView, nullptr)), videoPlayhead(videoView),
                          static_cast<int>(area.size.width), static_cast<int>(area.size.height),
                          media::PictureFit::inside);
}

double videoPlayhead(id videoView) {
  return currentPosition(playerOf(videoView));
}

bool isVideoPlaying(id videoView) {
  const Player& player = playerOf(videoView);
  return player.playing && currentPosition(player) < player.duration;
}

void registerPhotosUI(HostGeneration generation) {
  if (generation != HostGeneration::iOS7) registerPhotosUIFramework();
  ClassBuilder("PLVideoView", objc_getClass("UIView"))
      .state<VideoViewState>("_videoViewState")
      .ivar<id>("_videoCameraImage")
      .method("initWithFrame:", &initVideoView)
      .method("dealloc", &deallocVideoView)
      .method("setVideoCameraImage:", &setVideoCameraImage)
      .method("videoCameraImage", &videoCameraImage)
      .method("_shouldShowSlalomEditor", &shouldShowSlalomEditor)
      .method("canEdit", &canEdit)
      .method("_canAccessVideo", &canAccessVideo)
      .method("_mediaIsPlayable", &mediaIsPlayable)
      .method("_mediaIsVideo", &mediaIsVideo)
      .method("layoutSubviews", &layoutVideoView)
      .method("_playButtonTapped:", &playButtonTapped)
      .method("drawRect:", &drawVideoView)
      .registerClass();
}

}  // namespace qv::host
