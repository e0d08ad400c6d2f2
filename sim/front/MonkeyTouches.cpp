#include "sim/front/MonkeyTouches.h"

#include <algorithm>

#include "host/App.h"
#include "sim/front/MonkeyActions.h"
#include "sim/language/YamlWriting.h"

namespace qv::sim {
namespace {

// What a tap could change, of the device and of each app; not the clock's own effects (the
// player's position, the notices' time left), which move while a double tap waits.
const std::vector<std::string> kDeviceKeys{"running", "album", "settings_file", "settings_pane"};
const std::vector<std::string> kAppKeys{"alert", "camera_mode", "preview",         "indicator",
                                        "sheet", "bar_buttons", "first_responder", "clip"};

Value tapVisible(const Look& look) {
  ValueMap seen;
  for (const std::string& key : kDeviceKeys) seen.emplace_back(key, look(key, host::kCameraApp));
  for (const char* app : {host::kCameraApp, host::kPhotosApp}) {
    for (const std::string& key : kAppKeys) {
      seen.emplace_back(std::string(app) + "." + key, look(key, app));
    }
  }
  return seen;
}

// Equal, and of the same kind: text stays text, a switch stays a boolean.
bool same(const Value& a, const Value& b) {
  return a.data.index() == b.data.index() && matches(a, b, Match::Exact);
}

std::string expectLine(const std::string& name, const Value& value) {
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return "expect: {" + name + ": " + toText(value) + "}";
  return "expect: {app: " + name.substr(0, dot) + ", " + name.substr(dot + 1) + ": " +
         toText(value) + "}";
}

}  // namespace

std::optional<TouchPromise> TouchPromise::before(const Step& step, const Look& look) {
  if (const auto* pane = std::get_if<PaneStep>(&step.action)) {
    // The Settings screen takes a double tap as two taps, each saying what it did.
    if (pane->kind == PaneStep::Kind::Tap && pane->taps == 1) {
      return TouchPromise(Kind::Tap, step.written, tapVisible(look));
    }
    const bool writes = pane->kind == PaneStep::Kind::Toggle || pane->kind == PaneStep::Kind::Type;
    if (!writes) return std::nullopt;
    TouchPromise promise(Kind::PaneWrite, pane->row, look("settings_file", host::kCameraApp));
    promise.toggled_ = pane->kind == PaneStep::Kind::Toggle;
    return promise;
  }
  if (const auto* touch = std::get_if<AppStep>(&step.action)) {
    if (touch->action != "tap") return std::nullopt;
    return TouchPromise(Kind::Tap, step.written, tapVisible(look));
  }
  if (const auto* added = std::get_if<AddClip>(&step.action)) {
    return TouchPromise(Kind::AddClip, added->clip.name, Value());
  }
  return std::nullopt;
}

std::optional<Violation> TouchPromise::after(const Look& look, bool nothingTook) const {
  switch (kind_) {
    case Kind::PaneWrite:
      return paneWrite(look);
    case Kind::Tap:
      return nothingTook ? tap(look) : std::nullopt;
    case Kind::AddClip:
      return addedClip(look);
  }
  return std::nullopt;
}

std::optional<Violation> TouchPromise::paneWrite(const Look& look) const {
  const Value file = look("settings_file", host::kCameraApp);
  const Value* written = file.find(name_);
  const bool rightKind =
      written != nullptr &&
      (toggled_ ? std::get_if<bool>(&written->data) != nullptr : written->text() != nullptr);
  if (!rightKind) {
    return Violation{"settings",
                     "",
                     "the pane's write left " + name_ + " as " +
                         (written ? toText(*written) : std::string("absent")),
                     {"expect: {settings_file: " + toText(file) + "}"}};
  }
  if (before_.map() == nullptr) return std::nullopt;  // not a property list: replaced
  for (const auto& [key, value] : *before_.map()) {
    if (key == name_) continue;
    const Value* kept = file.find(key);
    if (kept == nullptr || !same(value, *kept)) {
      return Violation{"settings",
                       "",
                       "the pane's write of " + name_ + " changed " + key + " from " +
                           toText(value) + " to " + (kept ? toText(*kept) : std::string("absent")),
                       {"expect: {settings_file: {" + key + ": " + toText(value) + "}}"}};
    }
  }
  return std::nullopt;
}

std::optional<Violation> TouchPromise::tap(const Look& look) const {
  const Value now = tapVisible(look);
  for (const auto& [key, value] : *before_.map()) {
    const Value* after = now.find(key);
    if (after != nullptr && same(value, *after)) continue;
    return Violation{"tap",
                     "",
                     name_ + " changed " + key + " though nothing took it: " + toText(value) +
                         " became " + (after ? toText(*after) : std::string("none")),
                     {expectLine(key, value)}};
  }
  return std::nullopt;
}

std::optional<Violation> TouchPromise::addedClip(const Look& look) const {
  const Value album = look("album", host::kCameraApp);
  const ValueList* names = album.list();
  const bool filed = names != nullptr && std::any_of(names->begin(), names->end(), [&](auto& n) {
                       return n.text() != nullptr && *n.text() == name_;
                     });
  const std::string want = "[{name: " + textScalar(name_) + ", playable: true}]";
  if (!filed) {
    return Violation{"album",
                     "",
                     "the added " + name_ + " is not in the album",
                     {"expect: {album: " + toText(album) + "}"}};
  }
  const Value clips = look("album_clips", host::kPhotosApp);
  if (clips.list() == nullptr) return std::nullopt;  // Photos is not running
  for (const Value& clip : *clips.list()) {
    const Value* name = clip.find("name");
    if (name == nullptr || name->text() == nullptr || *name->text() != name_) continue;
    if (isTrue(clip.find("playable"))) return std::nullopt;
  }
  return Violation{"album",
                   host::kPhotosApp,
                   "Photos does not show the added " + name_,
                   {"expect: {app: MobileSlideShow, album_clips: " + want + "}"}};
}

}  // namespace qv::sim
