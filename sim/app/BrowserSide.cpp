#include "sim/app/BrowserSide.h"

#include <algorithm>
#include <filesystem>

#include "host/ios8/PhotoBrowser.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/Publishing.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "sim/app/AppSide.h"
#include "sim/app/MediaSide.h"

namespace qv::sim::app {
namespace {

std::string argumentText(const Value& argument) {
  const Value* inner = argument.find("argument");
  return inner != nullptr && inner->text() != nullptr ? *inner->text() : "";
}

std::string titleOf(id item) {
  return item == nil ? "" : utf8(send<id>(item, "title"_sel));
}

std::vector<id> barItems() {
  id bar = send<id>(host::presentedPhotoBrowser(), "navigationBar"_sel);
  return arrayElements(send<id>(bar, "items"_sel));
}

// The top item's buttons first, as the bar shows them, then the other items' right buttons.
id barButtonTitled(const std::string& title) {
  std::vector<id> items = barItems();
  std::reverse(items.begin(), items.end());
  for (id item : items) {
    for (id button :
         {send<id>(item, "leftBarButtonItem"_sel), send<id>(item, "rightBarButtonItem"_sel)}) {
      if (button != nil && titleOf(button) == title) return button;
    }
  }
  return nil;
}

// Where the bar shows the button, the press is a tap on it; a button of an item under the top
// one is pressed as its item would press it.
std::string pressBar(const std::string& title) {
  id browser = host::presentedPhotoBrowser();
  if (browser == nil) return "press_bar: no clip is open (open_clip first)";
  id button = barButtonTitled(title);
  if (button == nil) return "press_bar: the bar has no button " + title;
  id shown = controlLabelled(send<id>(browser, "navigationBar"_sel), title);
  if (reachable(shown)) return tapOnto("press_bar", shown, 1, "the button " + title);
  return ui::pressBarButton(button) ? "" : "press_bar: " + title + " does nothing";
}

id frontSheet() {
  const std::vector<id> sheets = ui::visibleActionSheets();
  return sheets.empty() ? nil : sheets.back();
}

std::string pressSheet(const std::string& title) {
  id sheet = frontSheet();
  if (sheet == nil) return "press_sheet: no action sheet is up";
  for (NSInteger i = 0; i < send<NSInteger>(sheet, "numberOfButtons"_sel); ++i) {
    if (utf8(send<id>(sheet, "buttonTitleAtIndex:"_sel, i)) == title) {
      return tapOnto("press_sheet", controlLabelled(sheet, title), 1, "the button " + title);
    }
  }
  return "press_sheet: the sheet has no button " + title;
}

std::string publish() {
  id browser = host::presentedPhotoBrowser();
  if (browser == nil) return "publish: no clip is open (open_clip first)";
  if (objc_getClass("PLPublishingAgent") == Nil) return "publish: the app has no PLPublishingAgent";
  host::publishAsset(send<id>(browser, "currentAsset"_sel));
  return "";
}

std::string failNext(const std::string& what) {
  if (what == "remake") {
    host::failNextRemake();
  } else if (what == "album_save") {
    host::failNextAlbumSave();
  } else {
    return "fail_next: " + what + " is neither remake nor album_save";
  }
  return "";
}

std::string holdRemakes() {
  host::holdRemakes();
  return "";
}

std::string releaseRemakes() {
  host::releaseRemakes();
  return "";
}

Value barButtons() {
  if (host::presentedPhotoBrowser() == nil) return {};
  ValueList titles;
  for (id item : barItems()) {
    id button = send<id>(item, "rightBarButtonItem"_sel);
    titles.push_back(titleOf(button));
  }
  return titles;
}

Value sheetState() {
  id sheet = frontSheet();
  if (sheet == nil) return {};
  ValueList buttons;
  for (NSInteger i = 0; i < send<NSInteger>(sheet, "numberOfButtons"_sel); ++i) {
    buttons.push_back(utf8(send<id>(sheet, "buttonTitleAtIndex:"_sel, i)));
  }
  id title = send<id>(sheet, "title"_sel);
  return ValueMap{{"title", title == nil ? Value() : Value(utf8(title))},
                  {"buttons", buttons},
                  {"tag", static_cast<long long>(send<NSInteger>(sheet, "tag"_sel))}};
}

Value overlayState() {
  const std::vector<id> huds = host::shownProgressHUDs();
  if (huds.empty()) return {};
  id text = send<id>(huds.back(), "text"_sel);
  return ValueMap{{"text", text == nil ? Value() : Value(utf8(text))},
                  {"count", static_cast<long long>(huds.size())}};
}

Value albumClips() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(resolvePath(host::kAlbumFolder), error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  ValueList clips;
  for (const std::string& name : names) {
    const Value file = clipState(std::string(host::kAlbumFolder) + "/" + name);
    const Value* rate = file.find("frame_rate");
    const Value* duration = file.find("duration");
    clips.push_back(ValueMap{{"name", name},
                             {"frame_rate", rate != nullptr ? *rate : Value()},
                             {"duration", duration != nullptr ? *duration : Value()},
                             {"playable", rate != nullptr && duration != nullptr}});
  }
  return clips;
}

Value remakes() {
  const std::vector<std::string> ended = host::endedPublishings();
  return ValueMap{
      {"in_flight", host::remakesInFlight()},
      {"ended", static_cast<long long>(ended.size())},
      {"failed", static_cast<long long>(std::count(ended.begin(), ended.end(), std::string()))}};
}

}  // namespace

std::optional<std::string> performBrowser(const std::string& action, const Value& argument) {
  if (action == "press_bar") return pressBar(argumentText(argument));
  if (action == "press_sheet") return pressSheet(argumentText(argument));
  if (action == "publish") return publish();
  if (action == "fail_next") return failNext(argumentText(argument));
  if (action == "hold_remakes") return holdRemakes();
  if (action == "release_remakes") return releaseRemakes();
  return std::nullopt;
}

std::optional<Value> observeBrowser(const std::string& key) {
  if (key == "bar_buttons") return barButtons();
  if (key == "sheet") return sheetState();
  if (key == "overlay") return overlayState();
  if (key == "album_clips") return albumClips();
  if (key == "remakes") return remakes();
  return std::nullopt;
}

}  // namespace qv::sim::app
