// The hook table each library ships, against the table the tweak is meant to install: class,
// kind, selector, type encoding and order, row by row, and its groups of one class lookup each.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "libraries/QuorvaneiOS8.h"

namespace quorvane {
namespace {

// Kinds: 'F' C function, 'I' instance method, 'C' class method, '+' added method.
struct Row {
  int number;
  const char* owner;  // the class, or the function's name
  char kind;
  const char* selector;
  const char* types;  // replaced rows: the method's signature; added rows: their exact encoding
};

const std::vector<Row>& iOS8Rows() {
  static const std::vector<Row> rows{
      {1, "MGGetBoolAnswer", 'F', "", ""},
      {2, "CMTimeMake", 'F', "", ""},
      {3, "CAMCameraView", 'I', "_slalomIndicatorTapped:", "v@:@"},
      {4, "CAMCameraView", 'I', "_createSlalomIndicatorIfNecessary", "v@:"},
      {5, "CAMCameraView", 'I', "_showControlsForCapturingVideoAnimated:", "v@:B"},
      {6, "CAMCameraView", 'I', "_hideControlsForCapturingVideoAnimated:", "v@:B"},
      {7, "CAMApplicationViewController", 'I', "_kickoffCameraControllerPreview", "v@:"},
      {8, "PFSlowMotionUtilities", 'C', "exportPresetForAsset:preferredPreset:", "@@:@@"},
      {9, "PFSlowMotionUtilities", 'C', "configureExportSession:forcePreciseConversion:", "v@:@B"},
      {10, "CAMCaptureController", 'I', "_startPreview:", "v@:@"},
      {11, "CAMCaptureController", 'I', "mogulFrameRate", "d@:"},
      {12, "CAMCaptureController", 'I',
       "_configureSessionWithCameraMode:cameraDevice:options:", "B@:qq@"},
      {13, "CAMCaptureController", 'I', "_mogulFormatFromDevice:frameRate:", "@@:@d"},
      {14, "PFSlowMotionConfiguration", 'I', "volumeDuringSlowMotion", "f@:"},
      {15, "PFSlowMotionConfiguration", 'I', "volumeDuringRampToSlowMotion", "f@:"},
      {16, "PFVideoAVObjectBuilder", 'I', "initWithVideoAsset:videoAdjustments:", "@@:@@"},
      {17, "PFVideoAdjustments", 'C', "defaultSlowMotionRateForNominalFrameRate:", "f@:f"},
      {18, "PFVideoAdjustments", 'I', "slowMotionRate", "f@:"},
      {19, "PFVideoAdjustments", 'I', "setSlowMotionRate:", "v@:f"},
      {20, "PUVideoBannerView", 'I', "_badgeImageForVideoSubtype:", "@@:q"},
      {21, "PLManagedAsset", 'I',
       "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:", "B@:@@B"},
      {22, "PLManagedAsset", 'I', "isMogul", "B@:"},
      {23, "CAMCameraSpec", 'I', "shouldCreateSlalomIndicator", "B@:"},
      {24, "CAMCameraSpec", 'I', "isPhone", "B@:"},
      {25, "CAMPadApplicationSpec", '+', "shouldCreateSlalomIndicator", "B@:"},
      {26, "CAMBottomBar", 'I', "_layoutForVerticalOrientation", "v@:"},
      {27, "CAMSlalomIndicatorView", 'I', "setFramesPerSecond:", "v@:Q"},
      {28, "CAMSlalomIndicatorView", '+', "alertView:clickedButtonAtIndex:", "v@:@q"},
      {29, "CAMSlalomIndicatorView", '+', "hv_setFPS:", "v@:Q"},
      {30, "CAMSlalomIndicatorView", '+', "autoSetFPS", "v@:"},
      {31, "CAMSlalomIndicatorView", '+', "setFPS:", "v@:@"},
      {32, "CAMSlalomIndicatorView", 'I', "initWithFrame:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}"},
      {33, "PLVideoView", 'I', "_shouldShowSlalomEditor", "B@:"},
      {34, "PLPhotoBrowserController", 'I', "updateOverlaysAnimated:", "v@:B"},
      {35, "PLPhotoBrowserController", '+', "qv_saveSlomo", "v@:"},
      {36, "PLPhotoBrowserController", '+', "qv_multipleOptions", "v@:"},
      {37, "PLPhotoBrowserController", 'I', "actionSheet:clickedButtonAtIndex:", "v@:@q"},
      {38, "PLPublishingAgent", '+', "qv_video:didFinishSavingWithError:contextInfo:", "v@:@@^v"},
      {39, "PLPublishingAgent", 'I', "videoRemakerDidEndRemaking:temporaryPath:", "v@:@@"},
  };
  return rows;
}

// Rows whose replacements are not built yet. Each feature takes its rows out as it lands.
const std::set<int> kIOS8NotBuiltYet{};

char kindLetter(HookKind kind) {
  switch (kind) {
    case HookKind::InstanceMethod:
      return 'I';
    case HookKind::ClassMethod:
      return 'C';
    case HookKind::AddedMethod:
      return '+';
  }
  return '?';
}

std::vector<Row> expectedRows(const std::vector<Row>& rows, const std::set<int>& notBuiltYet) {
  std::vector<Row> expected;
  for (const Row& row : rows) {
    if (notBuiltYet.count(row.number) == 0) expected.push_back(row);
  }
  return expected;
}

// Consecutive method rows on one class, as (class, number of rows): the groups the table must
// have, each with one class lookup.
std::vector<std::pair<std::string, std::size_t>> groupsOf(const std::vector<Row>& rows) {
  std::vector<std::pair<std::string, std::size_t>> groups;
  for (const Row& row : rows) {
    if (row.kind == 'F') continue;
    if (groups.empty() || groups.back().first != row.owner) groups.emplace_back(row.owner, 0);
    ++groups.back().second;
  }
  return groups;
}

void expectFunctionRows(const HookTable& table, const std::vector<Row>& expected) {
  std::vector<const Row*> functions;
  for (const Row& row : expected) {
    if (row.kind == 'F') functions.push_back(&row);
  }
  ASSERT_EQ(table.functions.size(), functions.size());
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const FunctionHook& hook = table.functions[i];
    EXPECT_EQ(hook.function, dlsym(RTLD_DEFAULT, functions[i]->owner))
        << "row " << functions[i]->number << " hooks " << functions[i]->owner;
    EXPECT_NE(hook.replacement, nullptr) << "row " << functions[i]->number;
    EXPECT_NE(hook.slot, nullptr) << "row " << functions[i]->number;
  }
}

void expectMethodRow(const Row& row, const std::string& className, const MethodHook& hook) {
  SCOPED_TRACE("row " + std::to_string(row.number) + " " + row.owner + " " + row.selector);
  EXPECT_EQ(className, row.owner);
  EXPECT_EQ(kindLetter(hook.kind), row.kind);
  EXPECT_STREQ(hook.selector, row.selector);
  EXPECT_NE(hook.replacement, nullptr);
  if (row.kind == '+') {
    EXPECT_STREQ(hook.types, row.types) << "an added method carries its encoding as written";
    EXPECT_EQ(hook.slot, nullptr);
  } else {
    EXPECT_TRUE(qv::encodingsCompatible(row.types, hook.types))
        << "the replacement takes " << hook.types << ", the method is " << row.types;
    EXPECT_NE(hook.slot, nullptr);
  }
}

void expectTable(const HookTable& table, const std::vector<Row>& rows,
                 const std::set<int>& notBuiltYet) {
  const std::vector<Row> expected = expectedRows(rows, notBuiltYet);
  expectFunctionRows(table, expected);

  std::vector<std::pair<std::string, std::size_t>> shippedGroups;
  std::vector<std::pair<std::string, const MethodHook*>> shipped;
  for (const HookGroup& group : table.groups) {
    shippedGroups.emplace_back(group.className, group.hooks.size());
    for (const MethodHook& hook : group.hooks) shipped.emplace_back(group.className, &hook);
  }
  EXPECT_EQ(shippedGroups, groupsOf(expected));

  std::vector<const Row*> methods;
  for (const Row& row : expected) {
    if (row.kind != 'F') methods.push_back(&row);
  }
  ASSERT_EQ(shipped.size(), methods.size());
  for (std::size_t i = 0; i < methods.size(); ++i) {
    expectMethodRow(*methods[i], shipped[i].first, *shipped[i].second);
  }
}

TEST(HookTable, TheIOS8LibraryShipsItsTableRowByRow) {
  expectTable(ios8::hookTable(), iOS8Rows(), kIOS8NotBuiltYet);
}

TEST(HookTable, TheIOS8LibraryNamesItselfInItsLogLines) {
  EXPECT_STREQ(ios8::kLibrary.tag, "QuorvaneiOS8");
  EXPECT_STREQ(ios8::kLibrary.sourceFile, "Tweak");
  EXPECT_EQ(ios8::kLibrary.line, 432);
  EXPECT_TRUE(ios8::kLibrary.autoreleasePool);
}

}  // namespace
}  // namespace quorvane
