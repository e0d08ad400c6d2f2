// The iOS 7 library's own replacements, installed from its shipped table in hosts of the tests'
// own: the setters and the debug key with the settings as loaded, the indicator creation's
// isPhone window, and the capture format choice against the camera's formats.
#include "ios7/IOS7Hooks.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/CameraScreenHooks.h"
#include "core/Installation.h"
#include "core/Settings.h"
#include "libraries/QuorvaneiOS7.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/objc/Object.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

using qv::send;
using qv::test::runForked;

// What the host's setters received, in call order.
std::vector<std::string> received;

void recordSetter(id, SEL cmd, float value) {
  received.push_back(std::string(sel_getName(cmd)) + std::to_string(value));
}

void registerSlalomConfiguration() {
  qv::ClassBuilder("PLSlalomConfiguration", qv::NSObjectClass())
      .method("setRate:", &recordSetter)
      .method("setVolumeDuringSlalom:", &recordSetter)
      .method("setVolumeDuringRampToSlalom:", &recordSetter)
      .registerClass();
}

void setAllToOne() {
  qv::Ref<> configuration = qv::make(objc_getClass("PLSlalomConfiguration"));
  for (SEL setter :
       {"setRate:"_sel, "setVolumeDuringSlalom:"_sel, "setVolumeDuringRampToSlalom:"_sel}) {
    send(configuration.get(), setter, 1.0f);
  }
}

// Settings from a file with these entries (none: no file at all), then the library's start.
void startWithSettings(qv::test::SandboxRoot& root,
                       const std::vector<std::pair<const char*, plist_t>>& entries) {
  if (!entries.empty()) {
    qv::test::Plist file(plist_new_dict());
    for (const auto& [key, value] : entries) plist_dict_set_item(file.get(), key, value);
    root.writePlist(qv::test::kSettingsPath, file.get(), qv::test::PlistFormat::Xml);
  }
  startTweak(ios7::hookTable(), ios7::kLibrary);
}

TEST(IOS7Setters, PassTheSettingsOnInsteadOfTheArgument) {
  runForked([] {
    qv::test::SandboxRoot root;
    registerSlalomConfiguration();
    startWithSettings(root, {});
    setAllToOne();
    EXPECT_EQ(received,
              (std::vector<std::string>{"setRate:0.250000", "setVolumeDuringSlalom:0.150000",
                                        "setVolumeDuringRampToSlalom:0.150000"}));
    // The default volume is the single-precision 0.15, not a rounded double.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(float{settings.volumeRamp}), 0x3E19999Au);
  });
  runForked([] {
    qv::test::SandboxRoot root;
    registerSlalomConfiguration();
    startWithSettings(root, {{"rate", plist_new_real(0.5)}, {"volumeRamp", plist_new_real(0.5)}});
    setAllToOne();
    EXPECT_EQ(received,
              (std::vector<std::string>{"setRate:0.500000", "setVolumeDuringSlalom:0.500000",
                                        "setVolumeDuringRampToSlalom:0.500000"}));
  });
}

void storeDefaults() {
  qv::registerUserDefaults("com.example.camera");
  id defaults = send<id>(objc_getClass("NSUserDefaults"), "standardUserDefaults"_sel);
  send(defaults, "setBool:forKey:"_sel, BOOL{NO}, "PLDebugCowbell"_ns);
  send(defaults, "setBool:forKey:"_sel, BOOL{NO}, "pldebugcowbell"_ns);
  send(defaults, "setBool:forKey:"_sel, BOOL{YES}, "ShowGrid"_ns);
}

BOOL boolForKey(id key) {
  return send<BOOL>(send<id>(objc_getClass("NSUserDefaults"), "standardUserDefaults"_sel),
                    "boolForKey:"_sel, key);
}

TEST(IOS7UserDefaults, AnswerYesForExactlyTheDebugKey) {
  runForked([] {
    qv::test::SandboxRoot root;
    storeDefaults();
    startWithSettings(root, {});
    EXPECT_TRUE(boolForKey("PLDebugCowbell"_ns)) << "whatever is stored";
    EXPECT_FALSE(boolForKey("pldebugcowbell"_ns)) << "the comparison keeps letter case";
    EXPECT_FALSE(boolForKey("PLDebugCowbel"_ns));
    EXPECT_TRUE(boolForKey("ShowGrid"_ns)) << "other keys read the store";
    EXPECT_FALSE(boolForKey(nil));
  });
}

TEST(IOS7Library, WithSlalomOffTheStockAnswersStandAndNothingIsLogged) {
  runForked([] {
    qv::test::SandboxRoot root;
    storeDefaults();
    registerSlalomConfiguration();
    qv::clearProcessLog();
    startWithSettings(root, {{"EnableSlalom", plist_new_bool(0)}, {"rate", plist_new_real(0.5)}});
    EXPECT_FALSE(boolForKey("PLDebugCowbell"_ns));
    setAllToOne();
    EXPECT_EQ(received.front(), "setRate:1.000000");
    EXPECT_TRUE(qv::processLog().empty());
  });
}

// What the stock indicator creation saw of isPhone, and what it answers around that.
std::vector<BOOL> isPhoneSeen;

BOOL stockIsPhone(id, SEL) {
  return NO;
}

void stockCreateIndicator(id, SEL) {
  id cameraSpec = qv::make(objc_getClass("CAMCameraSpec")).leak();
  isPhoneSeen.push_back(send<BOOL>(cameraSpec, "isPhone"_sel));
  send(cameraSpec, "release"_sel);
}

TEST(IOS7CameraView, IsPhonePassesOnlyWhileTheIndicatorIsCreated) {
  runForked([] {
    qv::test::SandboxRoot root;
    qv::ClassBuilder("CAMCameraSpec", qv::NSObjectClass())
        .method("isPhone", &stockIsPhone)
        .registerClass();
    qv::ClassBuilder("PLCameraView", qv::NSObjectClass())
        .method("_createSlalomIndicatorIfNecessary", &stockCreateIndicator)
        .registerClass();
    startWithSettings(root, {});
    qv::Ref<> cameraSpec = qv::make(objc_getClass("CAMCameraSpec"));
    qv::Ref<> view = qv::make(objc_getClass("PLCameraView"));
    EXPECT_FALSE(send<BOOL>(cameraSpec.get(), "isPhone"_sel));
    send(view.get(), "_createSlalomIndicatorIfNecessary"_sel);
    EXPECT_EQ(isPhoneSeen, std::vector<BOOL>{YES});
    EXPECT_FALSE(send<BOOL>(cameraSpec.get(), "isPhone"_sel));
    EXPECT_EQ(creatingSlalomIndicator, NO);
  });
}

// The stock choice answers this marker, so a test can tell it from a format.
id stockFormat(id, SEL, id) {
  return "stock choice"_ns;
}

constexpr int kStock = 0;

// That the replacement answers the camera's format number `expected` (1 for the first), or the
// stock choice (kStock).
void expectChoice(const std::vector<qv::CaptureFormat>& formats, int expected,
                  const char* why = "") {
  SCOPED_TRACE(why);
  runForked([&] {
    qv::test::SandboxRoot root;
    qv::setBackCamera(formats);
    qv::ClassBuilder("PLCameraController", qv::NSObjectClass())
        .method("_mogulFormatFromDevice:", &stockFormat)
        .registerClass();
    startWithSettings(root, {});
    id device = send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                         AVMediaTypeVideo);
    qv::Ref<> controller = qv::make(objc_getClass("PLCameraController"));
    id format = send<id>(controller.get(), "_mogulFormatFromDevice:"_sel, device);
    const std::vector<id> all = qv::arrayElements(send<id>(device, "formats"_sel));
    int chosen = -1;
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (all[i] == format) chosen = static_cast<int>(i) + 1;
    }
    if (send<BOOL>(format, "isEqual:"_sel, "stock choice"_ns)) chosen = kStock;
    EXPECT_EQ(chosen, expected);
  });
}

qv::CaptureFormat video(std::vector<double> maxRates, const char* mediaType = "vide") {
  qv::CaptureFormat format{mediaType, 1280, 720, {}};
  for (double rate : maxRates) format.frameRates.push_back({2, rate});
  return format;
}

TEST(IOS7CaptureFormat, TheBestRangeChoosesAndTheFirstRangeDecides) {
  expectChoice({video({30}), video({120}), video({120})}, 2, "the earlier of equals");
  expectChoice({video({30}), video({30})}, kStock);
  expectChoice({video({30, 60})}, kStock, "chosen for 60, refused for its first range, 30");
  expectChoice({video({30}), video({30.5})}, 2);
  expectChoice({video({240}, "soun"), video({30}), video({60})}, 3,
               "a format that is not video takes no part");
  expectChoice({video({240}, "soun"), video({0})}, 1,
               "nothing chosen: the first format, whatever its media type");
}

TEST(IOS7CaptureFormat, NoFormatsOrNoRangesLeaveTheChoiceToTheStockMethod) {
  expectChoice({}, kStock);
  expectChoice({video({}), video({})}, kStock);
}

}  // namespace
}  // namespace quorvane
