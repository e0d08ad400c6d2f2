// The steps of a finger and a keyboard on an app's screen: taps anywhere, typing, the alert's
// buttons.
#include <string>
#include <vector>

#include "sim/language/StepKinds.h"
#include "sim/settings/SettingsScreen.h"

namespace qv::sim {
namespace {

using YAML::Node;

// Screen points a tap may name: whether one is on the screen is the device's to say.
constexpr double kFarthestPoint = 100'000;

// Any scalar, the empty text included: typing can empty the field.
std::string typedText(const Fields& fields) {
  const Node node = fields["text"];
  if (!node.IsScalar()) fields.yaml.fail(node, "type takes the text to type");
  return node.Scalar();
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

}  // namespace

std::vector<StepKind> screenSteps() {
  return {
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
  };
}

}  // namespace qv::sim
