// A scenario as read from its file: the device and what is on it at the start, then the steps.
#pragma once

#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "host/Removals.h"
#include "host/devices/Catalog.h"
#include "sim/language/Observables.h"
#include "sim/language/Value.h"

namespace qv::sim {

// Where something stands in a scenario file.
struct Location {
  std::string file;
  int line = 0;
  std::string describe() const { return file + ":" + std::to_string(line); }
};

// A scenario that cannot be read: the file, the line and what is wrong there.
class ScenarioError : public std::runtime_error {
 public:
  // "file:line: problem"
  ScenarioError(const Location& where, const std::string& problem)
      : std::runtime_error(where.describe() + ": " + problem) {}
  // A message that already names its file and line.
  explicit ScenarioError(const std::string& message) : std::runtime_error(message) {}
};

// The settings file as the pane leaves it.
struct SettingsFile {
  enum class Kind { Absent, Values, Raw, File };
  enum class Format { Xml, Binary };
  Kind kind = Kind::Absent;
  Format format = Format::Xml;
  ValueMap values;   // Values: booleans, integers, reals and text
  std::string raw;   // Raw and File: the file's bytes
  std::string path;  // File: the absolute path the bytes were read from
};

struct Clip {
  std::string name;  // file name in the album
  double frameRate;  // frames per second
  double duration;   // seconds
  int width;
  int height;
  std::string file;           // a file to copy instead (a path on this machine); empty: written
  std::string fileAsWritten;  // that file as the scenario names it, for messages
};

struct Launch {
  std::string app;
};
struct Quit {
  std::string app;
};
struct SetCameraMode {
  std::string app;
  long mode;  // 0 photo, 1 video, 2 slow motion
};
struct Preview {
  std::string app;
  bool start;
};
struct ChangeSettings {
  SettingsFile file;
};
struct Wait {
  double seconds;
};
struct Snapshot {
  std::string app;
  std::string name;  // the PNG's name without extension
};
struct Expectation {
  const Observable* observable;
  Value expected;
  Location where;
};
struct Expect {
  std::string app;
  std::vector<Expectation> checks;
};

// A step the app takes through its own user interface, with one argument: open_clip, play, seek,
// export, edit_slow_motion.
struct AppStep {
  std::string app;
  std::string action;  // the app side's name for it
  Value argument;
  std::string summary;  // how the trace names it
};
// Records for the time given, every app in lock step meanwhile.
struct Record {
  std::string app;
  double seconds;
};

// A bool stored in an app's own defaults file, as the app's NSUserDefaults keeps it.
struct StoreDefault {
  std::string app;
  std::string key;
  bool value;
};

// A touch on the Settings screen: open or close it, scroll a row into view, flip a switch, or
// type into a text field (the text replaces what it held). Rows are named by key or label.
// Flush is cfprefsd writing the values it holds for the plain pane to the file.
struct PaneStep {
  enum class Kind { Open, Close, ScrollTo, Toggle, Type, Tap, Flush };
  Kind kind;
  std::string row;
  std::string text;     // Type
  double x = 0, y = 0;  // Tap: the point of the screen
  unsigned taps = 1;    // Tap: 2 for a double tap
};

// A clip put into the album while the apps run, as syncing a video does.
struct AddClip {
  Clip clip;
};

using Action = std::variant<Launch, Quit, SetCameraMode, Preview, ChangeSettings, Wait, Snapshot,
                            Expect, AppStep, Record, StoreDefault, PaneStep, AddClip>;

// For std::visit over an Action: one handler per kind of step.
template <typename... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

struct Step {
  Location where;
  std::string name;  // as written: "launch", "expect"...
  Action action;
  // The step as a scenario file line writes it ("launch: Camera"), with what depends on where it
  // was read settled (a snapshot's default name, a settings file's path), so that it means the
  // same in any file.
  std::string written;
};

// Which settings pane Settings shows: the package's bundle, which writes the file itself, or a
// plain specifier pane, whose writes go through cfprefsd from iOS 8 on.
enum class PaneKind { Bundle, Plain };

struct Scenario {
  std::string file;
  std::string description;
  host::Device device;
  PaneKind pane = PaneKind::Bundle;
  SettingsFile settings;
  std::vector<Clip> clips;
  std::vector<host::Removal> removals;
  std::vector<Step> steps;
};

}  // namespace qv::sim
