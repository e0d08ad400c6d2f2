// The monkey's user: picks a random action that is valid on the screens as they are now, and
// writes it as a step line of the scenario language.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/language/Value.h"

namespace qv::sim {

using MonkeyRandom = std::mt19937_64;

// An app's photo browser as the user sees it.
struct BrowserGlance {
  std::string app;
  std::vector<std::string> barButtons;    // the right-hand buttons' titles, as bar_buttons lists
  std::vector<std::string> sheetButtons;  // the action sheet in front's; empty without one
};

// What the user sees before acting.
struct Glance {
  bool cameraRunning = false;
  bool photosRunning = false;
  Value alert;                          // Camera's alert in front, or none
  Value indicator;                      // Camera's slow-motion indicator, or none
  bool cameraOverlaid = false;          // a HUD lies over Camera's screen
  std::vector<std::string> album;       // the album's files
  std::optional<std::string> openClip;  // the clip open in Photos
  double openClipDuration = 0;          // seconds; 0 when unknown
  bool editorOffered = false;           // Photos offers the slow-motion editor for it
  std::vector<BrowserGlance> browsers;  // each running app's open photo browser
  Value settingsPane;                   // the pane's rows while the Settings screen is open
  double screenWidth = 320;             // points
  double screenHeight = 568;
};

inline bool isTrue(const Value* value) {
  return value != nullptr && std::get_if<bool>(&value->data) != nullptr &&
         *std::get_if<bool>(&value->data);
}

// One step line ("launch: Camera", "type: \"240\"").
std::string chooseStep(const Glance& glance, MonkeyRandom& random);

// A settings pane value line, as the setup's `settings` key or the step's argument takes it.
std::string randomSettings(MonkeyRandom& random);

}  // namespace qv::sim
