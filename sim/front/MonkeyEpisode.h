// One episode of the monkey: a fresh device of the catalog, set up as a scenario file's setup
// writes it, taking step lines one at a time, with the device's invariants looked at after every
// step. A reproduction replays a list of lines on another such device.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"
#include "sim/front/Monkey.h"
#include "sim/front/MonkeyActions.h"
#include "sim/front/MonkeySaves.h"

namespace qv::sim {

// The setup of an episode, as the reproduction's scenario file writes it.
struct EpisodeSetup {
  std::string device;
  std::string settings;            // the setup's settings line's value
  std::vector<std::string> clips;  // each clip's flow map
};

// What one run of step lines on a fresh device came to.
struct ReplayOutcome {
  std::optional<Violation> violation;
  std::size_t stepsTaken = 0;  // up to and with the one after which the violation showed
  bool stepFailed = false;     // an app refused a step: the list is not a valid run
};

// The scenario file of the setup and the step lines.
std::string scenarioText(const EpisodeSetup& setup, const std::vector<std::string>& steps);

class Episode {
 public:
  Episode(const EpisodeSetup& setup, const MonkeyOptions& options, const host::Catalog& catalog,
          const std::filesystem::path& root);
  ~Episode();  // the session ends: its apps are ended, its root stays for its owner
  Episode(const Episode&) = delete;
  Episode& operator=(const Episode&) = delete;

  // Takes the line; answers whether the apps took it.
  bool take(const std::string& line);
  bool pressedSave() const;
  // The first invariant the step broke, if any.
  std::optional<Violation> check();
  // What the screens show, for the next random action.
  Glance glance();

 private:
  class State;
  std::unique_ptr<State> state_;
};

// Runs the lines on a fresh device until an invariant breaks.
ReplayOutcome replay(const EpisodeSetup& setup, const std::vector<std::string>& lines,
                     const MonkeyOptions& options, const host::Catalog& catalog,
                     const std::filesystem::path& root);

}  // namespace qv::sim
