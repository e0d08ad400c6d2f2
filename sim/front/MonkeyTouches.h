// The monkey's invariants of a person's touches: a write of the Settings pane keeps the file's
// other keys and their types; a tap that nothing takes changes nothing; a clip synced onto the
// phone appears in the album and in Photos.
#pragma once

#include <optional>
#include <string>

#include "sim/front/MonkeySaves.h"
#include "sim/language/Scenario.h"

namespace qv::sim {

// What one step promises, looked at before it and checked after it.
class TouchPromise {
 public:
  // The step's promise, when it makes one of the above.
  static std::optional<TouchPromise> before(const Step& step, const Look& look);
  // After the step took effect; `nothingTook`: the trace said the touch changed nothing.
  std::optional<Violation> after(const Look& look, bool nothingTook) const;

 private:
  enum class Kind { PaneWrite, Tap, AddClip };
  TouchPromise(Kind kind, std::string name, Value before)
      : kind_(kind), name_(std::move(name)), before_(std::move(before)) {}

  std::optional<Violation> paneWrite(const Look& look) const;
  std::optional<Violation> tap(const Look& look) const;
  std::optional<Violation> addedClip(const Look& look) const;

  Kind kind_;
  std::string name_;  // the pane's row written (its key), or the clip's name
  bool toggled_ = false;
  Value before_;  // the settings file, or what a tap could change
};

}  // namespace qv::sim
