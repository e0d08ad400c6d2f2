#include "host/ios8/PhotosApp.h"

#include <cmath>

#include "host/AppWindow.h"
#include "host/ios8/PhotoBrowser.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosUI.h"
#include "platform/AVFoundation/VideoPictures.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

constexpr CGFloat kTileSide = 104;
constexpr CGFloat kGap = 2;
constexpr CGFloat kTop = 64;  // under the title

struct PhotosScreen {
  id root = nil;  // the window owns the controller and its view
  Ref<> videoView;
  std::vector<Ref<>> albumItems;  // the banners and tiles of the album's clips
};

PhotosScreen& screen() {
  static auto* made = new PhotosScreen;  // for the life of the app
  return *made;
}

void drawCaption(const std::string& text, CGPoint at, CGFloat size, bool bold) {
  Ref<> string = makeString(text);
  Class fonts = objc_getClass("UIFont");
  Ref<> attributes = makeDictionary(
      {{NSFontAttributeName, bold ? send<id>(fonts, "boldSystemFontOfSize:"_sel, size)
                                  : send<id>(fonts, "systemFontOfSize:"_sel, size)},
       {NSForegroundColorAttributeName, send<id>(objc_getClass("UIColor"), "whiteColor"_sel)}});
  send(string.get(), "drawAtPoint:withAttributes:"_sel, at, attributes.get());
}

CGRect tileFrame(std::size_t index) {
  const auto column = static_cast<CGFloat>(index % 3);
  const auto row = static_cast<CGFloat>(index / 3);
  return CGRectMake(kGap + column * (kTileSide + kGap), kTop + row * (kTileSide + kGap), kTileSide,
                    kTileSide);
}

// Without PhotosUI (iOS 7) the album marks a video itself: a dark strip with its length.
void drawLengthStrip(CGContextRef context, CGRect tile, double seconds) {
  CGContextSetRGBFillColor(context, 0, 0, 0, 0.45);
  CGContextFillRect(context, CGRectMake(tile.origin.x, tile.origin.y + tile.size.height - 22,
                                        tile.size.width, 22));
  drawCaption(
      clockText(seconds),
      CGPointMake(tile.origin.x + tile.size.width - 34, tile.origin.y + tile.size.height - 18), 13,
      false);
}

// A tile: the clip's first frame covering it, or the platform's unplayable look, with the name
// on a dark strip at the top.
void drawTile(CGContextRef context, CGRect tile, id asset) {
  id path = send<id>(asset, "pathForOriginalFile"_sel);
  const auto picture =
      path != nil ? media::pictureAt(resolvePath(utf8(path)), 0, static_cast<int>(tile.size.width),
                                     static_cast<int>(tile.size.height), media::PictureFit::filling)
                  : nullptr;
  if (picture) {
    media::drawPicture(context, *picture, tile);
  } else {
    media::drawUnplayable(context, tile);
  }
  CGContextSetRGBFillColor(context, 0, 0, 0, 0.45);
  CGContextFillRect(context, CGRectMake(tile.origin.x, tile.origin.y, tile.size.width, 20));
  drawCaption(utf8(send<id>(asset, "filename"_sel)),
              CGPointMake(tile.origin.x + 6, tile.origin.y + 4), 11, false);
}

// The album: its title, and a tile per video; each tile's banner is a PUVideoBannerView, or on
// iOS 7 a strip the album draws.
void drawAlbum(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  CGContextSetGrayFillColor(context, 0.08, 1);
  CGContextFillRect(context, send<CGRect>(self, "bounds"_sel));
  drawCaption("Camera Roll", CGPointMake(12, 28), 17, true);
  const std::vector<id> assets = libraryAssets();
  if (assets.empty()) drawCaption("No Photos or Videos", CGPointMake(12, kTop + 8), 15, false);
  for (std::size_t i = 0; i < assets.size(); ++i) {
    const CGRect tile = tileFrame(i);
    drawTile(context, tile, assets[i]);
    if (objc_getClass("PUVideoBannerView") == Nil) {
      drawLengthStrip(context, tile, send<double>(assets[i], "duration"_sel));
    }
  }
}

id makeBanner(id asset, CGRect tile) {
  id banner = send<id>(
      send<id>(objc_getClass("PUVideoBannerView"), "alloc"_sel), "initWithFrame:"_sel,
      CGRectMake(tile.origin.x, tile.origin.y + tile.size.height - 22, tile.size.width, 22));
  send(banner, "setVideoSubtype:"_sel, long{send<int>(asset, "kindSubtype"_sel)});
  send(banner, "setVideoDuration:"_sel, send<double>(asset, "duration"_sel));
  return banner;
}

// A tile in front of everything the album shows of it, banner included, opens its clip.
id makeTile(id controller, id asset, CGRect tile) {
  id control =
      send<id>(send<id>(objc_getClass("UIControl"), "alloc"_sel), "initWithFrame:"_sel, tile);
  send(control, "setAccessibilityLabel:"_sel, send<id>(asset, "filename"_sel));
  send(control, "addTarget:action:forControlEvents:"_sel, controller, "_tileTapped:"_sel,
       NSUInteger{UIControlEventTouchUpInside});
  return control;
}

// The banners and tiles of the library's clips, made again: just above the album view, so that
// an open clip's view stays in front of them.
void placeAlbumItems(id controller) {
  PhotosScreen& photos = screen();
  for (const Ref<>& item : photos.albumItems) send(item.get(), "removeFromSuperview"_sel);
  photos.albumItems.clear();
  const std::vector<id> assets = libraryAssets();
  const bool banners = objc_getClass("PUVideoBannerView") != Nil;
  for (std::size_t i = 0; i < assets.size(); ++i) {
    if (banners) photos.albumItems.push_back(adopt(makeBanner(assets[i], tileFrame(i))));
  }
  for (std::size_t i = 0; i < assets.size(); ++i) {
    photos.albumItems.push_back(adopt(makeTile(controller, assets[i], tileFrame(i))));
  }
  id view = send<id>(controller, "view"_sel);
  NSInteger index = 1;  // the album view is at 0
  for (const Ref<>& item : photos.albumItems) {
    send(view, "insertSubview:atIndex:"_sel, item.get(), index++);
  }
}

// A clip synced onto the device while the app runs: the library imports it, the album shows it.
void albumChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
  if (screen().root != nil) placeAlbumItems(screen().root);
}

void tileTapped(id, SEL, id tile) {
  openClip(utf8(send<id>(tile, "accessibilityLabel"_sel)));
}

// The album's classes: the Photos UI's from iOS 8 on, the photo library's own on iOS 7.
struct AlbumClasses {
  const char* view;
  const char* controller;
};

AlbumClasses albumClasses(HostGeneration generation) {
  if (generation == HostGeneration::iOS7) return {"PLAlbumView", "PLAlbumViewController"};
  return {"PUAlbumView", "PUAlbumViewController"};
}

}  // namespace

void launchPhotosApp(HostGeneration generation) {
  const AlbumClasses names = albumClasses(generation);
  if (objc_getClass(names.view) == Nil) {
    ClassBuilder(names.view, objc_getClass("UIView"))
        .method("drawRect:", &drawAlbum)
        .registerClass();
    ClassBuilder(names.controller, objc_getClass("UIViewController"))
        .method("_tileTapped:", &tileTapped)
        .registerClass();
  }
  Ref<> controller = make(objc_getClass(names.controller));
  openAppWindow(controller);
  id view = send<id>(controller.get(), "view"_sel);
  Ref<> albumView = adopt(send<id>(send<id>(objc_getClass(names.view), "alloc"_sel),
                                   "initWithFrame:"_sel, send<CGRect>(view, "bounds"_sel)));
  send(view, "insertSubview:atIndex:"_sel, albumView.get(), 0L);
  screen().root = controller;
  placeAlbumItems(controller);
  static const Ref<> name = makeString(kAlbumChangedNotification);
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
                                  &albumChanged, reinterpret_cast<CFStringRef>(name.get()), nullptr,
                                  CFNotificationSuspensionBehaviorDeliverImmediately);
}

std::string openClip(const std::string& fileName) {
  if (objc_getClass("PLManagedAsset") == Nil || objc_getClass("PLVideoView") == Nil) {
    return "the app has no photo library (PLManagedAsset, PLVideoView)";
  }
  id asset = libraryAsset(fileName);
  if (asset == nil) return "the library has no clip " + fileName;
  if (objc_getClass("PLPhotoBrowserController") != Nil) return presentPhotoBrowser(asset);
  id view = send<id>(screen().root, "view"_sel);
  if (view == nil) return "the app has no Photos screen";
  PhotosScreen& photos = screen();
  send(photos.videoView.get(), "removeFromSuperview"_sel);
  photos.videoView = adopt(send<id>(send<id>(objc_getClass("PLVideoView"), "alloc"_sel),
                                    "initWithFrame:"_sel, send<CGRect>(view, "bounds"_sel)));
  send(photos.videoView.get(), "setVideoCameraImage:"_sel, asset);
  send(view, "addSubview:"_sel, photos.videoView.get());
  return "";
}

id openVideoView() {
  if (id browser = presentedPhotoBrowser()) return send<id>(browser, "currentVideoView"_sel);
  return screen().videoView;
}

}  // namespace qv::host
