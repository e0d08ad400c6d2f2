#include "sim/app/InstallationLines.h"

#include <algorithm>
#include <array>
#include <set>

#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"

namespace qv::sim {
namespace {

// Lines drawn from a library's own table and identity, so nothing lists the classes twice.
struct DerivedLines {
  std::string prefix;
  std::vector<HookedClass> classes;
  LibraryLines lines;
};

int replacedMethods(const quorvane::HookGroup& group) {
  return static_cast<int>(std::count_if(
      group.hooks.begin(), group.hooks.end(),
      [](const quorvane::MethodHook& row) { return row.kind != quorvane::HookKind::AddedMethod; }));
}

// Consecutive groups of one class (a class-method group beside its instance group) are one
// lookup of the class, as the monkey counts it.
std::vector<HookedClass> hookedClasses(const quorvane::HookTable& table) {
  std::vector<HookedClass> classes;
  for (const quorvane::HookGroup& group : table.groups) {
    if (!classes.empty() && std::string_view(classes.back().name) == group.className) {
      classes.back().replacedMethods += replacedMethods(group);
    } else {
      classes.push_back({group.className, replacedMethods(group)});
    }
  }
  return classes;
}

void derive(DerivedLines& derived, const quorvane::HookTable& table,
            const quorvane::LibraryIdentity& identity) {
  derived.prefix = std::string("[") + identity.tag + ": " + identity.sourceFile + ":" +
                   std::to_string(identity.line) + "] ERROR: ";
  derived.classes = hookedClasses(table);
  derived.lines = {identity.tag, derived.prefix.c_str(), derived.classes};
}

// Filled in place: each LibraryLines points into its own entry.
const std::array<DerivedLines, 2>& libraries() {
  static std::array<DerivedLines, 2> all;
  static const bool derived = [] {
    derive(all[0], quorvane::ios8::hookTable(), quorvane::ios8::kLibrary);
    derive(all[1], quorvane::ios7::hookTable(), quorvane::ios7::kLibrary);
    return true;
  }();
  static_cast<void>(derived);
  return all;
}

}  // namespace

const LibraryLines* libraryLines(const std::string& library) {
  for (const DerivedLines& derived : libraries()) {
    if (library == derived.lines.library) return &derived.lines;
  }
  return nullptr;
}

std::vector<std::string> hookedClassNames() {
  std::set<std::string> names;
  for (const DerivedLines& derived : libraries()) {
    for (const HookedClass& hooked : derived.classes) names.insert(hooked.name);
  }
  return {names.begin(), names.end()};
}

std::vector<std::string> installationLines(const LibraryLines& library,
                                           const std::vector<std::string>& missing) {
  std::vector<std::string> lines;
  for (const HookedClass& hooked : library.classes) {
    if (std::find(missing.begin(), missing.end(), hooked.name) == missing.end()) continue;
    lines.insert(lines.end(), hooked.replacedMethods,
                 std::string(library.prefix) + "logos: nil class " + hooked.name);
  }
  return lines;
}

}  // namespace qv::sim
