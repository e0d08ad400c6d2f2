#include "core/Settings.h"
#include "platform/objc/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Seams.h"
#include "platform/System/System.h"
#include "platform/dispatch/RunLoop.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

using qv::test::kSettingsPath;
using qv::test::Plist;
using qv::test::PlistFormat;

struct Values {
  BOOL EnableSlalom;
  std::uint64_t MogulFramerate;
  BOOL ForceSlalom, FakeFPS, hideIndicator, indicatorTap;
  std::int32_t mailMax;
  float rate, volumeRamp;
  NSInteger aFPS;
  bool operator==(const Values&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Values& v) {
  return out << "{EnableSlalom " << int(v.EnableSlalom) << ", MogulFramerate " << v.MogulFramerate
             << ", ForceSlalom " << int(v.ForceSlalom) << ", FakeFPS " << int(v.FakeFPS)
             << ", hideIndicator " << int(v.hideIndicator) << ", indicatorTap "
             << int(v.indicatorTap) << ", mailMax " << v.mailMax << ", rate " << v.rate
             << ", volumeRamp " << v.volumeRamp << ", aFPS " << v.aFPS << "}";
}

Values current() {
  return {settings.EnableSlalom, settings.MogulFramerate, settings.ForceSlalom,
          settings.FakeFPS,      settings.hideIndicator,  settings.indicatorTap,
          settings.mailMax,      settings.rate,           settings.volumeRamp,
          settings.aFPS};
}

constexpr Values kDefaults{YES, 60, NO, NO, NO, YES, 0, 0.25f, 0.15f, 60};

Values withChanges(std::function<void(Values&)> change) {
  Values values = kDefaults;
  change(values);
  return values;
}

// A settings dictionary from (key, node) pairs; the dictionary owns the nodes.
Plist dictionary(std::vector<std::pair<const char*, plist_t>> entries) {
  Plist dict(plist_new_dict());
  for (auto& [key, node] : entries) plist_dict_set_item(dict.get(), key, node);
  return dict;
}

class SettingsTest : public ::testing::TestWithParam<PlistFormat> {
 protected:
  void SetUp() override { initializeConstants(); }

  void load(const Plist& file) {
    root.writePlist(kSettingsPath, file.get(), GetParam());
    loadPreferences();
  }

  qv::test::SandboxRoot root;
  qv::AutoreleasePool pool;
};

INSTANTIATE_TEST_SUITE_P(Formats, SettingsTest,
                         ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) {
                           return info.param == PlistFormat::Xml ? "Xml" : "Binary";
                         });

TEST_P(SettingsTest, NoFileGivesEveryDefault) {
  settings.rate.set(9.0f);
  loadPreferences();
  EXPECT_EQ(current(), kDefaults);
  EXPECT_EQ(settings.volumeRamp, 0.15f);
}

TEST_P(SettingsTest, PresentValuesBeatTheirDefaults) {
  load(dictionary({{"EnableSlalom", plist_new_bool(0)},
                   {"MogulFramerate", plist_new_real(240.9)},
                   {"ForceSlalom", plist_new_bool(1)},
                   {"FakeFPS", plist_new_string("YES")},
                   {"hideIndicator", plist_new_uint(2)},
                   {"indicatorTap", plist_new_bool(0)},
                   {"mailMax", plist_new_string("  -12.7xyz")},
                   {"rate", plist_new_real(0.5)},
                   {"volumeRamp", plist_new_string("0.8")},
                   {"aFPS", plist_new_uint(0)}}));
  EXPECT_EQ(current(), (Values{NO, 240, YES, YES, YES, NO, -12, 0.5f, 0.8f, 0}));
}

TEST_P(SettingsTest, FrameRateConversions) {
  struct Case {
    plist_t value;
    std::uint64_t expected;
  };
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  for (auto [value, expected] :
       {Case{plist_new_real(240.9), 240}, Case{plist_new_real(-30), 0},
        Case{plist_new_string("120"), 120}, Case{plist_new_string("120.5"), 120},
        Case{plist_new_string("fast"), 0}, Case{plist_new_uint(120), 120},
        Case{plist_new_real(std::nan("")), 0}, Case{plist_new_real(INFINITY), max},
        Case{plist_new_real(1e30), max}, Case{plist_new_bool(1), 1}}) {
    load(dictionary({{"MogulFramerate", value}}));
    EXPECT_EQ(settings.MogulFramerate, expected);
    EXPECT_EQ(settings.aFPS, static_cast<NSInteger>(std::min<std::uint64_t>(
                                 expected, std::numeric_limits<NSInteger>::max())))
        << "an absent aFPS follows the frame rate";
  }
}

TEST_P(SettingsTest, OutOfRangeRealsSaturate) {
  load(dictionary({{"mailMax", plist_new_real(1e12)}, {"aFPS", plist_new_real(-1e30)}}));
  EXPECT_EQ(settings.mailMax, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(settings.aFPS, std::numeric_limits<NSInteger>::min());
  load(dictionary({{"mailMax", plist_new_real(-1e12)}, {"aFPS", plist_new_real(std::nan(""))}}));
  EXPECT_EQ(settings.mailMax, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(settings.aFPS, 0);
}

TEST_P(SettingsTest, AReloadResetsEveryKeyTheFileNoLongerHolds) {
  load(dictionary({{"EnableSlalom", plist_new_bool(0)},
                   {"MogulFramerate", plist_new_uint(240)},
                   {"ForceSlalom", plist_new_bool(1)},
                   {"FakeFPS", plist_new_bool(1)},
                   {"hideIndicator", plist_new_bool(1)},
                   {"indicatorTap", plist_new_bool(0)},
                   {"mailMax", plist_new_uint(3)},
                   {"volumeRamp", plist_new_real(1)},
                   {"aFPS", plist_new_uint(999)}}));
  load(dictionary({{"rate", plist_new_real(0.5)}}));
  EXPECT_EQ(current(), withChanges([](Values& v) { v.rate = 0.5f; }));
}

TEST_P(SettingsTest, ValuesThatCannotBeConvertedTakeTheirDefaults) {
  Plist date(plist_new_date(100, 0));
  load(dictionary({{"EnableSlalom", plist_new_array()},
                   {"MogulFramerate", plist_new_dict()},
                   {"indicatorTap", plist_new_data("x", 1)},
                   {"mailMax", plist_new_array()},
                   {"rate", plist_new_data("abc", 3)},
                   {"volumeRamp", plist_new_dict()},
                   {"aFPS", date.release()}}));
  EXPECT_EQ(current(), kDefaults);
}

TEST_P(SettingsTest, AnUnreadableFileGivesEveryDefault) {
  Plist array(plist_new_array());
  plist_array_append_item(array.get(), plist_new_bool(0));
  root.writePlist(kSettingsPath, array.get(), GetParam());
  loadPreferences();
  EXPECT_EQ(current(), kDefaults) << "a root that is not a dictionary";

  for (const std::string& bytes :
       {std::string("<?xml version=\"1.0\"?><plist><dict><key>EnableSlalom</key><false/>"),
        std::string("bplist00\xd1\x01\x02", 10), std::string()}) {
    settings.EnableSlalom.set(NO);
    root.writeFile(kSettingsPath, bytes);
    loadPreferences();
    EXPECT_EQ(current(), kDefaults) << "file content: " << bytes;
  }
}

TEST_P(SettingsTest, TheChangeNotificationKillsBothAppsThenReloads) {
  load(dictionary({{"rate", plist_new_real(0.5)}}));
  observePreferenceChanges();
  std::vector<std::string> seen;
  qv::setSystemHandler([&](const std::string& command) {
    seen.push_back(command + " at rate " + std::to_string(float(settings.rate)));
    return 0;
  });
  root.writePlist(kSettingsPath, dictionary({{"rate", plist_new_real(2)}}).get(), GetParam());
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       CFSTR("com.Tovi.Halvenor.prefs"), nullptr, nullptr, true);
  qv::MainRunLoop::runUntilIdle();
  qv::setSystemHandler(nullptr);
  EXPECT_EQ(seen, std::vector<std::string>{"killall Camera MobileSlideShow at rate 0.500000"});
  EXPECT_EQ(settings.rate, 2.0f);
}

}  // namespace
}  // namespace quorvane
