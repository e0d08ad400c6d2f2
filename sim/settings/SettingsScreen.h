// The Settings screen with the settings pane open, as the device shows it: the pane is drawn
// from the specifier list the package installs, each row showing the settings file's value for
// its key, or the list's default without one. Flipping a switch or typing into a text field sets
// that key as Settings does (a boolean, or the text typed); the supervisor then posts the
// pane's notification. Only the list's keys can be set this way.
//
// The supervisor shows the screen itself: on a device Settings is the system's, not an app the
// libraries are loaded into, and the pane's effect on the apps is only the file and the
// notification.
#pragma once

#include <optional>
#include <string>

#include "port/CoreGraphics/CGGeometry.h"
#include "sim/language/Value.h"
#include "sim/settings/SpecifierList.h"
#include "sim/supervisor/Sandbox.h"

namespace qv::sim {

// The name by which a snapshot step asks for this screen.
inline constexpr const char* kSettingsScreen = "Settings";

// A value the user set through the pane: the key, the value as Settings writes it, and what the
// user did, for the trace.
struct PaneChange {
  std::string key;
  Value value;
  std::string done;
};

class SettingsScreen {
 public:
  // Reads the list the device holds, once; a list that cannot be read keeps the screen from
  // opening, and every step on it says why.
  SettingsScreen(const Sandbox& sandbox, CGSize screen);

  bool isOpen() const { return open_; }

  // Each answers a problem for the step, or an empty text; `done` says what the user saw.
  std::string open(std::string& done);
  void close() { open_ = false; }
  std::string scrollTo(const std::string& row);
  std::string toggle(const std::string& row, PaneChange& change);
  // An empty row types into the text field being edited.
  std::string type(const std::string& row, const std::string& text, PaneChange& change);

  // A finger at a point of the screen (points): a switch's row flips as toggle does, a text
  // field's row becomes the one being edited, anything else changes nothing; `done` says what
  // the tap landed on when it set no value. A point off the screen is a problem.
  std::string tap(CGPoint point, PaneChange& change, std::string& done);

  // What each row shows, by key in the list's order (a boolean for a switch, else the text),
  // then "editing" with the key of the text field being edited, when one is; none while the
  // screen is not open.
  Value shown() const;

  // Writes the screen as it looks now as a PNG, at `scale` pixels per point.
  std::string snapshot(const std::string& file, double scale = 1) const;

 private:
  // The row of that key or label, scrolled into view; of that kind, when one is given.
  std::string find(const std::string& row, std::optional<Specifier::Cell> cell,
                   const Specifier*& found);
  ValueMap rowValues() const;

  const Sandbox& sandbox_;
  CGSize screen_;
  std::optional<SpecifierList> list_;
  std::string unreadable_;  // why there is no list
  bool open_ = false;
  std::string visible_;  // the key of the row last scrolled to, or touched
  std::string editing_;  // the key of the text field being edited; empty: none
};

}  // namespace qv::sim
