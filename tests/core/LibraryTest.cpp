// The built QuorvaneiOS8.dylib, mapped into a fresh process as the loader maps it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/System.h"
#include "platform/dispatch/RunLoop.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace {

void* mapLibrary() {
  void* library = dlopen(QUORVANE_IOS8_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
  EXPECT_NE(library, nullptr) << dlerror();
  return library;
}

std::string stringAt(void* library, const char* symbol) {
  auto* variable = static_cast<id*>(dlsym(library, symbol));
  return variable != nullptr ? qv::utf8(*variable) : std::string("<missing>");
}

TEST(Library, ItsConstantsExistFromLoadOn) {
  qv::test::runForked([] {
    qv::test::SandboxRoot root;
    void* library = mapLibrary();
    EXPECT_EQ(stringAt(library, "ident"), "com.Tovi.Halvenor");
    EXPECT_EQ(stringAt(library, "PREF_PATH"),
              "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist");
    EXPECT_EQ(stringAt(library, "PreferencesChangedNotification"), "com.Tovi.Halvenor.prefs");
    EXPECT_EQ(stringAt(library, "PLIST_PATH"),
              "/Library/PreferenceBundles/HalvenorSettings.bundle/Qel.plist");
    EXPECT_EQ(stringAt(library, "TWEAK_NAME"), "Driftlane");
    EXPECT_EQ(stringAt(library, "SAVE_TEXT"), "Save Slo-mo");
    EXPECT_EQ(*static_cast<id*>(dlsym(library, "qvHUD")), nil);
    EXPECT_EQ(*static_cast<BOOL*>(dlsym(library, "buttonAction")), NO);
    EXPECT_EQ(*static_cast<BOOL*>(dlsym(library, "noHigh")), NO);
    // Made when first asked for by name, not during the start-up.
    EXPECT_EQ(objc_lookUpClass("RuvelProgressHUD"), Nil);
    Class hud = objc_getClass("RuvelProgressHUD");
    ASSERT_NE(hud, Nil);
    EXPECT_EQ(class_getSuperclass(hud), objc_getClass("UIView"));
    EXPECT_EQ(objc_getClass("RuvelProgressHUD"), hud);
  });
}

TEST(Library, ASettingsChangeReachesItsObserver) {
  qv::test::runForked([] {
    qv::test::SandboxRoot root;
    mapLibrary();
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         CFSTR("com.Tovi.Halvenor.prefs"), nullptr, nullptr, true);
    qv::MainRunLoop::runUntilIdle();
    EXPECT_EQ(qv::recordedSystemCommands(),
              std::vector<std::string>{"killall Camera MobileSlideShow"});
  });
}

TEST(Library, WithSlalomOffItLogsNothingButStillOffersItsHUDClass) {
  qv::test::runForked([] {
    qv::test::SandboxRoot root;
    qv::test::Plist settings(plist_new_dict());
    plist_dict_set_item(settings.get(), "EnableSlalom", plist_new_bool(0));
    root.writePlist(qv::test::kSettingsPath, settings.get(), qv::test::PlistFormat::Xml);
    mapLibrary();
    EXPECT_TRUE(qv::processLog().empty());
    EXPECT_NE(objc_getClass("RuvelProgressHUD"), Nil);
  });
}

std::set<std::string> definedDynamicSymbols(const char* path) {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only ") + path;
  std::unique_ptr<FILE, int (*)(FILE*)> output(popen(command.c_str(), "r"), &pclose);
  if (!output) return names;
  std::array<char, 512> line{};
  while (std::fgets(line.data(), line.size(), output.get()) != nullptr) {
    char name[400] = {};
    if (std::sscanf(line.data(), "%*s %*s %399s", name) == 1) names.insert(name);
  }
  return names;
}

TEST(Library, ExportsExactlyItsPublishedSymbols) {
  EXPECT_EQ(definedDynamicSymbols(QUORVANE_IOS8_LIBRARY),
            (std::set<std::string>{"PLIST_PATH", "PREF_PATH", "PreferencesChangedNotification",
                                   "SAVE_TEXT", "TWEAK_NAME", "__objc_class_name_RuvelProgressHUD",
                                   "bestFrameRateRange", "buttonAction", "cameraView", "ident",
                                   "maximumFPS", "noHigh", "qvHUD"}));
}

// The two libraries publish the same symbols but noHigh, which only the iOS 8 library's
// configuration window has.
TEST(Library, TheIOS7LibraryExportsTheSameSymbolsButNoHigh) {
  std::set<std::string> iOS8 = definedDynamicSymbols(QUORVANE_IOS8_LIBRARY);
  ASSERT_EQ(iOS8.erase("noHigh"), 1u);
  EXPECT_EQ(definedDynamicSymbols(QUORVANE_IOS7_LIBRARY), iOS8);
}

TEST(Library, TheIOS7LibraryLogsUnderItsOwnTagAndLine) {
  qv::test::runForked([] {
    qv::test::SandboxRoot root;
    void* library = dlopen(QUORVANE_IOS7_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_EQ(dlsym(library, "noHigh"), nullptr);
    EXPECT_EQ(stringAt(library, "TWEAK_NAME"), "Driftlane");
    const std::vector<std::string> log = qv::processLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "[QuorvaneiOS7: Tweak:315] ERROR: logos: nil class PLCameraView");
    for (const std::string& line : log)
      EXPECT_EQ(line.rfind("[QuorvaneiOS7: Tweak:315] ERROR: ", 0), 0u);
  });
}

}  // namespace
