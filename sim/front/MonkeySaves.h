// The monkey's invariants of "Save Slo-mo": no progress overlay outlives the remakes in flight,
// and every press of the command ends in what the user can see — the remade file in the album,
// the failure notice, or the notice that the clip cannot be saved.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/language/Value.h"

namespace qv::sim {

// A broken invariant: what kind, in which app, what was seen, and the steps that make `run` see
// it too, after the steps that led to it.
struct Violation {
  std::string kind;
  std::string app;
  std::string text;
  std::vector<std::string> witness;
};

// What an expectation of `key` in `app` would see now.
using Look = std::function<Value(const std::string& key, const std::string& app)>;

// Longer than any notice stays and fades: what a reproduction waits before looking.
inline constexpr const char* kPastEveryNotice = "wait: 30";

// The remade file's frame rate, whatever the clip's: the agent remakes for the album at 30 fps.
inline constexpr double kRemakeFrameRate = 30;

// "Saving Slo-mo..." over an app in which no remake is in flight stays for good.
std::optional<Violation> checkSaveOverlay(const std::string& app, const Look& look);

// One press of "Save Slo-mo": the app as it was before the press, checked against the app after.
class SavePress {
 public:
  // Before the press of the command on `clip` (empty when unknown) in `app`.
  SavePress(const std::string& app, const std::string& clip, const Look& look);

  std::optional<Violation> check(const Look& look) const;

 private:
  struct Seen {
    long long remakesEnded = 0;
    long long remakesFailed = 0;
    ValueList albumClips;
    ValueList notices;
  };
  static Seen see(const std::string& app, const Look& look);

  std::optional<Violation> checkRefused(const Seen& after) const;
  std::optional<Violation> checkEnded(const Seen& after) const;
  std::optional<Violation> checkRemade(const Seen& after, const Value& made) const;
  Violation broken(const std::string& what, std::string witness) const;
  std::string noticeWitness(const Seen& after, const std::string& message) const;

  std::string app_;
  std::string clip_;
  Seen before_;
};

}  // namespace qv::sim
