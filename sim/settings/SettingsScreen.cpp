#include "sim/settings/SettingsScreen.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/objc/AutoreleasePool.h"
#include "sim/settings/PaneDrawing.h"
#include "sim/settings/SettingsPane.h"

namespace qv::sim {
namespace {

const char* kindOf(Specifier::Cell cell) {
  return cell == Specifier::Cell::Switch ? "a switch" : "a text field";
}

const char* useOf(Specifier::Cell cell) {
  return cell == Specifier::Cell::Switch ? "toggle it" : "type into it";
}

std::string named(const Specifier& row) {
  return row.label.empty() ? row.key : row.label + " (" + row.key + ")";
}

// A stored value as the row reads it: a switch asks for boolValue, a text field shows the text,
// or the description of a number.
Value shownFrom(const Specifier& row, id stored) {
  if (stored == nil) return row.fallback;
  if (row.cell == Specifier::Cell::Switch) {
    const bool answers = send<BOOL>(stored, "respondsToSelector:"_sel, "boolValue"_sel) != NO;
    return answers && send<BOOL>(stored, "boolValue"_sel) != NO;
  }
  if (isKindOf(stored, objc_getClass("NSString"))) return utf8(stored);
  return describe(stored);
}

}  // namespace

SettingsScreen::SettingsScreen(const Sandbox& sandbox, CGSize screen)
    : sandbox_(sandbox), screen_(screen) {
  try {
    list_ = readSpecifierList(sandbox.hostPath(kPaneSpecifiersPath));
  } catch (const std::runtime_error& e) {
    unreadable_ = e.what();
  }
}

std::string SettingsScreen::open(std::string& done) {
  if (!list_) return "the settings pane cannot open: " + unreadable_;
  open_ = true;
  visible_.clear();
  editing_.clear();
  std::size_t rows = 0;
  for (const Specifier& item : list_->items) rows += item.cell != Specifier::Cell::Group;
  done = "opened the Settings screen: " + list_->title + ", " + std::to_string(rows) + " settings";
  return "";
}

std::string SettingsScreen::find(const std::string& row, std::optional<Specifier::Cell> cell,
                                 const Specifier*& found) {
  if (!open_) return "the Settings screen is not open (settings_pane: open shows it)";
  found = list_->row(row);
  if (found == nullptr) {
    std::string keys;
    for (const Specifier& item : list_->items) {
      if (!item.key.empty()) keys += (keys.empty() ? "" : ", ") + item.key;
    }
    return "the settings pane has no setting '" + row + "' (its keys: " + keys + ")";
  }
  if (cell && *cell != found->cell) {
    return named(*found) + " is " + kindOf(found->cell) + ": " + useOf(found->cell);
  }
  visible_ = found->key;  // a row is scrolled into view before it is touched
  return "";
}

std::string SettingsScreen::scrollTo(const std::string& row) {
  const Specifier* found = nullptr;
  return find(row, std::nullopt, found);
}

std::string SettingsScreen::toggle(const std::string& row, PaneChange& change) {
  const Specifier* found = nullptr;
  const std::string problem = find(row, Specifier::Cell::Switch, found);
  if (!problem.empty()) return problem;
  const Value rows = shown();
  const Value* now = rows.find(found->key);
  const bool* wasOn = now != nullptr ? std::get_if<bool>(&now->data) : nullptr;
  const bool on = wasOn == nullptr || !*wasOn;
  change = {found->key, on, std::string("switched ") + named(*found) + (on ? " on" : " off")};
  return "";
}

std::string SettingsScreen::type(const std::string& row, const std::string& text,
                                 PaneChange& change) {
  if (row.empty() && open_ && editing_.empty()) {
    return "no text field of the settings pane is being edited (tap one first)";
  }
  const Specifier* found = nullptr;
  const std::string problem = find(row.empty() ? editing_ : row, Specifier::Cell::EditText, found);
  if (!problem.empty()) return problem;
  change = {found->key, text, "typed " + toText(Value(text)) + " into " + named(*found)};
  return "";
}

ValueMap SettingsScreen::rowValues() const {
  AutoreleasePool pool;
  const Ref<> stored = foundation::dictionaryFromFile(kSettingsPath);
  ValueMap values;
  for (const Specifier& item : list_->items) {
    if (item.cell == Specifier::Cell::Group) continue;
    const Ref<> key = makeString(item.key);
    values.emplace_back(item.key,
                        shownFrom(item, send<id>(stored.get(), "objectForKey:"_sel, key.get())));
  }
  return values;
}

Value SettingsScreen::shown() const {
  if (!open_) return {};
  ValueMap rows = rowValues();
  if (!editing_.empty()) rows.emplace_back("editing", editing_);
  return rows;
}

std::string SettingsScreen::tap(CGPoint point, PaneChange& change, std::string& done) {
  if (!open_) return "the Settings screen is not open (settings_pane: open shows it)";
  std::ostringstream where;
  where << "(" << point.x << ", " << point.y << ")";
  if (!CGRectContainsPoint(CGRectMake(0, 0, screen_.width, screen_.height), point)) {
    return "tap: " + where.str() + " is outside the screen (" + std::to_string(int(screen_.width)) +
           " x " + std::to_string(int(screen_.height)) + " points)";
  }
  const Specifier* row = rowAt({&*list_, rowValues(), visible_, screen_, editing_}, point);
  if (row == nullptr) {
    done = "tap at " + where.str() + " landed on no row: nothing changed";
    return "";
  }
  if (row->cell == Specifier::Cell::Switch) {
    editing_.clear();
    return toggle(row->key, change);
  }
  editing_ = row->key;
  visible_ = row->key;
  done = "tap at " + where.str() + " landed on " + named(*row) + ": editing it";
  return "";
}

std::string SettingsScreen::snapshot(const std::string& file, double scale) const {
  if (!open_) return "the Settings screen is not open (settings_pane: open shows it)";
  const PaneView view{&*list_, rowValues(), visible_, screen_, editing_};
  // Drawn in a process of its own: Pango loads fonts on a thread of its own, and the supervisor,
  // which forks every app, must never hand an app a font map half loaded.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return "snapshot: cannot fork: " + std::string(std::strerror(errno));
  if (pid == 0) ::_exit(drawPane(view, scale).writePNG(file) ? 0 : 1);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "snapshot: cannot write " + file;
}

}  // namespace qv::sim
