// The settings pane's step: the Settings screen opened and closed, its rows toggled and typed
// into, and what cfprefsd holds written out.
#include <string>
#include <vector>

#include "sim/language/StepKinds.h"

namespace qv::sim {
namespace {

using YAML::Node;

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

}  // namespace

std::vector<StepKind> settingsSteps() {
  return {
      {"settings_pane",
       {"screen", "scroll_to", "toggle", "type"},
       {},
       [](const Fields& f) -> Action { return paneStep(f); },
       "settings_pane: open|close       show the Settings screen with the pane, or leave it\n"
       "  settings_pane: flush           cfprefsd writes what it holds (plain pane, iOS 8 on)\n"
       "  settings_pane: {toggle: ROW} | {type: {ROW: TEXT}} | {type: TEXT} | {scroll_to: ROW}\n" +
           std::string(34, ' ') +
           "flip a switch or type into a field (by key or label, or the one being edited)"},
  };
}

}  // namespace qv::sim
