#include "sim/supervisor/StepDescriptions.h"

#include <algorithm>
#include <variant>

namespace qv::sim {
namespace {

constexpr const char* kModeNames[] = {"photo", "video", "slow_motion"};

std::string describePane(const PaneStep& step) {
  switch (step.kind) {
    case PaneStep::Kind::Open:
      return "settings_pane open";
    case PaneStep::Kind::Close:
      return "settings_pane close";
    case PaneStep::Kind::ScrollTo:
      return "settings_pane scroll to " + step.row;
    case PaneStep::Kind::Toggle:
      return "settings_pane toggle " + step.row;
    case PaneStep::Kind::Type:
      return "settings_pane type " + toText(Value(step.text)) + " into " +
             (step.row.empty() ? "the field being edited" : step.row);
    case PaneStep::Kind::Tap:
      return std::string(step.taps == 2 ? "double_tap" : "tap") + " at (" + toText(step.x) + ", " +
             toText(step.y) + ") on Settings";
    case PaneStep::Kind::Flush:
      return "settings_pane flush";
  }
  return "settings_pane";
}

}  // namespace

std::string describe(const Action& action) {
  return std::visit(
      Overloaded{
          [](const Launch& step) { return "launch " + step.app; },
          [](const Quit& step) { return "quit " + step.app; },
          [](const SetCameraMode& step) {
            return std::string("camera_mode ") + kModeNames[step.mode] + " on " + step.app;
          },
          [](const Preview& step) {
            return std::string(step.start ? "start_preview" : "stop_preview") + " on " + step.app;
          },
          [](const ChangeSettings&) { return std::string("settings pane"); },
          [](const Wait& step) { return "wait " + toText(step.seconds) + " s"; },
          [](const Snapshot& step) { return "snapshot " + step.name + " of " + step.app; },
          [](const Expect& step) {
            const bool asksApp = std::any_of(
                step.checks.begin(), step.checks.end(),
                [](const Expectation& check) { return check.observable->scope != Scope::Device; });
            return asksApp ? "expect on " + step.app : std::string("expect");
          },
          [](const AppStep& step) { return step.summary + " on " + step.app; },
          [](const Record& step) { return "record " + toText(step.seconds) + " s on " + step.app; },
          [](const StoreDefault& step) { return "defaults " + step.key + " of " + step.app; },
          [](const PaneStep& step) { return describePane(step); },
          [](const AddClip& step) { return "add_clip " + step.clip.name; },
      },
      action);
}

}  // namespace qv::sim
