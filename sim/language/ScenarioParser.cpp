#include "sim/language/ScenarioParser.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "host/App.h"
#include "sim/language/YamlReading.h"
#include "sim/language/YamlWriting.h"
#include "sim/settings/SettingsScreen.h"

namespace qv::sim {
namespace {

using YAML::Node;

constexpr double kLongestWait = 24 * 3600;
// Clips are made at set-up, frame by frame: these keep that to seconds.
constexpr int kLargestSide = 4096;
constexpr int kMostFrames = 36'000;
// Settings files run to a few hundred bytes; this keeps a wrong path from filling memory.
constexpr std::uintmax_t kLargestSettingsFile = 1 << 20;
// Minutes of a phone's video; the album copies a clip whole.
constexpr std::uintmax_t kLargestClipFile = std::uintmax_t{200} << 20;

std::string names(const std::vector<std::string>& all) {
  std::string out;
  for (const std::string& name : all) out += (out.empty() ? "" : ", ") + name;
  return out;
}

std::string unknownDevice(const host::Catalog& catalog, const std::string& name) {
  std::vector<std::string> known;
  for (const host::Device& device : catalog.devices()) known.push_back(device.name);
  return "unknown device '" + name + "' (the catalog has: " + names(known) + ")";
}

std::string unknownSystem(const host::Catalog& catalog, const std::string& version) {
  std::vector<std::string> known;
  for (const host::SystemRelease& release : catalog.systems()) known.push_back(release.version);
  return "unknown system version '" + version + "' (the catalog has: " + names(known) + ")";
}
constexpr double kLongestClip = 600;
// A recording is written frame by frame when it stops: at 240 fps, a minute takes a while.
constexpr double kLongestRecording = 60;
// Screen points a tap may name: whether one is on the screen is the device's to say.
constexpr double kFarthestPoint = 100'000;

// A step's fields, from its map or from the one value of its short form.
struct Fields {
  const YamlReading& yaml;
  Node step;  // the step's node, for messages about the step as a whole
  std::string name;
  std::map<std::string, Node> given;
  // Fields whose value a step takes from where it was read (a default name from its line): the
  // step's written form spells them out. Builders settle them while reading.
  mutable std::vector<std::pair<std::string, std::string>> settled;

  bool has(const std::string& field) const { return given.count(field) != 0; }
  Node operator[](const std::string& field) const { return given.at(field); }

  std::string app(const char* fallback = host::kCameraApp) const {
    if (!has("app")) return fallback;
    const std::string written = yaml.text(given.at("app"), name + " app");
    const std::optional<std::string> app = appName(written);
    if (!app) yaml.fail(given.at("app"), unknownApp(written));
    return *app;
  }

  void settle(const std::string& field, const std::string& value) const {
    settled.emplace_back(field, value);
  }
};

struct StepKind {
  std::string name;
  std::vector<std::string> fields;  // the first one is what the short form gives
  std::vector<std::string> required;
  Action (*build)(const Fields& fields);
  std::string usage;
};

long cameraMode(const Fields& fields) {
  static const std::map<std::string, long> kModes{{"photo", 0}, {"video", 1}, {"slow_motion", 2}};
  const std::string mode = fields.yaml.text(fields["mode"], "camera_mode mode");
  const auto found = kModes.find(mode);
  if (found == kModes.end()) {
    fields.yaml.fail(fields["mode"],
                     "unknown camera mode '" + mode + "' (modes: photo, video, slow_motion)");
  }
  return found->second;
}

// Any scalar, the empty text included: typing can empty the field.
std::string typedText(const Fields& fields) {
  const Node node = fields["text"];
  if (!node.IsScalar()) fields.yaml.fail(node, "type takes the text to type");
  return node.Scalar();
}

bool defaultsFlag(const Fields& fields) {
  const Value value = fields.yaml.value(fields["value"]);
  const bool* flag = std::get_if<bool>(&value.data);
  if (flag == nullptr) {
    fields.yaml.fail(fields["value"],
                     "defaults value should be true or false, not " + toText(value));
  }
  return *flag;
}

// tap and double_tap: {x: X, y: Y} in screen points.
Action tapStep(const Fields& f, unsigned taps) {
  const std::string& step = f.name;
  const double x = f.yaml.number(f["x"], step + " x", -kFarthestPoint, kFarthestPoint);
  const double y = f.yaml.number(f["y"], step + " y", -kFarthestPoint, kFarthestPoint);
  // The Settings screen is the supervisor's own, not an app's.
  if (f.has("app") && f.yaml.text(f["app"], step + " app") == kSettingsScreen) {
    return PaneStep{PaneStep::Kind::Tap, "", "", x, y, taps};
  }
  return AppStep{f.app(), "tap",
                 ValueMap{{"x", x}, {"y", y}, {"taps", static_cast<long long>(taps)}},
                 step + " at (" + toText(x) + ", " + toText(y) + ")"};
}

// settings_pane: open | close | {scroll_to: ROW} | {toggle: ROW} | {type: {ROW: TEXT}} |
// {type: TEXT} (into the field being edited).
PaneStep paneStep(const Fields& f) {
  if (f.given.size() != 1) {
    f.yaml.fail(f.step, "settings_pane takes one of open, close, scroll_to, toggle or type");
  }
  const auto& [field, node] = *f.given.begin();
  if (field == "screen") {
    const std::string screen = f.yaml.text(node, "settings_pane");
    if (screen != "open" && screen != "close" && screen != "flush") {
      f.yaml.fail(node,
                  "settings_pane takes open, close, flush, or a map with scroll_to, toggle or "
                  "type, not '" +
                      screen + "'");
    }
    if (screen == "flush") return {PaneStep::Kind::Flush, "", ""};
    return {screen == "open" ? PaneStep::Kind::Open : PaneStep::Kind::Close, "", ""};
  }
  if (field != "type") {
    const std::string row = f.yaml.text(node, "settings_pane " + field + " row");
    return {field == "toggle" ? PaneStep::Kind::Toggle : PaneStep::Kind::ScrollTo, row, ""};
  }
  if (node.IsScalar()) return {PaneStep::Kind::Type, "", node.Scalar()};
  if (!node.IsMap() || node.size() != 1 || !node.begin()->second.IsScalar()) {
    f.yaml.fail(node,
                "settings_pane type takes one row and its text, such as "
                "{type: {MogulFramerate: \"120\"}}, or the text for the field being edited");
  }
  return {PaneStep::Kind::Type, f.yaml.text(node.begin()->first, "settings_pane type row"),
          node.begin()->second.Scalar()};
}

const std::vector<StepKind>& stepKinds() {
  static const std::vector<StepKind> kinds{
      {"launch",
       {"app"},
       {"app"},
       [](const Fields& f) -> Action { return Launch{f.app()}; },
       "launch: APP                     start Camera or MobileSlideShow (Photos)"},
      {"quit",
       {"app"},
       {"app"},
       [](const Fields& f) -> Action { return Quit{f.app()}; },
       "quit: APP                       end the app as the app switcher does"},
      {"camera_mode",
       {"mode", "app"},
       {"mode"},
       [](const Fields& f) -> Action {
         return SetCameraMode{f.app(), cameraMode(f)};
       },
       "camera_mode: MODE               photo, video or slow_motion (configures the session)"},
      {"start_preview",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return Preview{f.app(), true};
       },
       "start_preview [: APP]           the camera screen's kickoff of the preview"},
      {"stop_preview",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return Preview{f.app(), false};
       },
       "stop_preview [: APP]            stop the capture controller's preview"},
      {"wait",
       {"seconds"},
       {"seconds"},
       [](const Fields& f) -> Action {
         return Wait{f.yaml.number(f["seconds"], "wait", 0, kLongestWait)};
       },
       "wait: SECONDS                   let virtual time pass, every app in lock step"},
      {"snapshot",
       {"name", "app"},
       {},
       [](const Fields& f) -> Action {
         const std::string written = f.has("app") ? f.yaml.text(f["app"], "snapshot app") : "";
         if (f.has("app") && written != kSettingsScreen && !appName(written)) {
           f.yaml.fail(f["app"], "unknown screen '" + written +
                                     "' (snapshot takes Camera, MobileSlideShow or Settings)");
         }
         const std::string app = written == kSettingsScreen ? kSettingsScreen : f.app();
         const std::string name = f.has("name")
                                      ? f.yaml.text(f["name"], "snapshot name")
                                      : app + "-" + std::to_string(f.yaml.at(f.step).line);
         if (!f.has("name")) f.settle("name", name);
         if (name.find('/') != std::string::npos || name[0] == '.') {
           f.yaml.fail(f["name"], "a snapshot name is a plain file name, not '" + name + "'");
         }
         return Snapshot{app, name};
       },
       "snapshot [: NAME]               write the app's screen (or Settings) as NAME.png"},
      {"tap",
       {"x", "y", "app"},
       {"x", "y"},
       [](const Fields& f) { return tapStep(f, 1); },
       "tap: {x: X, y: Y}               a finger's tap at that point of the screen (points)"},
      {"double_tap",
       {"x", "y", "app"},
       {"x", "y"},
       [](const Fields& f) { return tapStep(f, 2); },
       "double_tap: {x: X, y: Y}        a double tap there"},
      {"tap_indicator",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(), "tap_indicator", {}, "tap the indicator"};
       },
       "tap_indicator [: APP]           tap the slow-motion indicator"},
      {"double_tap_indicator",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(), "double_tap_indicator", {}, "double-tap the indicator"};
       },
       "double_tap_indicator [: APP]    double-tap the slow-motion indicator"},
      {"type",
       {"text", "app"},
       {"text"},
       [](const Fields& f) -> Action {
         const std::string text = typedText(f);
         return AppStep{f.app(), "type", text, "type " + toText(Value(text))};
       },
       "type: TEXT                      the field being edited (the alert's) now holds TEXT"},
      {"press_alert",
       {"button", "app"},
       {"button"},
       [](const Fields& f) -> Action {
         const std::string button = f.yaml.text(f["button"], "press_alert button");
         return AppStep{f.app(), "press_alert", button, "press " + toText(Value(button))};
       },
       "press_alert: BUTTON             press the alert's button of that title"},
      {"record",
       {"seconds", "app"},
       {"seconds"},
       [](const Fields& f) -> Action {
         return Record{f.app(), f.yaml.number(f["seconds"], "record", 0.01, kLongestRecording)};
       },
       "record: SECONDS                 record a video into the album (Camera)"},
      {"defaults",
       {"key", "value", "app"},
       {"key", "value"},
       [](const Fields& f) -> Action {
         return StoreDefault{f.app(), f.yaml.text(f["key"], "defaults key"), defaultsFlag(f)};
       },
       "defaults: {app: APP, key: KEY, value: BOOL}\n" + std::string(34, ' ') +
           "store a bool in the app's own defaults (read when it next starts)"},
      {"settings_pane",
       {"screen", "scroll_to", "toggle", "type"},
       {},
       [](const Fields& f) -> Action { return paneStep(f); },
       "settings_pane: open|close       show the Settings screen with the pane, or leave it\n"
       "  settings_pane: flush           cfprefsd writes what it holds (plain pane, iOS 8 on)\n"
       "  settings_pane: {toggle: ROW} | {type: {ROW: TEXT}} | {type: TEXT} | {scroll_to: ROW}\n" +
           std::string(34, ' ') +
           "flip a switch or type into a field (by key or label, or the one being edited)"},
      {"open_clip",
       {"clip", "app"},
       {"clip"},
       [](const Fields& f) -> Action {
         const std::string clip = f.yaml.text(f["clip"], "open_clip clip");
         return AppStep{f.app(host::kPhotosApp), "open_clip", clip, "open_clip " + clip};
       },
       "open_clip: NAME                 show the album's clip in Photos"},
      {"play",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "play", {}, "play"};
       },
       "play [: APP]                    play the open clip"},
      {"seek",
       {"seconds", "app"},
       {"seconds"},
       [](const Fields& f) -> Action {
         const double seconds = f.yaml.number(f["seconds"], "seek", 0, kLongestClip);
         return AppStep{f.app(host::kPhotosApp), "seek", seconds,
                        "seek to " + toText(seconds) + " s"};
       },
       "seek: SECONDS                   move the open clip's playhead there"},
      {"export",
       {"preset", "app"},
       {"preset"},
       [](const Fields& f) -> Action {
         const std::string preset = f.yaml.text(f["preset"], "export preset");
         return AppStep{f.app(host::kPhotosApp), "export", preset, "export with " + preset};
       },
       "export: PRESET                  export the open clip, preferring the preset"},
      {"edit_slow_motion",
       {"start", "end", "app"},
       {"start", "end"},
       [](const Fields& f) -> Action {
         const double start = f.yaml.number(f["start"], "edit_slow_motion start", 0, kLongestClip);
         const double end = f.yaml.number(f["end"], "edit_slow_motion end", 0, kLongestClip);
         if (!(end > start)) f.yaml.fail(f["end"], "the slow-motion section ends after its start");
         return AppStep{f.app(host::kPhotosApp), "edit_slow_motion", ValueList{start, end},
                        "edit_slow_motion " + toText(start) + "-" + toText(end) + " s"};
       },
       "edit_slow_motion: {start: S, end: S}  save the open clip's slow-motion section"},
      {"press_bar",
       {"button", "app"},
       {"button"},
       [](const Fields& f) -> Action {
         const std::string button = f.yaml.text(f["button"], "press_bar button");
         return AppStep{f.app(host::kPhotosApp), "press_bar", button,
                        "press the bar's " + toText(Value(button))};
       },
       "press_bar: BUTTON               press the photo browser's bar button of that title"},
      {"press_sheet",
       {"button", "app"},
       {"button"},
       [](const Fields& f) -> Action {
         const std::string button = f.yaml.text(f["button"], "press_sheet button");
         return AppStep{f.app(host::kPhotosApp), "press_sheet", button,
                        "press the sheet's " + toText(Value(button))};
       },
       "press_sheet: BUTTON             press the action sheet's button of that title"},
      {"publish",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "publish", {}, "publish the open clip"};
       },
       "publish [: APP]                 the platform's own publishing of the open clip"},
      {"fail_next",
       {"what", "app"},
       {"what"},
       [](const Fields& f) -> Action {
         const std::string what = f.yaml.text(f["what"], "fail_next what");
         if (what != "remake" && what != "album_save") {
           f.yaml.fail(f["what"], "fail_next takes remake or album_save, not '" + what + "'");
         }
         return AppStep{f.app(host::kPhotosApp), "fail_next", what, "the next " + what + " fails"};
       },
       "fail_next: remake|album_save    the app's next remake or album save fails"},
      {"hold_remakes",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "hold_remakes", {}, "hold the remakes that start"};
       },
       "hold_remakes [: APP]            remakes wait, under their overlay, until released"},
      {"release_remakes",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "release_remakes", {}, "release the remakes"};
       },
       "release_remakes [: APP]         held remakes run to their end"},
  };
  return kinds;
}

class Parser {
 public:
  // Relative paths in the scenario are taken from `base`.
  Parser(const std::string& text, const std::string& file, const host::Catalog& catalog,
         std::filesystem::path base)
      : text_(text), yaml_(file), catalog_(catalog), base_(std::move(base)) {}

  Scenario parse() {
    Node root = load();
    if (!root.IsMap()) yaml_.fail(root, "a scenario is a map with a device and steps");
    yaml_.expectKeys(
        root, {"description", "device", "system", "pane", "settings", "clips", "remove", "steps"},
        "the scenario");
    Scenario scenario;
    scenario.file = yaml_.file();
    if (root["description"]) scenario.description = yaml_.text(root["description"], "description");
    scenario.device = device(yaml_.required(root, "device", "the scenario"));
    if (root["system"]) scenario.device.system = system(root["system"]);
    if (root["pane"]) scenario.pane = paneKind(root["pane"]);
    if (root["settings"]) scenario.settings = settings(root["settings"], "settings");
    if (root["clips"]) scenario.clips = clips(root["clips"]);
    if (root["remove"]) scenario.removals = removals(root["remove"]);
    scenario.steps = steps(yaml_.required(root, "steps", "the scenario"));
    return scenario;
  }

  // One step on its own; a line copied from a file's list of steps keeps its dash.
  Step parseStep() {
    Node node = load();
    if (node.IsSequence() && node.size() == 1) node = node[0];
    return step(node);
  }

 private:
  Node load() {
    try {
      return YAML::Load(text_);
    } catch (const YAML::Exception& e) {
      throw ScenarioError({yaml_.file(), e.mark.line + 1}, "not YAML: " + e.msg);
    }
  }

  // Setup.

  host::Device device(const Node& node) {
    if (node.IsMap()) return inlineDevice(node);
    const std::string name = yaml_.text(node, "device");
    if (const host::Device* found = catalog_.device(name)) return *found;
    yaml_.fail(node, unknownDevice(catalog_, name));
  }

  // An inline device is a catalog entry written in the scenario: the catalog reads it, from its
  // own lines, so that its errors name the scenario's lines.
  host::Device inlineDevice(const Node& node) {
    const YAML::Mark mark = node.Mark();
    std::size_t end = text_.find('\n', static_cast<std::size_t>(mark.pos));
    while (end != std::string::npos && end + 1 < text_.size() && !startsEntry(text_[end + 1])) {
      end = text_.find('\n', end + 1);
    }
    std::string entry(static_cast<std::size_t>(mark.line), '\n');
    entry += std::string(static_cast<std::size_t>(mark.column), ' ');
    entry += text_.substr(static_cast<std::size_t>(mark.pos),
                          end == std::string::npos ? std::string::npos : end - mark.pos);
    try {
      return host::parseDevice(entry, yaml_.file(), catalog_.systems());
    } catch (const host::CatalogError& e) {
      throw ScenarioError(e.what());
    }
  }

  static bool startsEntry(char c) { return c != ' ' && c != '\t' && c != '#' && c != '\n'; }

  host::SystemRelease system(const Node& node) {
    const std::string version = yaml_.text(node, "system");
    if (const host::SystemRelease* found = catalog_.system(version)) return *found;
    yaml_.fail(node, unknownSystem(catalog_, version));
  }

  SettingsFile settings(const Node& node, const std::string& what) {
    SettingsFile file;
    if (node.IsScalar() && node.Scalar() == "none") return file;  // no file
    if (!node.IsMap()) yaml_.fail(node, what + " takes values, raw, file or none");
    yaml_.expectKeys(node, {"values", "format", "raw", "file"}, what);
    if (node["file"]) {
      if (node.size() > 1) yaml_.fail(node, what + " has a file and nothing else");
      return copiedFile(node["file"], what);
    }
    if (node["raw"]) {
      if (node["values"] || node["format"]) yaml_.fail(node, what + " has either raw or values");
      if (!node["raw"].IsScalar()) yaml_.fail(node["raw"], what + " raw should be text");
      file.kind = SettingsFile::Kind::Raw;
      file.raw = node["raw"].Scalar();
      return file;
    }
    const Node values = yaml_.required(node, "values", what);
    if (!values.IsMap()) yaml_.fail(values, what + " values should be a map of keys to values");
    file.kind = SettingsFile::Kind::Values;
    for (const auto& entry : values) {
      const Value value = yaml_.value(entry.second);
      if (value.isNone() || value.list() || value.map()) {
        yaml_.fail(entry.second,
                   "setting '" + entry.first.Scalar() + "' should be a boolean, a number or text");
      }
      file.values.emplace_back(entry.first.Scalar(), value);
    }
    if (node["format"]) {
      const std::string format = yaml_.text(node["format"], what + " format");
      if (format != "xml" && format != "binary") {
        yaml_.fail(node["format"], what + " format should be xml or binary, not " + format);
      }
      file.format = format == "xml" ? SettingsFile::Format::Xml : SettingsFile::Format::Binary;
    }
    return file;
  }

  // A settings file written elsewhere, read now so that a missing file stops the scenario before
  // anything runs; the pane copies its bytes as they are.
  SettingsFile copiedFile(const Node& node, const std::string& what) {
    const std::string given = yaml_.text(node, what + " file");
    const std::filesystem::path path = std::filesystem::absolute(base_ / given).lexically_normal();
    const std::string named = what + " file '" + given + "' (" + path.string() + ")";
    std::error_code error;
    if (!std::filesystem::exists(path, error)) yaml_.fail(node, named + " does not exist");
    if (!std::filesystem::is_regular_file(path, error)) yaml_.fail(node, named + " is not a file");
    std::ifstream in(path, std::ios::binary);
    SettingsFile file;
    file.kind = SettingsFile::Kind::File;
    file.path = path.string();
    file.raw.resize(kLargestSettingsFile + 1);
    in.read(file.raw.data(), static_cast<std::streamsize>(file.raw.size()));
    if (in.bad() || !in.is_open()) {
      yaml_.fail(node, named + " cannot be read: " + std::strerror(errno));
    }
    file.raw.resize(static_cast<std::size_t>(in.gcount()));
    if (file.raw.size() > kLargestSettingsFile) {
      yaml_.fail(node, named + " is larger than a settings file can be (1 MiB)");
    }
    return file;
  }

  std::vector<Clip> clips(const Node& node) {
    if (!node.IsSequence()) yaml_.fail(node, "clips should be a list");
    std::vector<Clip> all;
    std::set<std::string> used;
    for (const Node& item : node) {
      all.push_back(clip(item, all.size() + 1));
      if (!used.insert(all.back().name).second)
        yaml_.fail(item, "two clips named " + all.back().name);
    }
    return all;
  }

  // A clip of the album: copied from a file, or made with the rate, length and size given;
  // `number` names a made one that has no name.
  Clip clip(const Node& item, std::size_t number) {
    if (!item.IsMap())
      yaml_.fail(item, "a clip is a map with a file, or a frame_rate, duration and size");
    yaml_.expectKeys(item, {"name", "frame_rate", "duration", "size", "file"}, "a clip");
    Clip clip;
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "IMG_%04zu.MOV", number);
    if (item["file"]) {
      clip.file = existingFile(item);
      clip.fileAsWritten = yaml_.text(item["file"], "clip file");
    }
    const std::string fallback =
        clip.file.empty() ? numbered : std::filesystem::path(clip.file).filename().string();
    clip.name = item["name"] ? yaml_.text(item["name"], "clip name") : fallback;
    if (clip.name.find('/') != std::string::npos || clip.name[0] == '.') {
      yaml_.fail(item["name"], "a clip name is a plain file name, not '" + clip.name + "'");
    }
    if (!clip.file.empty()) return clip;
    clip.frameRate =
        yaml_.number(yaml_.required(item, "frame_rate", "a clip"), "frame_rate", 1, 1000);
    clip.duration =
        yaml_.number(yaml_.required(item, "duration", "a clip"), "duration", 0.01, kLongestClip);
    if (clip.duration * clip.frameRate > kMostFrames) {
      yaml_.fail(item, "a clip has at most " + std::to_string(kMostFrames) + " frames");
    }
    size(yaml_.required(item, "size", "a clip"), clip);
    return clip;
  }

  // add_clip: a clip as the setup's list writes one, with its file's path and its name settled.
  AddClip addedClip(const Node& body, std::string& written) {
    const Clip added = clip(body, 1);
    std::vector<std::pair<std::string, std::string>> settled{{"name", added.name}};
    if (!added.file.empty()) settled.emplace_back("file", added.file);
    std::map<std::string, Node> given;
    for (const auto& entry : body) given[entry.first.Scalar()] = entry.second;
    written = stepLine("add_clip", given, settled);
    return AddClip{added};
  }

  // A clip's file, relative to the scenario file; it must exist, and stand alone.
  std::string existingFile(const Node& item) {
    for (const char* key : {"frame_rate", "duration", "size"}) {
      if (item[key]) yaml_.fail(item[key], std::string("a clip from a file takes no ") + key);
    }
    const std::string given = yaml_.text(item["file"], "clip file");
    std::filesystem::path path(given);
    if (path.is_relative()) path = std::filesystem::path(yaml_.file()).parent_path() / path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
      yaml_.fail(item["file"], "no clip file " + path.string());
    }
    if (std::filesystem::file_size(path, error) > kLargestClipFile) {
      yaml_.fail(item["file"],
                 "clip file " + path.string() + " is larger than a clip can be (200 MiB)");
    }
    return std::filesystem::absolute(path, error).string();
  }

  void size(const Node& node, Clip& clip) {
    static const std::regex kSize(R"((\d{2,4})x(\d{2,4}))");
    std::smatch parts;
    const std::string text = yaml_.text(node, "size");
    if (!std::regex_match(text, parts, kSize)) yaml_.fail(node, "size should read as 1280x720");
    clip.width = std::stoi(parts[1]);
    clip.height = std::stoi(parts[2]);
    if (clip.width < 16 || clip.height < 16 || clip.width > kLargestSide ||
        clip.height > kLargestSide || clip.width % 2 || clip.height % 2) {
      yaml_.fail(node, "a clip's width and height are even numbers from 16 to 4096");
    }
  }

  std::vector<host::Removal> removals(const Node& node) {
    if (!node.IsSequence()) yaml_.fail(node, "remove should be a list of classes and methods");
    std::vector<host::Removal> all;
    for (const Node& item : node) {
      host::Removal removal;
      const std::string text = yaml_.text(item, "remove");
      if (!host::parseRemoval(text, removal)) {
        yaml_.fail(item,
                   "remove takes a class (CAMCaptureController) or a method "
                   "(-[CAMCaptureController mogulFrameRate], +[Class selector]), not '" +
                       text + "'");
      }
      if (!host::isKnownHostClass(removal.className)) {
        yaml_.fail(item, "unknown host class '" + removal.className + "'");
      }
      all.push_back(removal);
    }
    return all;
  }

  PaneKind paneKind(const Node& node) {
    const std::string kind = yaml_.text(node, "pane");
    if (kind != "bundle" && kind != "plain") {
      yaml_.fail(node,
                 "pane is bundle (the package's) or plain (a specifier list), not '" + kind + "'");
    }
    return kind == "plain" ? PaneKind::Plain : PaneKind::Bundle;
  }

  // Steps.

  std::vector<Step> steps(const Node& node) {
    if (!node.IsSequence() || node.size() == 0) yaml_.fail(node, "steps should be a list of steps");
    std::vector<Step> all;
    for (const Node& item : node) all.push_back(step(item));
    return all;
  }

  Step step(const Node& item) {
    Node body;
    std::string name;
    if (item.IsScalar()) {
      name = item.Scalar();
    } else if (item.IsMap() && item.size() == 1) {
      name = item.begin()->first.Scalar();
      body = item.begin()->second;
    } else {
      yaml_.fail(item, "a step is one name with its fields, such as '- launch: Camera'");
    }
    Step step{yaml_.at(item), name, {}, stepLine(item)};
    if (name == "expect") {
      step.action = expect(item, body);
    } else if (name == "settings") {
      if (item.IsScalar() || body.IsNull())
        yaml_.fail(item, "the settings step takes values, raw, file or none");
      const SettingsFile file = settings(body, "the settings step");
      if (file.kind == SettingsFile::Kind::File)
        step.written = stepLine(name, {}, {{"file", file.path}});
      step.action = ChangeSettings{file};
    } else if (name == "add_clip") {
      if (!body.IsMap())
        yaml_.fail(item, "add_clip takes a clip: {file: PATH} or {frame_rate, duration, size}");
      step.action = addedClip(body, step.written);
    } else {
      step.action = ordinaryStep(item, name, body, step.written);
    }
    return step;
  }

  Action ordinaryStep(const Node& item, const std::string& name, const Node& body,
                      std::string& written) {
    const auto& kinds = stepKinds();
    const auto kind =
        std::find_if(kinds.begin(), kinds.end(), [&](const StepKind& k) { return k.name == name; });
    if (kind == kinds.end()) {
      std::vector<std::string> known{"settings", "expect", "add_clip"};
      for (const StepKind& k : kinds) known.push_back(k.name);
      std::sort(known.begin(), known.end());
      yaml_.fail(item, "unknown step '" + name + "' (steps: " + names(known) + ")");
    }
    Fields fields{yaml_, item, name, {}, {}};
    if (body && body.IsMap()) {
      for (const auto& entry : body) {
        const std::string field = entry.first.Scalar();
        if (std::find(kind->fields.begin(), kind->fields.end(), field) == kind->fields.end()) {
          yaml_.fail(entry.first, "unknown field '" + field + "' in " + name +
                                      " (fields: " + names(kind->fields) + ")");
        }
        fields.given[field] = entry.second;
      }
    } else if (body && !yaml_.value(body).isNone()) {
      if (!body.IsScalar()) yaml_.fail(body, name + " takes " + kind->fields[0] + " or a map");
      fields.given[kind->fields[0]] = body;
    }
    for (const std::string& field : kind->required) {
      if (!fields.has(field)) yaml_.fail(item, "missing field '" + field + "' in " + name);
    }
    Action action = kind->build(fields);
    if (!fields.settled.empty()) written = stepLine(name, fields.given, fields.settled);
    return action;
  }

  Action expect(const Node& item, const Node& body) {
    if (!body || !body.IsMap() || body.size() == 0) {
      yaml_.fail(item,
                 "expect takes a map of observable state, such as 'expect: {preview: running}'");
    }
    Expect expect{host::kCameraApp, {}};
    for (const auto& entry : body) {
      const std::string key = entry.first.Scalar();
      if (key == "app") {
        Fields fields{yaml_, item, "expect", {{"app", entry.second}}, {}};
        expect.app = fields.app();
        continue;
      }
      const Observable* observable = findObservable(key);
      if (observable == nullptr) {
        std::vector<std::string> known{"app"};
        for (const Observable& o : observables()) known.push_back(o.key);
        yaml_.fail(entry.first,
                   "unknown state '" + key + "' in expect (known: " + names(known) + ")");
      }
      const Value expected = yaml_.value(entry.second);
      const std::string problem = shapeProblem(*observable, expected);
      if (!problem.empty()) yaml_.fail(entry.second, key + " " + problem);
      expect.checks.push_back(
          {observable, normalized(*observable, expected), yaml_.at(entry.second)});
    }
    if (expect.checks.empty()) yaml_.fail(item, "expect has nothing to check");
    return expect;
  }

  const std::string& text_;
  YamlReading yaml_;
  const host::Catalog& catalog_;
  std::filesystem::path base_;
};

}  // namespace

std::optional<std::string> appName(const std::string& written) {
  if (written == "Photos") return host::kPhotosApp;
  if (!host::isKnownApp(written)) return std::nullopt;
  return written;
}

std::string unknownApp(const std::string& written) {
  return "unknown app '" + written + "' (apps: Camera, MobileSlideShow)";
}

Scenario readScenario(const std::string& path, const host::Catalog& catalog) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return parseScenario(text.str(), path, catalog);
}

Scenario parseScenario(const std::string& text, const std::string& file,
                       const host::Catalog& catalog) {
  return Parser(text, file, catalog, std::filesystem::path(file).parent_path()).parse();
}

Step parseStep(const std::string& line, const Location& where, const std::string& base,
               const host::Catalog& catalog) {
  // Blank lines before the step make the reader's line numbers those of `where`.
  const std::string text =
      std::string(static_cast<std::size_t>(std::max(0, where.line - 1)), '\n') + line;
  return Parser(text, where.file, catalog, base).parseStep();
}

host::Device catalogDevice(const host::Catalog& catalog, const std::string& name,
                           const std::string& system) {
  const host::Device* found = catalog.device(name);
  if (found == nullptr) throw ScenarioError(unknownDevice(catalog, name));
  host::Device device = *found;
  if (system.empty()) return device;
  const host::SystemRelease* release = catalog.system(system);
  if (release == nullptr) throw ScenarioError(unknownSystem(catalog, system));
  device.system = *release;
  return device;
}

std::vector<StepUsage> stepUsages() {
  std::vector<StepUsage> usages;
  for (const StepKind& kind : stepKinds()) usages.push_back({kind.name, kind.usage});
  // Long forms: the summary goes on the next line, under the other summaries.
  const std::string under(34, ' ');
  usages.push_back({"settings",
                    "settings: {values: {KEY: VALUE}, format: xml|binary} | {raw: TEXT} | {file: "
                    "PATH} | none\n" +
                        under + "the settings pane writes the file and posts its notification"});
  usages.push_back(
      {"add_clip",
       "add_clip: {file: PATH, name: NAME} | {frame_rate: F, duration: S, size: WxH}\n" + under +
           "put a clip into the album, as syncing does"});
  usages.push_back({"expect", "expect: {app: APP, STATE: VALUE...}\n" + under +
                                  "check observable state (app defaults to Camera)"});
  return usages;
}

}  // namespace qv::sim
