// The lines the monkey expects of an app, against each library's own table and identity: which
// classes it looks up, in which order, and how many lines a missing one costs.
#include "sim/InstallationLines.h"

#include <gtest/gtest.h>

#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"

namespace qv::sim {
namespace {

using ClassLines = std::vector<std::pair<std::string, int>>;

// Consecutive groups of one class (a class-method group beside its instance group) are one class.
ClassLines fromTable(const quorvane::HookTable& table) {
  ClassLines classes;
  for (const quorvane::HookGroup& group : table.groups) {
    const int replaced = static_cast<int>(
        std::count_if(group.hooks.begin(), group.hooks.end(), [](const quorvane::MethodHook& row) {
          return row.kind != quorvane::HookKind::AddedMethod;
        }));
    if (!classes.empty() && classes.back().first == group.className) {
      classes.back().second += replaced;
    } else {
      classes.emplace_back(group.className, replaced);
    }
  }
  return classes;
}

ClassLines fromMonkey(const LibraryLines& library) {
  ClassLines classes;
  for (const HookedClass& hooked : library.classes) {
    classes.emplace_back(hooked.name, hooked.replacedMethods);
  }
  return classes;
}

std::string prefixOf(const quorvane::LibraryIdentity& identity) {
  return std::string("[") + identity.tag + ": " + identity.sourceFile + ":" +
         std::to_string(identity.line) + "] ERROR: ";
}

TEST(InstallationLines, EachLibrarysClassesAndLinesAreThoseOfItsTable) {
  const struct {
    const quorvane::HookTable& table;
    const quorvane::LibraryIdentity& identity;
  } libraries[] = {{quorvane::ios8::hookTable(), quorvane::ios8::kLibrary},
                   {quorvane::ios7::hookTable(), quorvane::ios7::kLibrary}};
  for (const auto& library : libraries) {
    const LibraryLines* lines = libraryLines(library.identity.tag);
    ASSERT_NE(lines, nullptr) << library.identity.tag;
    EXPECT_EQ(lines->prefix, prefixOf(library.identity));
    EXPECT_EQ(fromMonkey(*lines), fromTable(library.table)) << library.identity.tag;
  }
  EXPECT_EQ(libraryLines("QuorvaneiOS6"), nullptr);
}

TEST(InstallationLines, AMissingClassCostsOneLinePerReplacedMethodInTableOrder) {
  const std::string nilClass = "[QuorvaneiOS8: Tweak:432] ERROR: logos: nil class ";
  const std::vector<std::string> lines = installationLines(
      *libraryLines("QuorvaneiOS8"),
      {"PLPublishingAgent", "CAMPadApplicationSpec", "NSObject", "PFVideoAdjustments"});
  EXPECT_EQ(lines, (std::vector<std::string>{
                       nilClass + "PFVideoAdjustments", nilClass + "PFVideoAdjustments",
                       nilClass + "PFVideoAdjustments", nilClass + "PLPublishingAgent"}));
  EXPECT_TRUE(installationLines(*libraryLines("QuorvaneiOS7"), {}).empty());
  const std::vector<std::string> names = hookedClassNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(std::count(names.begin(), names.end(), "PLPublishingAgent"), 1);
}

}  // namespace
}  // namespace qv::sim
