#include "sim/language/StepKinds.h"

#include <algorithm>
#include <stdexcept>

namespace qv::sim {
namespace {

// --help's order, which interleaves the areas as a session uses them; kept as users know it.
constexpr const char* kHelpOrder[] = {"launch",
                                      "quit",
                                      "camera_mode",
                                      "start_preview",
                                      "stop_preview",
                                      "wait",
                                      "snapshot",
                                      "tap",
                                      "double_tap",
                                      "tap_indicator",
                                      "double_tap_indicator",
                                      "type",
                                      "press_alert",
                                      "record",
                                      "defaults",
                                      "settings_pane",
                                      "open_clip",
                                      "play",
                                      "seek",
                                      "export",
                                      "edit_slow_motion",
                                      "press_bar",
                                      "press_sheet",
                                      "publish",
                                      "fail_next",
                                      "hold_remakes",
                                      "release_remakes"};

// The areas' rows in --help's order. A row the order leaves out, or a name no area has, is a
// mistake of this file: it stops the program at its first step.
std::vector<StepKind> inHelpOrder() {
  std::vector<StepKind> all;
  for (auto area : {appSteps, cameraSteps, screenSteps, settingsSteps, mediaSteps}) {
    for (StepKind& kind : area()) all.push_back(std::move(kind));
  }
  std::vector<StepKind> ordered;
  for (const char* name : kHelpOrder) {
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const StepKind& k) { return k.name == name; });
    if (found == all.end()) throw std::logic_error(std::string("no step table has ") + name);
    ordered.push_back(std::move(*found));
  }
  if (ordered.size() != all.size()) throw std::logic_error("a step is missing from --help's order");
  return ordered;
}

}  // namespace

std::string listNames(const std::vector<std::string>& all) {
  std::string out;
  for (const std::string& name : all) out += (out.empty() ? "" : ", ") + name;
  return out;
}

const std::vector<StepKind>& stepKinds() {
  static const std::vector<StepKind> kinds = inHelpOrder();
  return kinds;
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
