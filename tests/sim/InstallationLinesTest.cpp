// The lines the monkey expects of an app, drawn from each library's own table and identity: which
// classes it looks up, in which order, and how many lines a missing one costs.
#include "sim/app/InstallationLines.h"

#include <gtest/gtest.h>

#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"

namespace qv::sim {
namespace {

std::string prefixOf(const quorvane::LibraryIdentity& identity) {
  return std::string("[") + identity.tag + ": " + identity.sourceFile + ":" +
         std::to_string(identity.line) + "] ERROR: ";
}

TEST(InstallationLines, EachLibraryIsFoundByItsTagWithItsOwnPrefix) {
  const struct {
    const quorvane::HookTable& table;
    const quorvane::LibraryIdentity& identity;
  } libraries[] = {{quorvane::ios8::hookTable(), quorvane::ios8::kLibrary},
                   {quorvane::ios7::hookTable(), quorvane::ios7::kLibrary}};
  for (const auto& library : libraries) {
    const LibraryLines* lines = libraryLines(library.identity.tag);
    ASSERT_NE(lines, nullptr) << library.identity.tag;
    EXPECT_EQ(lines->prefix, prefixOf(library.identity));
    EXPECT_EQ(lines->classes.front().name, std::string(library.table.groups.front().className));
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
