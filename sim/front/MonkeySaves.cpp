#include "sim/front/MonkeySaves.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {
namespace {

constexpr const char* kNotSaved = "❗ The video could not be saved.";
constexpr const char* kNotReady = "❗ The video is not ready for saving.";
constexpr const char* kAlreadySaving = "❗ A video is already being saved.";
// A remake lays the clip on whole frames at its own rate: it may end up to one frame short.
constexpr double kOneRemadeFrame = 1 / kRemakeFrameRate;

std::string textOf(const Value& value, const char* key) {
  const Value* found = value.find(key);
  return found != nullptr && found->text() != nullptr ? *found->text() : "";
}

double numberOf(const Value& value, const char* key) {
  const Value* found = value.find(key);
  return found != nullptr ? found->number() : 0;
}

ValueList listOf(const Value& value) {
  return value.list() != nullptr ? *value.list() : ValueList{};
}

long long noticesSaying(const ValueList& notices, const std::string& message) {
  return std::count_if(notices.begin(), notices.end(),
                       [&](const Value& notice) { return textOf(notice, "message") == message; });
}

const Value* clipNamed(const ValueList& clips, const std::string& name) {
  const auto found = std::find_if(clips.begin(), clips.end(),
                                  [&](const Value& clip) { return textOf(clip, "name") == name; });
  return found != clips.end() ? &*found : nullptr;
}

// The album's clips after the save that `before` did not have.
ValueList newClips(const ValueList& before, const ValueList& after) {
  ValueList added;
  for (const Value& clip : after) {
    if (clipNamed(before, textOf(clip, "name")) == nullptr) added.push_back(clip);
  }
  return added;
}

const ValueMap kRemadeFile{{"frame_rate", kRemakeFrameRate}, {"playable", true}};

// The album's clips by name, the remade one (or, unnamed, one more at the end) as a save makes
// it: what `run` expects of a healthy save.
std::string albumWitness(const std::string& app, const ValueList& clips, const std::string& made) {
  ValueList expected;
  for (const Value& clip : clips) {
    ValueMap entry{{"name", textOf(clip, "name")}};
    if (textOf(clip, "name") == made)
      entry.insert(entry.end(), kRemadeFile.begin(), kRemadeFile.end());
    expected.push_back(entry);
  }
  if (made.empty()) expected.push_back(kRemadeFile);
  return "expect: {app: " + app + ", album_clips: " + toText(Value(expected)) + "}";
}

}  // namespace

std::optional<Violation> checkSaveOverlay(const std::string& app, const Look& look) {
  const Value overlay = look("overlay", app);
  if (overlay.map() == nullptr || numberOf(look("remakes", app), "in_flight") > 0) {
    return std::nullopt;
  }
  return Violation{"overlay",
                   app,
                   "the overlay '" + textOf(overlay, "text") + "' stays with no save in flight",
                   {kPastEveryNotice, "expect: {app: " + app + ", overlay: none}"}};
}

SavePress::SavePress(const std::string& app, const std::string& clip, const Look& look)
    : app_(app), clip_(clip), before_(see(app, look)) {}

SavePress::Seen SavePress::see(const std::string& app, const Look& look) {
  const Value remakes = look("remakes", app);
  return {static_cast<long long>(numberOf(remakes, "ended")),
          static_cast<long long>(numberOf(remakes, "failed")), listOf(look("album_clips", app)),
          listOf(look("notices", app))};
}

std::optional<Violation> SavePress::check(const Look& look) const {
  const Seen after = see(app_, look);
  return after.remakesEnded > before_.remakesEnded ? checkEnded(after) : checkRefused(after);
}

// No remake ran: the clip was not ready, or another save was in flight, and a notice says which.
std::optional<Violation> SavePress::checkRefused(const Seen& after) const {
  for (const char* reason : {kNotReady, kAlreadySaving}) {
    if (noticesSaying(after.notices, reason) > noticesSaying(before_.notices, reason)) {
      return std::nullopt;
    }
  }
  return broken("started no save and showed no notice", noticeWitness(after, kNotReady));
}

// The remake ended: its file reached the album, or the failure notice says it did not.
std::optional<Violation> SavePress::checkEnded(const Seen& after) const {
  const ValueList added = newClips(before_.albumClips, after.albumClips);
  const bool told =
      noticesSaying(after.notices, kNotSaved) > noticesSaying(before_.notices, kNotSaved);
  if (added.size() > 1) {
    return broken("added " + std::to_string(added.size()) + " files to the album",
                  albumWitness(app_, before_.albumClips, ""));
  }
  if (added.size() == 1) {
    if (told) return broken("saved its file and said it could not", noticeWitness(after, ""));
    return checkRemade(after, added.front());
  }
  if (told) return std::nullopt;
  const bool remakeFailed = after.remakesFailed > before_.remakesFailed;
  return broken(
      "ended with no file in the album and no notice",
      remakeFailed ? noticeWitness(after, kNotSaved) : albumWitness(app_, after.albumClips, ""));
}

// The remade file plays, at the remake's rate, and is no shorter than the clip: slow motion only
// stretches it.
std::optional<Violation> SavePress::checkRemade(const Seen& after, const Value& made) const {
  const std::string name = textOf(made, "name");
  const Value* playable = made.find("playable");
  const bool plays = playable != nullptr && matches(Value(true), *playable, Match::Exact);
  const double rate = numberOf(made, "frame_rate");
  const Value* source = clipNamed(before_.albumClips, clip_);
  const double shortest = source != nullptr ? numberOf(*source, "duration") - kOneRemadeFrame : 0;
  std::string wrong;
  if (!plays) {
    wrong = "that does not play";
  } else if (std::abs(rate - kRemakeFrameRate) > 1e-3) {
    wrong = "at " + toText(Value(rate)) + " fps";
  } else if (numberOf(made, "duration") < shortest - 1e-6) {
    wrong = "of " + toText(Value(numberOf(made, "duration"))) + " s, shorter than the clip";
  }
  if (wrong.empty()) return std::nullopt;
  return broken("saved " + name + " " + wrong, albumWitness(app_, after.albumClips, name));
}

Violation SavePress::broken(const std::string& what, std::string witness) const {
  return Violation{"save",
                   app_,
                   "Save Slo-mo" + (clip_.empty() ? "" : " on " + clip_) + " " + what,
                   {std::move(witness)}};
}

// The notices after the press as a healthy save leaves them: none saying the save failed, and
// `message` (when given) at the end.
std::string SavePress::noticeWitness(const Seen& after, const std::string& message) const {
  ValueList expected;
  for (const Value& notice : after.notices) {
    const std::string said = textOf(notice, "message");
    if (said != kNotSaved) expected.push_back(ValueMap{{"message", said}});
  }
  if (!message.empty()) expected.push_back(ValueMap{{"message", message}});
  return "expect: {app: " + app_ + ", notices: " + toText(Value(expected)) + "}";
}

}  // namespace qv::sim
