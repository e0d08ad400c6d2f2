#include "sim/language/Observables.h"

#include <algorithm>
#include <regex>

namespace qv::sim {
namespace {

const std::vector<std::string> kApps{"Camera", "MobileSlideShow"};

Observable row(std::string key, Scope scope, Shape shape, std::string help,
               std::vector<std::string> choices = {}) {
  // An app may have nothing to answer with (no camera, no controller); the settings may be
  // missing.
  const bool nullable = scope == Scope::Live || shape == Shape::Text || shape == Shape::Settings ||
                        shape == Shape::Rows;
  const Match match = shape == Shape::AppStates || shape == Shape::Records ||
                              shape == Shape::Fields || shape == Shape::Rows
                          ? Match::Partial
                          : Match::Exact;
  return {key, scope, shape, match, nullable, std::move(choices), key, std::move(help)};
}

std::vector<Observable> makeTable() {
  std::vector<Observable> table{
      row("running", Scope::Device, Shape::AppList, "the apps running now, in any order"),
      row("apps", Scope::Device, Shape::AppStates,
          "each listed app's state: running, not launched, or why it ended"),
      row("settings_file", Scope::Device, Shape::Settings,
          "the settings file's values as the pane wrote them; none when there is no file, "
          "malformed when it is not a dictionary property list"),
      row("settings_pane", Scope::Device, Shape::Rows,
          "the Settings screen's rows by key: true or false for a switch, the text of a text "
          "field, and editing: the key of the text field a tap picked; none when the screen is "
          "not open"),
      row("album", Scope::Device, Shape::Lines, "the files in the album, in name order"),
      row("library", Scope::Record, Shape::Text,
          "the library the loader mapped into the app (QuorvaneiOS8), or none"),
      row("log", Scope::Record, Shape::Lines, "every line the app's process logged, in order"),
      row("log_includes", Scope::Record, Shape::Lines,
          "lines the app's process logged, among others"),
      row("preview", Scope::Live, Shape::Choice,
          "the camera preview: running, stopped, or refused (asked for and not running)",
          {"running", "stopped", "refused"}),
      row("camera_mode", Scope::Live, Shape::Choice, "the capture controller's camera mode",
          {"photo", "video", "slow_motion"}),
      row("format", Scope::Live, Shape::Size, "the camera's active format, width x height"),
      row("frame_rates", Scope::Live, Shape::Ranges,
          "the active format's frame-rate ranges, [lowest, highest] in order"),
      row("min_frame_duration", Scope::Live, Shape::Duration,
          "the camera's active minimum frame duration, value/timescale"),
      row("max_frame_duration", Scope::Live, Shape::Duration,
          "the camera's active maximum frame duration, value/timescale"),
      row("mogul_frame_rate", Scope::Live, Shape::Number,
          "what the capture controller answers to mogulFrameRate"),
      row("mogul_format", Scope::Live, Shape::Size,
          "the format the capture controller picks for slow motion at its mogulFrameRate"),
      row("notices", Scope::Live, Shape::Records,
          "the timed notices on screen: title, message, time_left (seconds until they hide)",
          {"title", "message", "time_left"}),
      row("huds", Scope::Live, Shape::Records,
          "every progress HUD on screen: mode (spinner, custom_view, text_only, or its number), "
          "label, details, time_left",
          {"mode", "label", "details", "time_left"}),
      row("indicator", Scope::Live, Shape::Fields,
          "the slow-motion indicator: fps (the number it shows), hidden, frame ([x, y, width, "
          "height] in the bottom bar) and recognizers ([{action, taps}] in order); none without "
          "one",
          {"fps", "hidden", "frame", "recognizers"}),
      row("alert", Scope::Live, Shape::Fields,
          "the alert in front: title, message, buttons (by index), text and placeholder of its "
          "first field, tag; none without one",
          {"title", "message", "buttons", "text", "placeholder", "tag"}),
      row("first_responder", Scope::Live, Shape::Fields,
          "the text field being edited (the alert's, once it shows): text, frame ([x, y, width, "
          "height] in screen points); none without one",
          {"text", "frame"}),
      row("double_tap_areas", Scope::Live, Shape::Frames,
          "the frames ([x, y, width, height] in screen points) of the front window's views under "
          "which a double tap is recognized"),
      row("debug_controls", Scope::Live, Shape::Fields,
          "the iOS 7 camera's debug slow-motion controls (shown in slow motion when the app's "
          "PLDebugCowbell default reads YES): hidden, and lines (title, capture rate, active "
          "format, mogulFrameRate) as drawn; none before the camera first showed them",
          {"hidden", "lines"}),
      row("clip", Scope::Live, Shape::Fields,
          "the clip's file (the open clip in Photos, the last recording in Camera): name, "
          "frame_rate, duration, frames, size, tracks",
          {"name", "frame_rate", "duration", "frames", "size", "tracks"}),
      row("asset", Scope::Live, Shape::Fields,
          "that clip's asset: name, kind_subtype, slow_motion (isMogul), adjusted, "
          "slow_motion_section, saved_asset_type, and in Photos badge and editor",
          {"name", "kind_subtype", "slow_motion", "adjusted", "slow_motion_section",
           "saved_asset_type", "badge", "editor"}),
      row("playback", Scope::Live, Shape::Fields,
          "the open clip's last playback: slow_motion ([start, end] seconds, or none), rate, "
          "volume, ramp_volume, duration, playing_time",
          {"slow_motion", "rate", "volume", "ramp_volume", "duration", "playing_time"}),
      row("player", Scope::Live, Shape::Fields,
          "the open clip's player: position (seconds of the clip at the playhead), playing, "
          "frame (the number of the frame on screen; none when the clip does not decode); none "
          "without an open clip",
          {"position", "playing", "frame"}),
      row("export", Scope::Live, Shape::Fields,
          "the last export: preset (asked of the session), min_frame_duration, status, failure, "
          "file, and the file's frame_rate, duration, frames, size",
          {"preset", "min_frame_duration", "status", "failure", "file", "frame_rate", "duration",
           "frames", "size"}),
      row("bar_buttons", Scope::Live, Shape::Lines,
          "the photo browser's right-hand bar buttons, one title per navigation item in order "
          "(empty for an item without one); none without a browser"),
      row("sheet", Scope::Live, Shape::Fields,
          "the action sheet in front: title, buttons (by index), tag; none without one",
          {"title", "buttons", "tag"}),
      row("overlay", Scope::Live, Shape::Fields,
          "the platform's progress overlay (PLProgressHUD) in front: text, count (how many are "
          "shown); none without one",
          {"text", "count"}),
      row("album_clips", Scope::Live, Shape::Records,
          "the album's files in name order: name, frame_rate, duration, playable (a video track "
          "that reads)",
          {"name", "frame_rate", "duration", "playable"}),
      row("remakes", Scope::Live, Shape::Fields,
          "the publishing agent's remakes: in_flight, ended, failed (ended without a file)",
          {"in_flight", "ended", "failed"}),
      row("missing_classes", Scope::Live, Shape::Lines,
          "the classes the libraries look up that the app's runtime does not hold, in name order"),
      row("assets", Scope::Live, Shape::Records,
          "the photo library's assets in name order: name, kind_subtype, slow_motion",
          {"name", "kind_subtype", "slow_motion"}),
  };
  for (Observable& observable : table) {
    if (observable.key == "log_includes") {
      observable.match = Match::Includes;
      observable.source = "log";
    }
  }
  return table;
}

bool isText(const Value& value, const std::regex& pattern) {
  return value.text() != nullptr && std::regex_match(*value.text(), pattern);
}

bool isApp(const Value& value) {
  return value.text() != nullptr &&
         std::find(kApps.begin(), kApps.end(), *value.text()) != kApps.end();
}

bool isScalar(const Value& value) {
  return value.list() == nullptr && value.map() == nullptr && !value.isNone();
}

template <typename Predicate>
bool allOf(const Value& value, Predicate each) {
  const ValueList* list = value.list();
  return list != nullptr && std::all_of(list->begin(), list->end(), each);
}

std::string listOf(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// What an expected value should have been, and what it is instead (the whole value by default).
struct Problem {
  Problem() = default;
  Problem(const char* wanted) : wanted(wanted) {}
  Problem(std::string wanted, std::string instead = {})
      : wanted(std::move(wanted)), instead(std::move(instead)) {}
  std::string wanted;  // empty: nothing is wrong
  std::string instead;
};

Problem recordsProblem(const Observable& observable, const Value& expected) {
  const std::string wanted = "records whose fields are among " + listOf(observable.choices);
  if (expected.list() == nullptr) return {wanted, ""};
  for (const Value& record : *expected.list()) {
    if (record.map() == nullptr) return {wanted, ""};
    for (const auto& [field, value] : *record.map()) {
      const auto& fields = observable.choices;
      if (std::find(fields.begin(), fields.end(), field) == fields.end()) return {wanted, field};
      if (!isScalar(value)) return {"records of plain values", ""};
    }
  }
  return {};
}

// A list of lists of `size` numbers each.
bool isListOfNumberLists(const Value& expected, std::size_t size) {
  return allOf(expected, [size](const Value& item) {
    return allOf(item, [](const Value& number) { return number.isNumber(); }) &&
           item.list()->size() == size;
  });
}

// A map of the observable's fields, each a plain value or a list of them.
std::string mapProblem(const Value& expected, bool appKeys);

Problem fieldsProblem(const Observable& observable, const Value& expected) {
  const std::string wanted = "a map whose keys are among " + listOf(observable.choices);
  if (expected.map() == nullptr) return {wanted, ""};
  for (const auto& [field, value] : *expected.map()) {
    const auto& fields = observable.choices;
    if (std::find(fields.begin(), fields.end(), field) == fields.end()) return {wanted, field};
    // Lists of plain values, or of maps of plain values (the indicator's recognizers).
    const bool plainList = allOf(value, [](const Value& item) {
      return isScalar(item) || (item.map() != nullptr && mapProblem(item, false).empty());
    });
    if (!isScalar(value) && !value.isNone() && !plainList) return {"plain values or lists", ""};
  }
  return {};
}

std::string mapProblem(const Value& expected, bool appKeys) {
  if (expected.map() == nullptr) return appKeys ? "a map of app names to states" : "a map";
  for (const auto& [key, value] : *expected.map()) {
    if (appKeys && !isApp(Value(key))) return "app names among " + listOf(kApps) + " as keys";
    if (!isScalar(value)) return "plain values (booleans, numbers or text)";
  }
  return "";
}

Problem problemOf(const Observable& observable, const Value& expected) {
  static const std::regex kSize(R"(\d+x\d+)");
  static const std::regex kDuration(R"(-?\d+/-?\d+)");
  switch (observable.shape) {
    case Shape::Text:
      return expected.text() ? "" : "text";
    case Shape::Number:
      return expected.isNumber() ? "" : "a number";
    case Shape::Choice: {
      const auto& choices = observable.choices;
      const bool known = expected.text() != nullptr && std::find(choices.begin(), choices.end(),
                                                                 *expected.text()) != choices.end();
      return known ? "" : "one of " + listOf(choices);
    }
    case Shape::AppList:
      return allOf(expected, isApp) ? "" : "a list of app names among " + listOf(kApps);
    case Shape::AppStates:
      return mapProblem(expected, true);
    case Shape::Settings:
      return expected.text() && *expected.text() == "malformed" ? "" : mapProblem(expected, false);
    case Shape::Lines:
      return allOf(expected, [](const Value& line) { return line.text() != nullptr; })
                 ? ""
                 : "a list of lines";
    case Shape::Size:
      return isText(expected, kSize) ? "" : "a size such as 1280x720";
    case Shape::Duration:
      return isText(expected, kDuration) ? "" : "a duration such as 1/120";
    case Shape::Ranges:
      return isListOfNumberLists(expected, 2) ? "" : "a list of [lowest, highest] frame rates";
    case Shape::Frames:
      return isListOfNumberLists(expected, 4) ? "" : "a list of [x, y, width, height] frames";
    case Shape::Records:
      return recordsProblem(observable, expected);
    case Shape::Fields:
      return fieldsProblem(observable, expected);
    case Shape::Rows:
      return mapProblem(expected, false);
  }
  return {};
}

}  // namespace

const std::vector<Observable>& observables() {
  static const std::vector<Observable> table = makeTable();
  return table;
}

const Observable* findObservable(const std::string& key) {
  for (const Observable& observable : observables()) {
    if (observable.key == key) return &observable;
  }
  return nullptr;
}

std::string shapeProblem(const Observable& observable, const Value& expected) {
  if (expected.isNone()) return observable.nullable ? "" : "expects a value, not none";
  const Problem problem = problemOf(observable, expected);
  if (problem.wanted.empty()) return "";
  return "expects " + problem.wanted + ", not " +
         (problem.instead.empty() ? toText(expected) : problem.instead);
}

Value normalized(const Observable& observable, Value value) {
  if (observable.shape != Shape::AppList || value.list() == nullptr) return value;
  ValueList apps = *value.list();
  std::sort(apps.begin(), apps.end(),
            [](const Value& a, const Value& b) { return toText(a) < toText(b); });
  return apps;
}

}  // namespace qv::sim
