#include "sim/front/MonkeyActions.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "sim/language/YamlWriting.h"

namespace qv::sim {
namespace {

constexpr const char* kCamera = "Camera";
constexpr const char* kPhotos = "MobileSlideShow";
constexpr const char* kSaveTitle = "Save Slo-mo";

template <typename T>
const T& pick(const std::vector<T>& all, MonkeyRandom& random) {
  return all[std::uniform_int_distribution<std::size_t>(0, all.size() - 1)(random)];
}

bool chance(double probability, MonkeyRandom& random) {
  return std::bernoulli_distribution(probability)(random);
}

// What a user types into the frame-rate alert: rates the cameras have and do not have, junk.
const std::vector<std::string> kTyped{"",    "30",         "60", "120", "240",    "500",
                                      "fps", "240 please", "0",  "-30", "119.88", "1e9"};
const std::vector<std::string> kPresets{
    "AVAssetExportPresetPassthrough",   "AVAssetExportPresetHighestQuality",
    "AVAssetExportPresetMediumQuality", "AVAssetExportPresetLowQuality",
    "AVAssetExportPreset640x480",       "AVAssetExportPresetMailMedium"};
const std::vector<std::string> kWaits{"0.2", "0.5", "1", "2", "5", "12"};
// Recordings are written frame by frame at the camera's size: short ones keep runs quick.
const std::vector<std::string> kRecordings{"0.1", "0.2", "0.3"};
// What a user types into the pane's fields.
const std::vector<std::string> kPaneTyped{"30", "60", "120", "240", "", "fast", "119.88"};
const std::vector<std::string> kClipRates{"30", "60", "120", "240", "119.88"};

struct Choice {
  int weight;
  std::function<std::string()> line;
};

std::vector<std::string> buttons(const Value& alert) {
  std::vector<std::string> titles;
  const Value* listed = alert.find("buttons");
  if (listed == nullptr || listed->list() == nullptr) return titles;
  for (const Value& title : *listed->list()) {
    if (title.text() != nullptr) titles.push_back(*title.text());
  }
  return titles;
}

bool indicatorTappable(const Glance& glance) {
  if (glance.indicator.map() == nullptr || glance.cameraOverlaid) return false;
  const Value* hidden = glance.indicator.find("hidden");
  return !isTrue(hidden);
}

void appChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  for (const char* app : {"Camera", "MobileSlideShow"}) {
    const bool running = std::string(app) == "Camera" ? glance.cameraRunning : glance.photosRunning;
    choices.push_back({running ? 1 : 6, [app] { return std::string("launch: ") + app; }});
    if (running) choices.push_back({1, [app] { return std::string("quit: ") + app; }});
  }
  choices.push_back({3, [&random] { return "wait: " + pick(kWaits, random); }});
  choices.push_back({1, [&random] { return "settings: " + randomSettings(random); }});
}

const BrowserGlance* browserOf(const Glance& glance, const std::string& app) {
  for (const BrowserGlance& browser : glance.browsers) {
    if (browser.app == app) return &browser;
  }
  return nullptr;
}

bool sheetUp(const Glance& glance, const std::string& app) {
  const BrowserGlance* browser = browserOf(glance, app);
  return browser != nullptr && !browser->sheetButtons.empty();
}

// A browser step in `app`: Photos is where such steps go unless they say otherwise.
std::string browserStep(const std::string& step, const std::string& app, const std::string& key,
                        const std::string& value) {
  if (app == kPhotos) return step + ": " + textScalar(value);
  return step + ": {app: " + app + ", " + key + ": " + textScalar(value) + "}";
}

// Saving is what the browser's bar is here for: its button and the sheet's entry come up most.
int browserWeight(const std::string& title) {
  return title == kSaveTitle || title == "..." ? 4 : 1;
}

void sheetChoices(const BrowserGlance& browser, std::vector<Choice>& choices) {
  for (const std::string& title : browser.sheetButtons) {
    choices.push_back({browserWeight(title), [app = browser.app, title] {
                         return browserStep("press_sheet", app, "button", title);
                       }});
  }
}

void barChoices(const BrowserGlance& browser, MonkeyRandom& random, std::vector<Choice>& choices) {
  std::vector<std::string> titles{"Share"};  // the left-hand button, which bar_buttons leaves out
  for (const std::string& title : browser.barButtons) {
    if (!title.empty() && std::find(titles.begin(), titles.end(), title) == titles.end()) {
      titles.push_back(title);
    }
  }
  for (const std::string& title : titles) {
    choices.push_back({browserWeight(title), [app = browser.app, title] {
                         return browserStep("press_bar", app, "button", title);
                       }});
  }
  choices.push_back({1, [app = browser.app] {
                       return app == kPhotos ? std::string("publish") : "publish: " + app;
                     }});
  choices.push_back({1, [app = browser.app, &random] {
                       return browserStep("fail_next", app, "what",
                                          chance(0.5, random) ? "remake" : "album_save");
                     }});
}

void browserChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  for (const BrowserGlance& browser : glance.browsers) {
    if (browser.app == kCamera && glance.alert.map() != nullptr) continue;
    if (!browser.sheetButtons.empty()) {  // the sheet in front takes every touch
      sheetChoices(browser, choices);
    } else {
      barChoices(browser, random, choices);
    }
  }
}

void cameraChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  if (!glance.cameraRunning) return;
  // The camera roll's browser covers the camera screen.
  if (browserOf(glance, kCamera) != nullptr) return;
  if (glance.alert.map() != nullptr) {  // the alert in front takes every touch
    choices.push_back({4, [&random] { return "type: " + textScalar(pick(kTyped, random)); }});
    const std::vector<std::string> titles = buttons(glance.alert);
    if (!titles.empty()) {
      choices.push_back(
          {4, [titles, &random] { return "press_alert: " + textScalar(pick(titles, random)); }});
    }
    return;
  }
  // Slow motion is what the library is about: the dial lands there half the time.
  choices.push_back(
      {3, [&random] {
         return "camera_mode: " +
                pick(std::vector<std::string>{"photo", "video", "slow_motion", "slow_motion"},
                     random);
       }});
  choices.push_back({3, [] { return std::string("start_preview"); }});
  choices.push_back({1, [] { return std::string("stop_preview"); }});
  choices.push_back({1, [&random] { return "record: " + pick(kRecordings, random); }});
  if (indicatorTappable(glance)) {
    choices.push_back({4, [] { return std::string("tap_indicator"); }});
    choices.push_back({2, [] { return std::string("double_tap_indicator"); }});
  }
  if (!glance.album.empty()) {  // the camera roll
    choices.push_back(
        {2, [&] {
           return "open_clip: {app: Camera, clip: " + textScalar(pick(glance.album, random)) + "}";
         }});
  }
}

std::string editLine(const Glance& glance, MonkeyRandom& random) {
  std::uniform_real_distribution<double> fraction(0.0, 1.0);
  double start = fraction(random), end = fraction(random);
  if (start > end) std::swap(start, end);
  if (end - start < 0.1) end = std::min(1.0, start + 0.1);
  const auto seconds = [&](double f) {
    return toText(std::round(f * glance.openClipDuration * 100) / 100);
  };
  const std::string from = seconds(start), to = seconds(end);
  if (from == to) return "play";
  return "edit_slow_motion: {start: " + from + ", end: " + to + "}";
}

void photosChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  if (!glance.photosRunning || sheetUp(glance, kPhotos)) return;
  if (!glance.album.empty()) {
    choices.push_back({3, [&] { return "open_clip: " + textScalar(pick(glance.album, random)); }});
  }
  if (!glance.openClip) return;
  choices.push_back({3, [] { return std::string("play"); }});
  choices.push_back({1, [&random] { return "export: " + pick(kPresets, random); }});
  if (glance.editorOffered && glance.openClipDuration >= 0.1) {
    choices.push_back({2, [&] { return editLine(glance, random); }});
  }
}

// The Settings screen: opened now and then; once open, its switches and fields are what it is for.
void paneChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  const ValueMap* rows = glance.settingsPane.map();
  if (rows == nullptr) {
    choices.push_back({1, [] { return std::string("settings_pane: open"); }});
    return;
  }
  choices.push_back({2, [] { return std::string("settings_pane: close"); }});
  for (const auto& row : *rows) {
    // A copy for each lambda: a structured binding cannot be captured before clang 16.
    const std::string key = row.first;
    const Value& value = row.second;
    if (std::get_if<bool>(&value.data) != nullptr) {
      choices.push_back({2, [key] { return "settings_pane: {toggle: " + key + "}"; }});
    } else if (value.text() != nullptr) {
      choices.push_back({2, [key, &random] {
                           return "settings_pane: {type: {" + key + ": " +
                                  textScalar(pick(kPaneTyped, random)) + "}}";
                         }});
    }
  }
}

std::string pointStep(const char* kind, double x, double y, const std::string& app) {
  return std::string(kind) + ": {x: " + toText(std::round(x)) + ", y: " + toText(std::round(y)) +
         ", app: " + app + "}";
}

// Fingers land anywhere on the screen: on controls, and as often beside them.
void touchChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  std::vector<std::string> apps;
  if (glance.cameraRunning) apps.push_back(kCamera);
  if (glance.photosRunning) apps.push_back(kPhotos);
  if (glance.settingsPane.map() != nullptr) apps.push_back("Settings");
  for (const std::string& app : apps) {
    for (const auto& [kind, weight] : {std::pair{"tap", 2}, std::pair{"double_tap", 1}}) {
      choices.push_back({weight, [&glance, &random, kind = kind, app] {
                           std::uniform_real_distribution<double> x(0, glance.screenWidth - 1);
                           std::uniform_real_distribution<double> y(0, glance.screenHeight - 1);
                           return pointStep(kind, x(random), y(random), app);
                         }});
    }
  }
}

// Photos' player: the play button in the middle of the picture, and the playhead moved.
void playerChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  if (!glance.photosRunning || sheetUp(glance, kPhotos) || !glance.openClip) return;
  choices.push_back({2, [&glance, &random] {
                       std::uniform_real_distribution<double> aim(-12, 12);
                       return pointStep("tap", glance.screenWidth / 2 + aim(random),
                                        glance.screenHeight / 2 + aim(random), kPhotos);
                     }});
  if (glance.openClipDuration > 0) {
    choices.push_back({2, [&glance, &random] {
                         std::uniform_real_distribution<double> second(0, glance.openClipDuration);
                         return "seek: " + toText(std::round(second(random) * 100) / 100);
                       }});
  }
}

// A clip synced onto the phone, under a name the album lacks.
void syncChoices(const Glance& glance, MonkeyRandom& random, std::vector<Choice>& choices) {
  choices.push_back(
      {1, [&glance, &random] {
         std::string name;
         do {
           name = "IMG_" + std::to_string(std::uniform_int_distribution<int>(2000, 2999)(random)) +
                  ".MOV";
         } while (std::find(glance.album.begin(), glance.album.end(), name) != glance.album.end());
         return "add_clip: {name: " + name + ", frame_rate: " + pick(kClipRates, random) +
                ", duration: 0.3, size: 160x90}";
       }});
}

}  // namespace

std::string randomSettings(MonkeyRandom& random) {
  if (chance(0.05, random)) return "none";
  if (chance(0.03, random)) return "{raw: \"<plist><dict><key>MogulFramerate\"}";
  std::string values;
  const auto add = [&values](const std::string& entry) {
    values += (values.empty() ? "" : ", ") + entry;
  };
  add("MogulFramerate: " +
      pick(std::vector<std::string>{"30", "60", "120", "240", "480", "119.88", "\"120\""}, random));
  if (chance(0.3, random))
    add(std::string("EnableSlalom: ") + (chance(0.8, random) ? "true" : "false"));
  if (chance(0.2, random))
    add(std::string("ForceSlalom: ") + (chance(0.5, random) ? "true" : "false"));
  if (chance(0.2, random)) add(std::string("FakeFPS: ") + (chance(0.5, random) ? "true" : "false"));
  if (chance(0.3, random))
    add("rate: " + pick(std::vector<std::string>{"0.25", "0.5", "1"}, random));
  return "{values: {" + values + "}" + (chance(0.3, random) ? ", format: binary}" : "}");
}

std::string chooseStep(const Glance& glance, MonkeyRandom& random) {
  std::vector<Choice> choices;
  appChoices(glance, random, choices);
  cameraChoices(glance, random, choices);
  photosChoices(glance, random, choices);
  browserChoices(glance, random, choices);
  paneChoices(glance, random, choices);
  touchChoices(glance, random, choices);
  playerChoices(glance, random, choices);
  syncChoices(glance, random, choices);
  int total = 0;
  for (const Choice& choice : choices) total += choice.weight;
  int landed = std::uniform_int_distribution<int>(0, total - 1)(random);
  for (const Choice& choice : choices) {
    if (landed < choice.weight) return choice.line();
    landed -= choice.weight;
  }
  return choices.back().line();
}

}  // namespace qv::sim
